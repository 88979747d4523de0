// The file-system backend of POSIX systems (Linux).
//
// Windows facts the platform lacks are made up as close as it allows: the
// creation time is the birth time where the file system records it, the
// attribute bits come from the permissions and the name, and the hidden,
// system and archive bits that permissions cannot hold live in the extended
// attribute "user.DOSATTRIB". There are no short names, shell types or icons.
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "fileinfo/file_system.h"

namespace vagliante {
namespace {

constexpr std::uint32_t kReadOnlyBit = 0x1;
constexpr std::uint32_t kHiddenBit = 0x2;
constexpr std::uint32_t kSystemBit = 0x4;
constexpr std::uint32_t kDirectoryBit = 0x10;
constexpr std::uint32_t kArchiveBit = 0x20;
// The bits kept in the extended attribute.
constexpr std::uint32_t kStoredBits = kHiddenBit | kSystemBit | kArchiveBit;
constexpr const char* kDosAttributeName = "user.DOSATTRIB";

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1 January 1601 to 1 January 1970.
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t since1601 = seconds + kUnixEpochSeconds;
    if (since1601 < 0) return 0;  // before 1601: the earliest file time
    return static_cast<FileTime>(since1601) * kTicksPerSecond +
           static_cast<FileTime>(nanoseconds / 100);
}

timespec UnixFromFileTime(FileTime time) {
    timespec out{};
    out.tv_sec =
        static_cast<time_t>(static_cast<std::int64_t>(time / kTicksPerSecond) - kUnixEpochSeconds);
    out.tv_nsec = static_cast<long>(time % kTicksPerSecond * 100);
    return out;
}

std::string LastComponent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `*` any run of characters, `?` one character, letters compared without case.
bool GlobMatch(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// As on Windows, a pattern ending in ".*" also takes names without a dot ("*.*" is everything).
bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (GlobMatch(pattern, name)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return GlobMatch(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

// The hidden, system and archive bits of the extended attribute; nothing when
// the file has none or it holds no "0x" number.
std::optional<std::uint32_t> ReadStoredBits(const std::string& path) {
    char value[64];
    const ssize_t length = getxattr(path.c_str(), kDosAttributeName, value, sizeof value - 1);
    if (length <= 0) return std::nullopt;
    value[length] = '\0';
    if (value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return std::nullopt;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(value + 2, &end, 16);
    if (end == value + 2) return std::nullopt;
    return static_cast<std::uint32_t>(bits) & kStoredBits;
}

std::uint32_t AttributesOf(const std::string& path, const std::string& name,
                           const struct stat& st) {
    std::uint32_t bits = 0;
    if (S_ISDIR(st.st_mode)) bits |= kDirectoryBit;
    if ((st.st_mode & kWriteBits) == 0) bits |= kReadOnlyBit;
    if (const std::optional<std::uint32_t> stored = ReadStoredBits(path))
        bits |= *stored;
    else if (S_ISREG(st.st_mode))
        bits |= kArchiveBit;
    if (!name.empty() && name[0] == '.') bits |= kHiddenBit;
    return bits;
}

std::optional<FindData> EntryOf(const std::string& path, const std::string& name) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    struct stat st {};
    st.st_mode = sx.stx_mode;
    FindData data;
    data.attributes = AttributesOf(path, name, st);
    const auto& birth = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_mtime;
    data.creationTime = FileTimeFromUnix(birth.tv_sec, birth.tv_nsec);
    data.lastAccessTime = FileTimeFromUnix(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    data.lastWriteTime = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    data.fileSizeHigh = static_cast<std::uint32_t>(sx.stx_size >> 32);
    data.fileSizeLow = static_cast<std::uint32_t>(sx.stx_size);
    // As the record's fixed-width field: the NUL ends the name, spaces and all.
    data.fileName = name;
    data.fileName.push_back('\0');
    return data;
}

// Sets the read-only state through the write bits; true when it holds afterwards.
bool SetReadOnly(const std::string& path, mode_t mode, bool readOnly) {
    const bool isReadOnly = (mode & kWriteBits) == 0;
    if (isReadOnly == readOnly) return true;
    const mode_t wanted = readOnly ? (mode & ~kWriteBits) : (mode | S_IWUSR);
    return chmod(path.c_str(), wanted & 07777) == 0;
}

bool WriteStoredBits(const std::string& path, std::uint32_t bits) {
    char value[16];
    const int length = std::snprintf(value, sizeof value, "0x%x", bits & kStoredBits);
    return setxattr(path.c_str(), kDosAttributeName, value, static_cast<std::size_t>(length), 0) ==
           0;
}

class PosixFileSystem final : public FileSystem {
  public:
    PathStyle Style() const override { return PathStyle::Posix; }

    std::optional<std::string> QualifyPath(const std::string& path) override {
        if (path.empty()) return std::nullopt;
        std::string full;
        if (path[0] != '/') {
            std::vector<char> buffer(4096);
            while (getcwd(buffer.data(), buffer.size()) == nullptr) {
                if (errno != ERANGE) return std::nullopt;
                buffer.resize(buffer.size() * 2);
            }
            full = buffer.data();
            full += '/';
        }
        full += path;

        // Fold "." and ".." and repeated separators; a final separator stays.
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= full.size()) {
            std::size_t end = full.find('/', start);
            if (end == std::string::npos) end = full.size();
            const std::string part = full.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
        std::string out;
        for (const std::string& part : parts) out += "/" + part;
        if (out.empty() || full.back() == '/') out += '/';
        return out;
    }

    std::optional<FindData> FindFirstEntry(const std::string& path) override {
        // As FindFirstFileA, a path ending with the separator names no entry.
        if (path.empty() || path.back() == '/') return std::nullopt;
        const std::string name = LastComponent(path);
        // "*" and "?" are legal in names here: an entry of that very name comes first.
        std::optional<FindData> exact = EntryOf(path, name);
        if (exact || name.find_first_of("*?") == std::string::npos) return exact;

        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) return std::nullopt;
        std::vector<std::string> matches;
        while (const dirent* entry = readdir(dir)) {
            const std::string candidate = entry->d_name;
            if (candidate == "." || candidate == "..") continue;
            if (WildcardMatch(name, candidate)) matches.push_back(candidate);
        }
        closedir(dir);
        std::sort(matches.begin(), matches.end());
        for (const std::string& match : matches) {
            const std::string prefix = slash == std::string::npos ? "" : folder;
            if (std::optional<FindData> found = EntryOf(prefix + match, match)) return found;
        }
        return std::nullopt;
    }

    std::optional<std::string> ShortPathOf(const std::string& path) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return std::nullopt;
        return path;  // no short names here
    }

    std::uint32_t CompressedSizeOf(const std::string& path, std::uint32_t& high) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return 0xFFFFFFFFu;
        const auto bytes = static_cast<std::uint64_t>(st.st_blocks) * 512;
        high = static_cast<std::uint32_t>(bytes >> 32);
        return static_cast<std::uint32_t>(bytes);
    }

    ShellFileInfo ShellInfoOf(const std::string& path) override {
        ShellFileInfo info;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) info.displayName = LastComponent(path);
        return info;
    }

    void DestroyIconHandle(IconHandle) override {}

    TimeHandle OpenForTimes(const std::string& path) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return kInvalidTimeHandle;
        // Read and write access, as the Windows call asks; a folder opens for reading.
        const int flags =
            S_ISDIR(st.st_mode) ? (O_RDONLY | O_DIRECTORY) : (O_RDWR | O_NONBLOCK | O_NOCTTY);
        const int fd = open(path.c_str(), flags | O_CLOEXEC);
        return fd < 0 ? kInvalidTimeHandle : fd;
    }

    bool WriteFileTimes(TimeHandle file, const FileTime* creation, const FileTime* lastAccess,
                        const FileTime* lastWrite) override {
        if (creation != nullptr) return false;  // Linux cannot set a birth time
        timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_nsec = UTIME_OMIT;
        if (lastAccess != nullptr) times[0] = UnixFromFileTime(*lastAccess);
        if (lastWrite != nullptr) times[1] = UnixFromFileTime(*lastWrite);
        return futimens(static_cast<int>(file), times) == 0;
    }

    void CloseTimeHandle(TimeHandle file) override { close(static_cast<int>(file)); }

    bool WriteAttributes(const std::string& path, std::uint32_t attributes) override {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return false;
        const std::uint32_t current = AttributesOf(path, LastComponent(path), st);
        const bool readOnly = (attributes & kReadOnlyBit) != 0;
        const bool storedChange = (attributes & kStoredBits) != (current & kStoredBits);
        if (!storedChange) return SetReadOnly(path, st.st_mode, readOnly);

        // Writing an extended attribute needs write permission: a read-only
        // file is made writable for it. A failed step undoes the ones before.
        const mode_t mode = st.st_mode & 07777;
        const bool wasReadOnly = (mode & kWriteBits) == 0;
        const mode_t writable = wasReadOnly ? (mode | S_IWUSR) : mode;
        if (wasReadOnly && chmod(path.c_str(), writable) != 0) return false;
        const std::optional<std::uint32_t> before = ReadStoredBits(path);
        if (WriteStoredBits(path, attributes)) {
            if (SetReadOnly(path, writable, readOnly)) return true;
            if (before)
                WriteStoredBits(path, *before);
            else
                removexattr(path.c_str(), kDosAttributeName);
        }
        if (wasReadOnly) chmod(path.c_str(), mode);
        return false;
    }

    FileTime ToLocalFileTime(FileTime utc) override {
        const timespec t = UnixFromFileTime(utc);
        tm local{};
        if (localtime_r(&t.tv_sec, &local) == nullptr) return utc;
        const std::int64_t offset = local.tm_gmtoff * kTicksPerSecond;
        if (offset < 0 && static_cast<FileTime>(-offset) > utc) return 0;
        return utc + static_cast<FileTime>(offset);
    }

    FileTime ToUtcFileTime(FileTime local) override {
        // The wall-clock time read as UTC gives its fields; mktime finds the
        // offset that local time had then.
        const timespec t = UnixFromFileTime(local);
        tm fields{};
        if (gmtime_r(&t.tv_sec, &fields) == nullptr) return local;
        fields.tm_isdst = -1;
        return FileTimeFromUnix(mktime(&fields), t.tv_nsec);
    }

    std::string UpperCase(const std::string& text) override {
        // Names are UTF-8 here, as everywhere in the program (the windows
        // pass them so whatever the user's locale, which may not even be
        // installed), so they are read as UTF-8 whatever locale this process
        // runs in; the user's own encoding only where C.UTF-8 is missing.
        static const locale_t user = [] {
            for (const char* name : {"C.UTF-8", ""})
                if (locale_t l = newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
            return newlocale(LC_CTYPE_MASK, "C", nullptr);
        }();
        const locale_t previous = uselocale(user);
        std::string out;
        out.reserve(text.size());
        std::mbstate_t state{};
        for (std::size_t at = 0; at < text.size();) {
            wchar_t c;
            std::size_t n = std::mbrtowc(&c, text.data() + at, text.size() - at, &state);
            if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
                out += text[at++];  // no character of this encoding: kept
                state = {};
                continue;
            }
            if (n == 0) n = 1;  // a NUL byte
            char upper[MB_LEN_MAX];
            std::mbstate_t back{};
            const std::size_t m = std::wcrtomb(upper, static_cast<wchar_t>(std::towupper(c)), &back);
            if (m == static_cast<std::size_t>(-1)) out.append(text, at, n);
            else out.append(upper, m);
            at += n;
        }
        uselocale(previous);
        return out;
    }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace vagliante
