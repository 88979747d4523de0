#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/os_file.h"
#include "platform/run_error.h"

namespace vagliante::os {
namespace {

int Fd(NativeFile file) { return static_cast<int>(file); }

// A missing file is "file not found"; a missing folder on the way to it is
// "path not found", as users of the tool know the two apart.
RunError OpenError(int err, const std::string& path) {
    if (err == ENOENT && !IsDirectory(FolderOf(path)))
        return RunError(ErrorNumber::PathNotFound, path);
    return RunError::FromErrno(err, path);
}

}  // namespace

NativeFile OpenRead(const std::string& path) {
    if (path.empty()) throw RunError(ErrorNumber::BadFileName, path);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw OpenError(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw RunError(ErrorNumber::PathFileAccess, path);
    }
    return fd;
}

NativeFile CreateNew(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST) return kNoFile;
        throw OpenError(errno, path);
    }
    return fd;
}

std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path) {
    for (;;) {
        ssize_t n = ::read(Fd(file), buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw RunError::FromErrno(errno, path);
    }
}

void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(Fd(file), p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw RunError::FromErrno(errno, path);
        }
        if (n == 0) throw RunError(ErrorNumber::DiskFull, path);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

std::int64_t Length(NativeFile file, const std::string& path) {
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) throw RunError::FromErrno(errno, path);
    return static_cast<std::int64_t>(st.st_size);
}

void Truncate(NativeFile file, std::int64_t length, const std::string& path) {
    if (::ftruncate(Fd(file), static_cast<off_t>(length)) != 0 ||
        ::lseek(Fd(file), static_cast<off_t>(length), SEEK_SET) < 0)
        throw RunError::FromErrno(errno, path);
}

void Rewind(NativeFile file, const std::string& path) {
    if (::lseek(Fd(file), 0, SEEK_SET) < 0) throw RunError::FromErrno(errno, path);
}

void Close(NativeFile file, const std::string& path) {
    // Linux closes the descriptor even when close reports EINTR: never retry.
    if (::close(Fd(file)) != 0 && errno != EINTR) throw RunError::FromErrno(errno, path);
}

void CloseQuietly(NativeFile file) noexcept {
    if (file != kNoFile) ::close(Fd(file));
}

void Replace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        if (errno == EISDIR) throw RunError(ErrorNumber::PathFileAccess, to);
        throw RunError::FromErrno(errno, to);
    }
}

void RemoveQuietly(const std::string& path) noexcept { ::unlink(path.c_str()); }

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool CanWrite(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

char Separator() { return '/'; }

bool IsSeparator(char c) { return c == '/'; }

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir && *dir) ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string RandomTag() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{std::random_device{}() ^
                                        (static_cast<std::uint64_t>(::getpid()) << 32)};
    std::string tag(8, ' ');
    for (char& c : tag) c = kChars[engine() % (sizeof(kChars) - 1)];
    return tag;
}

}  // namespace vagliante::os
