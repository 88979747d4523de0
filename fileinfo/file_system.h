// The operating-system services CFileInfo needs, behind one small interface.
//
// Each operation is shaped after the Windows call named beside it, so that a
// Win32 backend maps onto it one to one; the POSIX backend (fs_posix.cpp)
// provides the same results with the calls of that platform. Paths and names
// are UTF-8; the Windows backend makes the wide calls, converting at each one.
// None of them throws: a failure is an empty result or false, as the Windows
// call reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fileinfo/date_value.h"

namespace vagliante {

using IconHandle = std::intptr_t;  // 0 is no icon
using TimeHandle = std::intptr_t;  // a file opened for writing its times
inline constexpr TimeHandle kInvalidTimeHandle = -1;

// The fields of WIN32_FIND_DATA that are used. The two names are the record's
// fixed-width text fields: their text ends at the first NUL, if any.
struct FindData {
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;  // UTC
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint32_t fileSizeHigh = 0;
    std::uint32_t fileSizeLow = 0;
    std::string fileName;           // cFileName
    std::string alternateFileName;  // cAlternateFileName: empty or NUL first when there is none
};

// The fields of SHFILEINFO that are used, fixed-width text fields as above.
struct ShellFileInfo {
    IconHandle icon = 0;
    std::string displayName;
    std::string typeName;
};

// How paths are written: the separator, the roots ("C:\" and "\\server\share"
// on Windows, "/" on POSIX).
enum class PathStyle { Windows, Posix };

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual PathStyle Style() const = 0;

    // GetFullPathNameW: `path` qualified against the current folder, "." and
    // ".." folded, without an existence test. Nothing for a path the platform
    // cannot qualify (an empty one).
    virtual std::optional<std::string> QualifyPath(const std::string& path) = 0;

    // FindFirstFileW and FindClose: the first directory entry matching
    // `path`, whose last component may hold the wildcards * and ?.
    virtual std::optional<FindData> FindFirstEntry(const std::string& path) = 0;

    // GetShortPathNameW: the short (8.3) form of an existing path.
    virtual std::optional<std::string> ShortPathOf(const std::string& path) = 0;

    // GetCompressedFileSizeW: the low 32 bits of the space the file takes on
    // disk; the high part goes to `high`. 0xFFFFFFFF on failure.
    virtual std::uint32_t CompressedSizeOf(const std::string& path, std::uint32_t& high) = 0;

    // SHGetFileInfoW with SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME: an
    // empty record on failure. The caller owns the icon it gives.
    virtual ShellFileInfo ShellInfoOf(const std::string& path) = 0;

    // DestroyIcon.
    virtual void DestroyIconHandle(IconHandle icon) = 0;

    // CreateFileW with GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ |
    // FILE_SHARE_WRITE, OPEN_EXISTING and FILE_FLAG_BACKUP_SEMANTICS (folders
    // open too): kInvalidTimeHandle on failure.
    virtual TimeHandle OpenForTimes(const std::string& path) = 0;

    // SetFileTime: writes the times that are given (UTC), leaves the others.
    virtual bool WriteFileTimes(TimeHandle file, const FileTime* creation,
                                const FileTime* lastAccess, const FileTime* lastWrite) = 0;

    // CloseHandle.
    virtual void CloseTimeHandle(TimeHandle file) = 0;

    // SetFileAttributesW: the attribute bits of `path`; bits the platform
    // cannot set this way (directory, compressed) are left alone.
    virtual bool WriteAttributes(const std::string& path, std::uint32_t attributes) = 0;

    // FileTimeToLocalFileTime and LocalFileTimeToFileTime: a UTC file time in
    // local time and back, with the time-zone offset in force at that instant
    // (not today's), so that a winter date does not move by an hour in summer.
    // On Windows: FileTimeToSystemTime + SystemTimeToTzSpecificLocalTime +
    // SystemTimeToFileTime, and TzSpecificLocalTimeToSystemTime the other way.
    virtual FileTime ToLocalFileTime(FileTime utc) = 0;
    virtual FileTime ToUtcFileTime(FileTime local) = 0;

    // CharUpperBuffW: the UTF-8 `text` with every letter in upper case,
    // accented ones included. Bytes that are no UTF-8 character stay as they
    // are on POSIX; Windows gives only names that are characters.
    virtual std::string UpperCase(const std::string& text) = 0;
};

// The backend of the platform the program runs on.
FileSystem& NativeFileSystem();

}  // namespace vagliante
