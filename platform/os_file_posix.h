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

// The descriptor that a path such as /dev/stdout, /dev/fd/3 or
// /proc/self/fd/3 names, -1 for any other path.
int DescriptorNamed(const std::string& path);

// A descriptor of this process's own for `descriptor` (closed on exec),
// for `access` (O_RDONLY, O_WRONLY). A pipe gets a description of its own,
// non-blocking as those OpenStream gives.
NativeFile Duplicate(int descriptor, const std::string& path, int access);

}  // namespace vagliante::os::posix
