// What the two files of the POSIX backend share (os_file_posix.cpp: files
// opened, read and written; os_output_posix.cpp: outputs put in place).
#pragma once

#include <string>

#include "platform/os_file.h"

namespace vagliante::os::posix {

inline int Fd(NativeFile file) { return static_cast<int>(file); }

// An interrupted call is tried again, unless a stop has been requested:
// then RunStopped.
void OnInterrupted();

// Waits about `milliseconds`, less when a stop is requested: RunStopped.
void Pause(int milliseconds);

// Opens a pipe, FIFO or device without waiting in open: for a FIFO opened
// for writing (`forReader`), until its reader comes, in pauses that a stop
// ends. The descriptor stays non-blocking, its reads and writes waiting in
// poll, which a stop wakes. -1 with errno on failure.
int OpenStream(const std::string& path, int flags, bool forReader);

// The descriptor that a path names: /dev/stdout, /dev/fd/3, /proc/self/fd/3
// and, whatever its spelling (a link to /proc/thread-self/fd/1, a path
// through ".."), any descriptor link of /proc that leads to the file this
// process has open on the descriptor of its number. -1 for any other path.
int DescriptorNamed(const std::string& path);

// A descriptor of this process's own for `descriptor` (closed on exec),
// for `access` (O_RDONLY, O_WRONLY). A pipe gets a description of its own,
// non-blocking as those OpenStream gives. A standard stream that was closed
// when the program started is BadFileName.
NativeFile Duplicate(int descriptor, const std::string& path, int access);

// Opens the null device on each of the standard descriptors (0, 1, 2) that
// is closed, so that no file opened later takes its number: a report, or the
// stop's wake-up pipe, as standard output or error would be written by
// mistake. It is opened the wrong way round (standard input for writing,
// the others for reading), so that using the stream fails as before, and
// Duplicate refuses it.
void ReserveStandardStreams();

}  // namespace vagliante::os::posix
