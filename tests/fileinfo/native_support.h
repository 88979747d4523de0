// Helpers for the tests of CFileInfo on the machine's own file system, so that
// one test reads the same on Windows and on POSIX.
#pragma once

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>
#include <string_view>

#include "fileinfo/date_value.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace vagliante::test {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

inline constexpr DateValue kValentine2003 = 37666.0;  // 14 February 2003

inline DateValue At(DateValue day, int hour, int minute, int second) {
    return day + (hour * 3600 + minute * 60 + second) / 86400.0;
}

// The scratch folder in the long form a refresh gives back (the system's
// temporary folder may be named with 8.3 components on Windows).
inline std::string LongFormOf(const TempDir& dir) {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetLongPathNameW(ToUtf16(dir.Path()).c_str(), buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return ToUtf8(std::wstring_view(buffer, n));
#endif
    return dir.Path();
}

// `name` in the scratch folder, with the platform's separator; "" gives the
// folder with its final separator.
inline std::string In(const TempDir& dir, std::string_view name) {
    return LongFormOf(dir) + kSeparator + std::string(name);
}

// The read-only state as the platform itself reports it.
inline bool ReadOnlyOnDisk(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
#endif
}

// True when this user can open the read-only file `path` for writing all the
// same (root on POSIX, or Windows emulated for root).
inline bool OpensForWriting(const std::string& path) {
#ifdef _WIN32
    HANDLE file =
        ::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
#endif
    return true;
}

}  // namespace vagliante::test
