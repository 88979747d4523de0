#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <random>
#include <vector>

#include "platform/file_holders.h"
#include "platform/os_file.h"
#include "platform/progress.h"
#include "platform/run_error.h"
#include "platform/utf8.h"

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
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_WRITE_PROTECT:
            return RunError(ErrorNumber::PermissionDenied, path);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return RunError(ErrorNumber::DiskFull, path);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return RunError(ErrorNumber::OutOfMemory, path);
        default:
            return RunError(ErrorNumber::DeviceIo, path);
    }
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(SystemPath(path).c_str()); }

// The standard handles, as StandardInputPath and StandardOutputPath name
// them: "<" and ">" cannot be part of a Windows file name.
constexpr const char* kStandardInput = "<stdin>";
constexpr const char* kStandardOutput = "<stdout>";

NativeFile DuplicateStandard(DWORD which, const std::string& path) {
    HANDLE copy = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, ::GetStdHandle(which), self, &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        throw FromWin32(::GetLastError(), path);
    return Native(copy);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a name is to Windows: a device, whatever its folder and extension,
// when its last part, up to its first dot or colon and without the blanks at
// its end, is CON, PRN, AUX, NUL, CONIN$, CONOUT$, or COM or LPT and a digit
// (0 to 9, or the superscript 1, 2 or 3, which Windows takes for digits), in
// any case: "COM1.TXT", "aux.txt" and "CON .TXT" are the devices themselves.
enum class Device { None, Null, Other };

Device DeviceOf(const std::string& path) {
    std::string name = BaseName(path);
    if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);  // "C:AUX"
    name = name.substr(0, name.find_first_of(".:"));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    if (name == "NUL") return Device::Null;
    for (const char* device : {"CON", "PRN", "AUX", "CONIN$", "CONOUT$"})
        if (name == device) return Device::Other;
    if (name.rfind("COM", 0) != 0 && name.rfind("LPT", 0) != 0) return Device::None;
    const std::string digit = name.substr(3);
    const bool isDigit = (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') ||
                         digit == "¹" || digit == "²" || digit == "³";
    return isDigit ? Device::Other : Device::None;
}

// ---- Files held by other programs ----

// An antivirus, the search indexer, a cloud-storage or backup agent opens a
// file that was just written for some tens of milliseconds, often without
// letting it be deleted or renamed meanwhile; a spreadsheet holds the files
// it shows for good. A step refused for such a reason is tried again.
// ERROR_ACCESS_DENIED is also what a file whose deletion waits for its last
// holder gives; ReplaceFileW says ERROR_UNABLE_TO_REMOVE_REPLACED when it
// cannot move a held file aside.
bool MayBeHeld(DWORD err) {
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
           err == ERROR_ACCESS_DENIED || err == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// How long a held file is waited for, in all, in milliseconds.
constexpr ULONGLONG kHeldWait = 2000;
// The pseudo-error of a wait ended by a stop request.
constexpr DWORD kWaitStopped = ERROR_CANCELLED;

// Runs `step` (a call that returns whether it succeeded, its error in
// GetLastError) until it succeeds, fails for another reason, or has been
// refused for about two seconds: often at first, where most holders let go,
// then less. Returns 0 or the last error; kWaitStopped when `stopped` (asked
// every few milliseconds while it waits) ends the wait.
template <typename Step>
DWORD Persist(Step step, const StopCheck& stopped = {}) {
    const ULONGLONG start = ::GetTickCount64();
    DWORD pause = 5;
    for (;;) {
        if (step()) return 0;
        const DWORD err = ::GetLastError();
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (!MayBeHeld(err) || waited >= kHeldWait) return err;
        for (ULONGLONG left = std::min<ULONGLONG>(pause, kHeldWait - waited); left > 0;) {
            if (stopped && stopped()) return kWaitStopped;
            const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(left, 10));
            ::Sleep(slice);
            left -= slice;
        }
        pause = std::min<DWORD>(pause * 2, 250);
    }
}

// Ends a step on `path` that Persist gave up: a stop is RunStopped; a file
// held by another program is error 70 saying so, and naming the program
// where the Restart Manager can tell.
[[noreturn]] void Fail(DWORD err, const std::string& path) {
    if (err == kWaitStopped) throw RunStopped();
    if (!MayBeHeld(err)) throw FromWin32(err, path);
    const std::string holders = HoldersOf(path);
    // A plain refusal of access is a permission, unless a program holds it.
    if (err == ERROR_ACCESS_DENIED && holders.empty()) throw FromWin32(err, path);
    std::string detail = "il file è in uso da un altro programma";
    if (!holders.empty()) detail += " (" + holders + ")";
    throw RunError(ErrorNumber::PermissionDenied, path, detail);
}

// The start of `name` that, with `reserve` more UTF-16 units, keeps within
// the limit of 255, cut between two characters.
std::string CutToFit(const std::string& name, std::size_t reserve) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t width = bytes == 4 ? 2 : 1;
        if (units + width + reserve > 255) break;
        units += width;
        i += bytes;
    }
    return name.substr(0, std::min(i, name.size()));
}

}  // namespace

NativeFile OpenRead(const std::string& path, bool streams) {
    if (path.empty()) throw RunError(ErrorNumber::BadFileName, path);
    HANDLE h;
    if (path == kStandardInput) {
        h = Handle(DuplicateStandard(STD_INPUT_HANDLE, path));
    } else {
        if (IsDirectory(path)) throw RunError(ErrorNumber::PathFileAccess, path);
        h = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) throw FromWin32(::GetLastError(), path);
    }
    if (!streams && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        throw RunError(ErrorNumber::PathFileAccess, path);
    }
    return Native(h);
}

bool IsRegularFile(NativeFile file) { return ::GetFileType(Handle(file)) == FILE_TYPE_DISK; }

NativeFile CreateNew(const std::string& path) {
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = ::GetLastError();
        if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) return kNoFile;
        throw FromWin32(err, path);
    }
    return Native(h);
}

std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path,
                     bool) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!::ReadFile(Handle(file), buffer, chunk, &done, nullptr)) {
        DWORD err = ::GetLastError();
        if (err == ERROR_HANDLE_EOF || err == ERROR_BROKEN_PIPE) return 0;
        throw FromWin32(err, path);
    }
    return done;
}

void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path, bool) {
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

void Close(NativeFile file, const std::string& path) {
    if (!::CloseHandle(Handle(file))) throw FromWin32(::GetLastError(), path);
}

void CloseQuietly(NativeFile file) noexcept {
    if (file != kNoFile) ::CloseHandle(Handle(file));
}

// ---- One regular file read by several threads ----

std::size_t ReadAt(NativeFile file, std::int64_t offset, void* buffer, std::size_t size,
                   const std::string& path) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        // With an offset given, the read does not use the file's position
        // (it moves it, which no reader at offsets minds).
        OVERLAPPED at{};
        const std::uint64_t from = static_cast<std::uint64_t>(offset) + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const std::size_t left = size - done;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::ReadFile(Handle(file), p + done, chunk, &n, &at)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_HANDLE_EOF) break;
            throw FromWin32(err, path);
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

// Files are read, not mapped, here: a mapped file cannot be cut shorter by
// another program, and a mapped read that fails on the disk would need
// structured exception handling.
bool MapsFiles() { return false; }
std::size_t MapAlignment() { return 1; }

const std::uint8_t* MapRead(NativeFile, std::int64_t, std::size_t, const std::string&) {
    return nullptr;
}

void Unmap(const std::uint8_t*, std::size_t) noexcept {}

bool RunGuarded(void (*scan)(void*), void* context) {
    scan(context);
    return true;
}

// ---- Outputs ----

OutputPlace PlaceOutput(const std::string& destination) {
    if (destination.empty() || IsSeparator(destination.back()))
        throw RunError(ErrorNumber::BadFileName, destination);
    OutputPlace place;
    if (destination == kStandardOutput) {
        place.direct = DuplicateStandard(STD_OUTPUT_HANDLE, destination);
        return place;
    }
    // A device named by a file's name would take the report away (to a
    // serial port, a printer, the console): refused, but for the null device.
    // A "\\.\" name asks for a device as such.
    const bool deviceNamespace = destination.rfind("\\\\.\\", 0) == 0;
    const Device device = DeviceOf(destination);
    if (device == Device::Other && !deviceNamespace)
        throw RunError(ErrorNumber::BadFileName, destination);
    if (device == Device::Null || deviceNamespace) {
        HANDLE h =
            ::CreateFileW(SystemPath(destination).c_str(), GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) throw FromWin32(::GetLastError(), destination);
        place.direct = Native(h);
        return place;
    }
    const DWORD attributes = Attributes(destination);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = ::GetLastError();
        if (err != ERROR_FILE_NOT_FOUND) throw FromWin32(err, destination);
        if (!IsDirectory(FolderOf(destination)))
            throw RunError(ErrorNumber::PathNotFound, destination);
        place.target = destination;
        return place;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw RunError(ErrorNumber::PathFileAccess, destination);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw RunError(ErrorNumber::PermissionDenied, destination);
    place.target = destination;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A symbolic link: its target is the file to replace.
        HANDLE h = ::CreateFileW(SystemPath(destination).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            wchar_t buffer[32768];
            const DWORD n = ::GetFinalPathNameByHandleW(h, buffer, 32768, FILE_NAME_NORMALIZED);
            ::CloseHandle(h);
            if (n > 0 && n < 32768) {
                place.target = UserPath(std::wstring_view(buffer, n));
            }
        }
    }
    return place;
}

std::string StandardInputPath() { return kStandardInput; }
std::string StandardOutputPath() { return kStandardOutput; }

std::string ShortenedToFit(const std::string& path, std::size_t more) {
    const std::string name = BaseName(path);
    return path.substr(0, path.size() - name.size()) + CutToFit(name, more);
}

// ReplaceFileW gives the new file the old one's ACL and attributes when it
// is put in place; a new file takes the folder's, as any file made there.
void TakeOver(NativeFile, const std::string&, bool) {}

void SyncData(NativeFile file, const std::string& path) {
    if (::GetFileType(Handle(file)) != FILE_TYPE_DISK) return;
    if (!::FlushFileBuffers(Handle(file))) throw FromWin32(::GetLastError(), path);
}

void StartWriteback(NativeFile, std::int64_t, std::int64_t) noexcept {}
void WaitWriteback(NativeFile, std::int64_t, std::int64_t) noexcept {}

// Renames are written through (MOVEFILE_WRITE_THROUGH) or done by
// ReplaceFileW, which flushes them itself.
void SyncFolder(const std::string&) {}

std::string Swap(const std::string& temporary, const std::string& target, bool replacing,
                 const StopCheck& stopped) {
    const std::wstring from = SystemPath(temporary);
    const std::wstring to = SystemPath(target);
    if (!replacing) {
        const DWORD err =
            Persist([&] { return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH); },
                    stopped);
        if (err != 0) Fail(err, target);
        return {};
    }
    // Hidden, system and the like stay as the old file had them, whatever
    // ReplaceFileW itself keeps.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD old = ::GetFileAttributesW(to.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & kKept))
        ::SetFileAttributesW(from.c_str(), old & kKept);
    const std::string aside = temporary.substr(0, temporary.size() - 4) + ".old";
    const std::wstring backup = SystemPath(aside);
    const DWORD err = Persist(
        [&] {
            if (::ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(),
                               REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                               nullptr, nullptr))
                return true;
            const DWORD failure = ::GetLastError();
            // The old file went to the backup name and the new one did not
            // follow: put the old one back.
            if (failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
                Persist([&] {
                    return ::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
                });
            ::SetLastError(failure);
            return false;
        },
        stopped);
    if (err != 0) Fail(err, target);
    return aside;
}

// Undoing is what keeps the old files: it waits for a holder even when the
// run has been asked to stop.
void Restore(const std::string& oldFile, const std::string& target,
             const std::string& temporary) noexcept {
    const std::wstring to = SystemPath(target);
    if (oldFile.empty()) {
        const std::wstring back = SystemPath(temporary);
        Persist([&] { return ::MoveFileExW(to.c_str(), back.c_str(), MOVEFILE_WRITE_THROUGH); });
    } else {
        const std::wstring old = SystemPath(oldFile);
        Persist([&] {
            return ::MoveFileExW(old.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        });
    }
}

void Discard(const std::string& oldFile, const StopCheck& stopped) noexcept {
    const std::wstring old = SystemPath(oldFile);
    Persist([&] { return ::DeleteFileW(old.c_str()); }, stopped);
}

NativeFile LockFolder(const std::string& folder) {
    // A named mutex per folder, named after its identity, so that every
    // spelling of the folder (a link, a short name) takes the same one; where
    // that cannot be read, after its full path in upper case, as Windows
    // compares names.
    std::wstring key = ToUtf16(FileIdentity(folder));
    if (key.empty()) {
        key = SystemPath(folder);
        if (std::wstring full = FullPath(key); !full.empty()) key = std::move(full);
    }
    std::uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : key)
        hash = (hash ^ static_cast<std::uint64_t>(std::towupper(c))) * 1099511628211ull;
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\vagliante-%016llx", static_cast<unsigned long long>(hash));
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    if (!mutex) return kNoFile;
    ::WaitForSingleObject(mutex, INFINITE);  // an abandoned one is ours as well
    return Native(mutex);
}

void UnlockFolder(NativeFile lock) noexcept {
    if (lock == kNoFile) return;
    ::ReleaseMutex(Handle(lock));
    ::CloseHandle(Handle(lock));
}

namespace {

// `path` opened for nothing but its identity, which neither sharing nor
// permissions refuse; INVALID_HANDLE_VALUE where it is not there.
HANDLE OpenIdentity(const std::string& path) {
    return ::CreateFileW(SystemPath(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::string FileIdentity(const std::string& path) {
    HANDLE h = OpenIdentity(path);
    if (h == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    if (!known) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%08lx:%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    return text;
}

bool IsStandardOutput(const std::string& path) { return path == kStandardOutput; }

bool SameFile(NativeFile file, const std::string& path) {
    HANDLE other = OpenIdentity(path);
    if (other == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = ::GetFileInformationByHandle(Handle(file), &a) &&
                      ::GetFileInformationByHandle(other, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    ::CloseHandle(other);
    return same;
}

bool SameFile(const std::string& a, const std::string& b) {
    HANDLE first = OpenIdentity(a);
    if (first == INVALID_HANDLE_VALUE) return false;
    const bool same = SameFile(Native(first), b);
    ::CloseHandle(first);
    return same;
}

void RemoveQuietly(const std::string& path) noexcept {
    const std::wstring name = SystemPath(path);
    Persist([&] { return ::DeleteFileW(name.c_str()); });
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

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

std::string RandomTag() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{
        std::random_device{}() ^ (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^
        ::GetTickCount64()};
    std::string tag(kRandomTagLength, ' ');
    for (char& c : tag) c = kChars[engine() % (sizeof(kChars) - 1)];
    return tag;
}

}  // namespace vagliante::os
