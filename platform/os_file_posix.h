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

// ::open(path, flags), tried again when a signal interrupts it (a FIFO may
// keep it waiting), as OnInterrupted says; -1 with errno on failure.
int OpenInterruptibly(const std::string& path, int flags);

// The descriptor that a path such as /dev/stdout, /dev/fd/3 or
// /proc/self/fd/3 names, -1 for any other path.
int DescriptorNamed(const std::string& path);

// A descriptor of this process's own for `descriptor` (closed on exec).
NativeFile Duplicate(int descriptor, const std::string& path);

}  // namespace vagliante::os::posix
