// The operating system's file services, behind one small interface.
//
// Everything above this header (streams, atomic outputs, the work file) is
// written once; os_file_posix.cpp and os_file_win32.cpp provide the calls.
// Every function reports a failure as a RunError naming `path`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vagliante::os {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Opens an existing regular file for reading raw bytes.
NativeFile OpenRead(const std::string& path);

// Creates a new file for writing; fails if it exists. Used for temporary files.
NativeFile CreateNew(const std::string& path);

// Reads up to `size` bytes; returns 0 at the end of the file.
std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path);

// Writes all `size` bytes.
void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path);

std::int64_t Length(NativeFile file, const std::string& path);
void Truncate(NativeFile file, std::int64_t length, const std::string& path);
// Moves the read position back to the file's first byte.
void Rewind(NativeFile file, const std::string& path);
void Close(NativeFile file, const std::string& path);  // reports a failed close
void CloseQuietly(NativeFile file) noexcept;

// Moves `from` over `to`, replacing an existing `to` in one step.
void Replace(const std::string& from, const std::string& to);
void RemoveQuietly(const std::string& path) noexcept;

bool IsDirectory(const std::string& path);
bool Exists(const std::string& path);
// Whether this process may write to the existing file `path`.
bool CanWrite(const std::string& path);

// The folder part of a path ("." when it has none) and the separator.
std::string FolderOf(const std::string& path);
char Separator();
// Whether `c` separates folders in a path ("\\" and "/" on Windows).
bool IsSeparator(char c);

// The system's folder for temporary files, without a final separator.
std::string TempFolder();

// A short random text for unique file names.
std::string RandomTag();

}  // namespace vagliante::os
