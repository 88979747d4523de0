#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <random>

#include "platform/os_file.h"
#include "platform/run_error.h"

namespace vagliante::os {
namespace {

HANDLE Handle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }
NativeFile Native(HANDLE handle) { return reinterpret_cast<NativeFile>(handle); }

// A Win32 error code of a failed file operation in the runtime's numbering.
RunError FromWin32(DWORD err, const std::string& path) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
            return RunError(ErrorNumber::FileNotFound, path);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE:
            return RunError(ErrorNumber::PathNotFound, path);
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return RunError(ErrorNumber::BadFileName, path);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return RunError(ErrorNumber::PermissionDenied, path);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return RunError(ErrorNumber::DiskFull, path);
        default:
            return RunError(ErrorNumber::DeviceIo, path);
    }
}

}  // namespace

NativeFile OpenRead(const std::string& path) {
    if (path.empty()) throw RunError(ErrorNumber::BadFileName, path);
    if (IsDirectory(path)) throw RunError(ErrorNumber::PathFileAccess, path);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw FromWin32(::GetLastError(), path);
    return Native(h);
}

NativeFile CreateNew(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) return kNoFile;
        throw FromWin32(err, path);
    }
    return Native(h);
}

std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!::ReadFile(Handle(file), buffer, chunk, &done, nullptr)) {
        DWORD err = ::GetLastError();
        if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return 0;
        throw FromWin32(err, path);
    }
    return done;
}

void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!::WriteFile(Handle(file), p, chunk, &done, nullptr))
            throw FromWin32(::GetLastError(), path);
        if (done == 0) throw RunError(ErrorNumber::DiskFull, path);
        p += done;
        size -= done;
    }
}

std::int64_t Length(NativeFile file, const std::string& path) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(Handle(file), &size)) throw FromWin32(::GetLastError(), path);
    return size.QuadPart;
}

void Rewind(NativeFile file, const std::string& path) {
    LARGE_INTEGER at;
    at.QuadPart = 0;
    if (!::SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN))
        throw FromWin32(::GetLastError(), path);
}

void Truncate(NativeFile file, std::int64_t length, const std::string& path) {
    LARGE_INTEGER at;
    at.QuadPart = length;
    if (!::SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(Handle(file)))
        throw FromWin32(::GetLastError(), path);
}

void Close(NativeFile file, const std::string& path) {
    if (!::CloseHandle(Handle(file))) throw FromWin32(::GetLastError(), path);
}

void CloseQuietly(NativeFile file) noexcept {
    if (file != kNoFile) ::CloseHandle(Handle(file));
}

void Replace(const std::string& from, const std::string& to) {
    if (IsDirectory(to)) throw RunError(ErrorNumber::PathFileAccess, to);
    if (!::MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw FromWin32(::GetLastError(), to);
}

void RemoveQuietly(const std::string& path) noexcept { ::DeleteFileA(path.c_str()); }

bool IsDirectory(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanWrite(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        // "C:name" lies in the current folder of drive C.
        if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
        return ".";
    }
    // Keep the separator of a drive root ("C:\") and of the root itself.
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

char Separator() { return '\\'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string TempFolder() {
    char buffer[MAX_PATH + 1];
    DWORD n = ::GetTempPathA(sizeof buffer, buffer);
    std::string folder = (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : ".";
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

std::string RandomTag() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{
        std::random_device{}() ^ (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^
        ::GetTickCount64()};
    std::string tag(8, ' ');
    for (char& c : tag) c = kChars[engine() % (sizeof(kChars) - 1)];
    return tag;
}

}  // namespace vagliante::os
