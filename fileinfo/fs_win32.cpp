// The file-system backend of Windows: each operation is the wide Windows call
// of the same name, passed through, with the paths and names converted
// between UTF-8 and UTF-16 at the call, so that a name outside the user's
// code page comes through whole. Paths are handed over as SystemPath gives
// them: as they are, with "\" or "/" separators, drive roots ("C:\") and
// network shares ("\\server\share\...") left to the system, and a long one in
// its "\\?\" form, which the results drop again.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>

#include <mutex>
#include <string>

#include "fileinfo/file_system.h"
#include "platform/utf8.h"

namespace vagliante {
namespace {

FileTime FromFiletime(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFiletime(FileTime time) {
    FILETIME out;
    out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return out;
}

// A fixed-width text field of a Windows record, whole, in UTF-8: CFileInfo
// cuts it at its first NUL, and trims spaces only from a field that holds none.
template <std::size_t N>
std::string FieldText(const wchar_t (&field)[N]) {
    return ToUtf8(std::wstring_view(field, N));
}

// A path the system gave back for `given`: without the "\\?\" that
// SystemPath put in front, with the one the caller wrote.
std::string PathFor(const std::string& given, std::wstring_view result) {
    return given.rfind("\\\\?\\", 0) == 0 ? ToUtf8(result) : UserPath(result);
}

// SHGetFileInfo wants COM on the calling thread, which may be a worker thread.
class ComOnThisThread {
  public:
    ComOnThisThread() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComOnThisThread() {
        // Only a successful call (S_OK or S_FALSE) is to be balanced; a thread
        // already in another apartment (RPC_E_CHANGED_MODE) keeps it.
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComOnThisThread(const ComOnThisThread&) = delete;
    ComOnThisThread& operator=(const ComOnThisThread&) = delete;

  private:
    HRESULT result_;
};

class Win32FileSystem final : public FileSystem {
  public:
    PathStyle Style() const override { return PathStyle::Windows; }

    std::optional<std::string> QualifyPath(const std::string& path) override {
        if (path.empty()) return std::nullopt;
        // A string operation, without the limit of MAX_PATH: the path as given.
        const std::wstring full = FullPath(ToUtf16(path));
        if (full.empty()) return std::nullopt;
        return ToUtf8(full);
    }

    std::optional<FindData> FindFirstEntry(const std::string& path) override {
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW(SystemPath(path).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return std::nullopt;
        ::FindClose(search);
        FindData data;
        data.attributes = found.dwFileAttributes;
        data.creationTime = FromFiletime(found.ftCreationTime);
        data.lastAccessTime = FromFiletime(found.ftLastAccessTime);
        data.lastWriteTime = FromFiletime(found.ftLastWriteTime);
        data.fileSizeHigh = found.nFileSizeHigh;
        data.fileSizeLow = found.nFileSizeLow;
        data.fileName = FieldText(found.cFileName);
        data.alternateFileName = FieldText(found.cAlternateFileName);
        return data;
    }

    std::optional<std::string> ShortPathOf(const std::string& path) override {
        const std::wstring wide = SystemPath(path);
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            DWORD n =
                ::GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return std::nullopt;
            if (n < buffer.size()) return PathFor(path, std::wstring_view(buffer.data(), n));
            buffer.assign(n + 1, L'\0');
        }
    }

    std::uint32_t CompressedSizeOf(const std::string& path, std::uint32_t& high) override {
        // The high part is written where the call writes it, as it writes it.
        DWORD upper = high;
        const DWORD low = ::GetCompressedFileSizeW(SystemPath(path).c_str(), &upper);
        high = upper;
        return low;
    }

    ShellFileInfo ShellInfoOf(const std::string& path) override {
        // One shell query at a time: two threads asking at once (two logs
        // filtered at once) hang under Wine, and the query takes a moment.
        static std::mutex shell;
        const std::lock_guard lock(shell);
        const ComOnThisThread com;
        SHFILEINFOW info{};
        ShellFileInfo out;
        constexpr UINT kFlags = SHGFI_ICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME;  // 0x700
        if (::SHGetFileInfoW(SystemPath(path).c_str(), 0, &info, sizeof info, kFlags) == 0)
            return out;
        out.icon = reinterpret_cast<IconHandle>(info.hIcon);
        out.displayName = FieldText(info.szDisplayName);
        out.typeName = FieldText(info.szTypeName);
        return out;
    }

    void DestroyIconHandle(IconHandle icon) override {
        if (icon != 0) ::DestroyIcon(reinterpret_cast<HICON>(icon));
    }

    TimeHandle OpenForTimes(const std::string& path) override {
        HANDLE file = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        return file == INVALID_HANDLE_VALUE ? kInvalidTimeHandle
                                            : reinterpret_cast<TimeHandle>(file);
    }

    bool WriteFileTimes(TimeHandle file, const FileTime* creation, const FileTime* lastAccess,
                        const FileTime* lastWrite) override {
        FILETIME c{}, a{}, w{};
        if (creation) c = ToFiletime(*creation);
        if (lastAccess) a = ToFiletime(*lastAccess);
        if (lastWrite) w = ToFiletime(*lastWrite);
        return ::SetFileTime(reinterpret_cast<HANDLE>(file), creation ? &c : nullptr,
                             lastAccess ? &a : nullptr, lastWrite ? &w : nullptr) != 0;
    }

    void CloseTimeHandle(TimeHandle file) override {
        ::CloseHandle(reinterpret_cast<HANDLE>(file));
    }

    bool WriteAttributes(const std::string& path, std::uint32_t attributes) override {
        return ::SetFileAttributesW(SystemPath(path).c_str(), attributes) != 0;
    }

    // Not FileTimeToLocalFileTime and LocalFileTimeToFileTime, which apply the
    // offset in force now: through the calendar record with
    // SystemTimeToTzSpecificLocalTime and TzSpecificLocalTimeToSystemTime,
    // which apply the time-zone rule of the record's own date, so that a
    // winter stamp does not move by an hour in summer. The record holds
    // milliseconds: the ticks below them are carried over unchanged. Where a
    // step fails the time is given back as it came.
    FileTime ToLocalFileTime(FileTime utc) override {
        SYSTEMTIME universal{}, local{};
        return Convert(utc, universal, local, [&] {
            return ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
        });
    }

    FileTime ToUtcFileTime(FileTime local) override {
        SYSTEMTIME wall{}, universal{};
        return Convert(local, wall, universal, [&] {
            return ::TzSpecificLocalTimeToSystemTime(nullptr, &wall, &universal);
        });
    }

    std::string UpperCase(const std::string& text) override {
        // Through UTF-16, where CharUpperBuffW knows every letter.
        std::wstring wide = ToUtf16(text);
        if (wide.empty()) return text;
        ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
        return ToUtf8(wide);
    }

  private:
    template <typename Step>
    static FileTime Convert(FileTime time, SYSTEMTIME& from, SYSTEMTIME& to, Step step) {
        const FILETIME in = ToFiletime(time);
        FILETIME out{};
        if (!::FileTimeToSystemTime(&in, &from) || !step() || !::SystemTimeToFileTime(&to, &out))
            return time;
        constexpr FileTime kTicksPerMillisecond = 10'000;
        return FromFiletime(out) + time % kTicksPerMillisecond;
    }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace vagliante
