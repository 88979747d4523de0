#include <attr/libattr.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/os_file.h"
#include "platform/progress.h"
#include "platform/run_error.h"
#include "platform/stop.h"

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

// An interrupted call is tried again, unless a stop has been requested.
void OnInterrupted() {
    if (StopSignal() != 0) throw RunStopped();
}

// Waits until `file` is ready for `events`, or a stop is requested: a pipe
// or a device may keep a read or write waiting for as long as it likes.
void WaitReady(NativeFile file, short events) {
    const int wake = detail::StopWakeDescriptor();
    if (wake < 0) return;
    pollfd fds[2] = {{Fd(file), events, 0}, {wake, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) {
            OnInterrupted();
            continue;
        }
        if (n > 0 && (fds[1].revents & POLLIN)) throw RunStopped();
        return;  // ready, closed or failed: the read or write tells which
    }
}

// The descriptor that a path such as /dev/stdout, /dev/fd/3 or
// /proc/self/fd/3 names, -1 for any other path.
int DescriptorNamed(const std::string& path) {
    static const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const std::string& prefix :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = path.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::atoi(digits.c_str());
    }
    return -1;
}

NativeFile Duplicate(int descriptor, const std::string& path) {
    const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) throw RunError::FromErrno(errno == EBADF ? ENOENT : errno, path);
    return fd;
}

// `path` with its symbolic links followed, as far as they lead (the last
// one may name a file that does not exist yet). Stops at a link to an open
// descriptor: `descriptor` is then set.
std::string FollowLinks(std::string path, int& descriptor) {
    descriptor = -1;
    for (int hops = 0; hops < 40; ++hops) {
        descriptor = DescriptorNamed(path);
        if (descriptor >= 0) return path;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) +
                                 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return path;
        std::string next(target.data(), static_cast<std::size_t>(n));
        if (next.empty()) return path;
        if (next[0] != '/') {
            const auto slash = path.find_last_of('/');
            if (slash != std::string::npos) next = path.substr(0, slash + 1) + next;
        }
        path = next;
    }
    throw RunError::FromErrno(ELOOP, path);
}

// The longest start of `name` of at most `limit` bytes that ends between
// two UTF-8 characters.
std::string CutAtCharacter(const std::string& name, std::size_t limit) {
    if (name.size() <= limit) return name;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

long NameLimit(const std::string& folder) {
    errno = 0;
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? limit : 255;
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// The permission bits a new file made with 0666 in `folder` gets: from the
// folder's default ACL where it has one, otherwise 0666 less the umask.
mode_t NewFileMode(const std::string& folder) {
    unsigned char acl[1024];
    const ssize_t n = ::getxattr(folder.c_str(), "system.posix_acl_default", acl, sizeof acl);
    // A version word, then entries of tag (2 bytes), permissions (2), id (4).
    if (n < 4 + 8) return 0666 & ~CurrentUmask();
    int user = 0, group = 0, mask = -1, other = 0;
    for (ssize_t at = 4; at + 8 <= n; at += 8) {
        const int tag = acl[at] | (acl[at + 1] << 8);
        const int perm = (acl[at + 2] | (acl[at + 3] << 8)) & 6;
        if (tag == 0x01)
            user = perm;
        else if (tag == 0x04)
            group = perm;
        else if (tag == 0x10)
            mask = perm;
        else if (tag == 0x20)
            other = perm;
    }
    return static_cast<mode_t>(user << 6 | (mask >= 0 ? mask : group) << 3 | other);
}

// Copies the extended attributes of `from` (ACLs included) onto `to`, except
// those the system's list says to skip. A failure to set an ACL is an error:
// without it the file could be open to more people than before.
void CopyAttributes(const std::string& from, int to, const std::string& target) {
    ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return;  // none, or not supported here
    std::vector<char> names(static_cast<std::size_t>(size));
    size = ::listxattr(from.c_str(), names.data(), names.size());
    if (size <= 0) return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        if (attr_copy_action(name, nullptr) == ATTR_ACTION_SKIP) continue;
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) continue;  // not ours to read
        value.resize(static_cast<std::size_t>(length) + 1);
        const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (got < 0) continue;
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0 &&
            std::strncmp(name, "system.", 7) == 0)
            throw RunError::FromErrno(errno == ENOTSUP ? EPERM : errno, target);
    }
}

bool RenameUnsupported(int err) {
    return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP;
}

}  // namespace

NativeFile OpenRead(const std::string& path, bool streams) {
    if (path.empty()) throw RunError(ErrorNumber::BadFileName, path);
    int fd = -1;
    if (const int descriptor = DescriptorNamed(path); descriptor >= 0) {
        fd = Duplicate(descriptor, path);
    } else {
        // A FIFO is opened without waiting for a writer, unless it may be
        // read: then the wait is what the user asked for.
        struct stat st {};
        const bool fifo = ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
        const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | (fifo && streams ? 0 : O_NONBLOCK);
        for (;;) {
            fd = ::open(path.c_str(), flags);
            if (fd >= 0 || errno != EINTR) break;
            OnInterrupted();
        }
        if (fd < 0) throw OpenError(errno, path);
        if (flags & O_NONBLOCK) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (!streams && !S_ISREG(st.st_mode))) {
        ::close(fd);
        throw RunError(ErrorNumber::PathFileAccess, path);
    }
    return fd;
}

bool IsRegularFile(NativeFile file) {
    struct stat st {};
    return ::fstat(Fd(file), &st) == 0 && S_ISREG(st.st_mode);
}

NativeFile CreateNew(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST) return kNoFile;
        throw OpenError(errno, path);
    }
    return fd;
}

std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path,
                     bool stream) {
    for (;;) {
        if (stream) WaitReady(file, POLLIN);
        ssize_t n = ::read(Fd(file), buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) {
            OnInterrupted();
            continue;
        }
        throw RunError::FromErrno(errno, path);
    }
}

void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path,
              bool stream) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        if (stream) WaitReady(file, POLLOUT);
        ssize_t n = ::write(Fd(file), p, size);
        if (n < 0) {
            if (errno == EINTR) {
                OnInterrupted();
                continue;
            }
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

void WriteAt(NativeFile file, std::int64_t offset, const void* data, std::size_t size,
             const std::string& path) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(Fd(file), p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                OnInterrupted();
                continue;
            }
            throw RunError::FromErrno(errno, path);
        }
        if (n == 0) throw RunError(ErrorNumber::DiskFull, path);
        p += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
}

void Truncate(NativeFile file, std::int64_t length, const std::string& path) {
    if (::ftruncate(Fd(file), static_cast<off_t>(length)) != 0 ||
        ::lseek(Fd(file), static_cast<off_t>(length), SEEK_SET) < 0)
        throw RunError::FromErrno(errno, path);
}

void Close(NativeFile file, const std::string& path) {
    // Linux closes the descriptor even when close reports EINTR: never retry.
    if (::close(Fd(file)) != 0 && errno != EINTR) throw RunError::FromErrno(errno, path);
}

void CloseQuietly(NativeFile file) noexcept {
    if (file != kNoFile) ::close(Fd(file));
}

// ---- One regular file read by several threads ----

std::size_t ReadAt(NativeFile file, std::int64_t offset, void* buffer, std::size_t size,
                   const std::string& path) {
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(Fd(file), p + done, size - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) {
                OnInterrupted();
                continue;
            }
            throw RunError::FromErrno(errno, path);
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool MapsFiles() { return true; }

std::size_t MapAlignment() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

const std::uint8_t* MapRead(NativeFile file, std::int64_t offset, std::size_t size,
                            const std::string&) {
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, Fd(file), static_cast<off_t>(offset));
    // A file system that cannot map files (or no address space left): read.
    if (view == MAP_FAILED) return nullptr;
    // Read ahead now: a log not in memory yet arrives while the scan runs.
    (void)::madvise(view, size, MADV_WILLNEED);
    return static_cast<const std::uint8_t*>(view);
}

void Unmap(const std::uint8_t* view, std::size_t size) noexcept {
    if (view) ::munmap(const_cast<std::uint8_t*>(view), size);
}

void ReadAhead(NativeFile file, std::int64_t offset, std::int64_t size) noexcept {
    if (size > 0)
        (void)::posix_fadvise(Fd(file), static_cast<off_t>(offset), static_cast<off_t>(size),
                              POSIX_FADV_WILLNEED);
}

namespace {

// A page of a mapped file past its end (another program cut the file) or
// unreadable on the disk is SIGBUS at the read. While a guarded scan runs on
// a thread, the handler takes it back to RunGuarded; any other SIGBUS goes
// where it went before.
struct Guard {
    sigjmp_buf back;
};
__attribute__((tls_model("initial-exec"))) thread_local Guard* tGuard = nullptr;
struct sigaction gPreviousBus;

void OnBus(int signal, siginfo_t* info, void* context) {
    if (Guard* guard = tGuard) siglongjmp(guard->back, 1);
    if (gPreviousBus.sa_flags & SA_SIGINFO) {
        if (gPreviousBus.sa_sigaction) return gPreviousBus.sa_sigaction(signal, info, context);
    } else if (gPreviousBus.sa_handler != SIG_DFL && gPreviousBus.sa_handler != SIG_IGN) {
        return gPreviousBus.sa_handler(signal);
    }
    // The fault comes back on return, and the default action ends the process.
    ::signal(SIGBUS, SIG_DFL);
}

void InstallBusHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBus;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &gPreviousBus);
}

}  // namespace

bool RunGuarded(void (*scan)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, InstallBusHandler);
    Guard guard;
    Guard* const outer = tGuard;
    // The signal mask is saved and restored, as SIGBUS is blocked in its handler.
    if (sigsetjmp(guard.back, 1) != 0) {
        tGuard = outer;
        return false;
    }
    tGuard = &guard;
    try {
        scan(context);
    } catch (...) {
        tGuard = outer;
        throw;
    }
    tGuard = outer;
    return true;
}

// ---- Outputs ----

OutputPlace PlaceOutput(const std::string& destination) {
    if (destination.empty() || destination.back() == '/')
        throw RunError(ErrorNumber::BadFileName, destination);
    int descriptor = -1;
    const std::string target = FollowLinks(destination, descriptor);
    OutputPlace place;
    if (descriptor >= 0) {
        place.direct = Duplicate(descriptor, destination);
        return place;
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        const int err = errno;
        if (err != ENOENT) throw RunError::FromErrno(err, destination);
        struct stat folder {};
        if (::stat(FolderOf(target).c_str(), &folder) != 0) {
            const int folderErr = errno;
            if (folderErr == ENOENT || folderErr == ENOTDIR)
                throw RunError(ErrorNumber::PathNotFound, destination);
            throw RunError::FromErrno(folderErr, destination);
        }
        if (!S_ISDIR(folder.st_mode)) throw RunError(ErrorNumber::PathNotFound, destination);
        if (BaseName(target).size() > static_cast<std::size_t>(NameLimit(FolderOf(target))))
            throw RunError(ErrorNumber::BadFileName, destination);
        place.target = target;
        return place;
    }
    if (S_ISREG(st.st_mode)) {
        // Root may write anything: a file with no write permission at all is
        // still not replaced behind its owner's back.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 ||
            (st.st_mode & 0222) == 0)
            throw RunError(ErrorNumber::PermissionDenied, destination);
        place.target = target;
        return place;
    }
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        int fd;
        for (;;) {
            fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (fd >= 0 || errno != EINTR) break;
            OnInterrupted();
        }
        if (fd < 0) throw RunError::FromErrno(errno, destination);
        place.direct = fd;
        return place;
    }
    // A folder, a socket, a block device: nothing to write a report into.
    throw RunError(ErrorNumber::PathFileAccess, destination);
}

std::string StandardInputPath() { return "/dev/stdin"; }
std::string StandardOutputPath() { return "/dev/stdout"; }

NativeFile CreateTemporary(const std::string& target, std::string& temporary) {
    const std::string folder = FolderOf(target);
    const std::string prefix = target.substr(0, target.size() - BaseName(target).size());
    const std::string suffixStart = ".~vagliante-";
    const std::size_t suffixLength = suffixStart.size() + 8 + 4;
    const long limit = NameLimit(folder);
    const std::string name =
        CutAtCharacter(BaseName(target), static_cast<std::size_t>(limit) > suffixLength
                                             ? static_cast<std::size_t>(limit) - suffixLength
                                             : 0);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = prefix + name + suffixStart + RandomTag() + ".tmp";
        const NativeFile file = CreateNew(temporary);
        if (file != kNoFile) return file;
    }
    throw RunError(ErrorNumber::PathFileAccess, target);
}

void TakeOver(NativeFile temporary, const std::string& target, bool replacing) {
    const int fd = Fd(temporary);
    mode_t mode;
    if (replacing) {
        struct stat old {};
        if (::stat(target.c_str(), &old) != 0) throw RunError::FromErrno(errno, target);
        // The owner only root may give; the group any member of it.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        struct stat now {};
        if (::fstat(fd, &now) != 0) throw RunError::FromErrno(errno, target);
        CopyAttributes(target, fd, target);
        mode = old.st_mode & 07777;
        if (now.st_uid != old.st_uid) mode &= ~S_ISUID;
        if (now.st_gid != old.st_gid) mode &= ~(S_ISGID | S_IRWXG);
    } else {
        mode = NewFileMode(FolderOf(target));
    }
    // Last, as setting an ACL or the owner may clear the set-group-ID bit.
    if (::fchmod(fd, mode) != 0) throw RunError::FromErrno(errno, target);
}

void SyncData(NativeFile file, const std::string& path) {
    while (::fdatasync(Fd(file)) != 0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == EROFS) return;  // nothing to sync on this kind of file
        throw RunError::FromErrno(errno, path);
    }
}

void StartWriteback(NativeFile file, std::int64_t from, std::int64_t length) noexcept {
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(Fd(file), from, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)file, (void)from, (void)length;
#endif
}

void WaitWriteback(NativeFile file, std::int64_t from, std::int64_t length) noexcept {
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(
        Fd(file), from, length,
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    // Written out: its pages need not crowd the cache any more.
    ::posix_fadvise(Fd(file), from, length, POSIX_FADV_DONTNEED);
#else
    (void)file, (void)from, (void)length;
#endif
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // a folder we may not read cannot be synced by us
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    const int err = errno;
    ::close(fd);
    if (result != 0 && err != EINVAL && err != EROFS && err != EBADF)
        throw RunError::FromErrno(err, folder);
}

std::string Swap(const std::string& temporary, const std::string& target, bool replacing) {
    if (!replacing) {
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0)
            return {};
        if (!RenameUnsupported(errno))
            throw RunError::FromErrno(errno == EEXIST ? EBUSY : errno, target);
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw RunError::FromErrno(errno, target);
        return {};
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0)
        return temporary;
    if (!RenameUnsupported(errno)) throw RunError::FromErrno(errno, target);
    // No exchange on this file system: keep the old file under a second
    // name (a link where there are links), then rename over it.
    const std::string aside = temporary.substr(0, temporary.size() - 4) + ".old";
    const bool linked = ::link(target.c_str(), aside.c_str()) == 0;
    if (!linked && ::rename(target.c_str(), aside.c_str()) != 0)
        throw RunError::FromErrno(errno, target);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = errno;
        if (linked)
            ::unlink(aside.c_str());
        else
            ::rename(aside.c_str(), target.c_str());
        throw RunError::FromErrno(err, target);
    }
    return aside;
}

void Restore(const std::string& oldFile, const std::string& target,
             const std::string& temporary) noexcept {
    if (oldFile.empty())
        ::rename(target.c_str(), temporary.c_str());
    else
        ::rename(oldFile.c_str(), target.c_str());
}

void Discard(const std::string& oldFile) noexcept {
    // Held open, the file's name goes at once; its blocks are freed when
    // the last descriptor closes, which for a large file takes a while.
    constexpr off_t kLarge = off_t{64} << 20;
    const int fd = ::open(oldFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::unlink(oldFile.c_str());
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size >= kLarge && st.st_nlink == 0) {
        try {
            std::thread([fd] { ::close(fd); }).detach();
            return;
        } catch (...) {
        }
    }
    ::close(fd);
}

NativeFile LockFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return kNoFile;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    return fd;
}

void UnlockFolder(NativeFile lock) noexcept { CloseQuietly(lock); }

bool SameFile(NativeFile file, const std::string& path) {
    struct stat a {
    }, b{};
    return ::fstat(Fd(file), &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
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

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

char Separator() { return '/'; }

bool IsSeparator(char c) { return c == '/'; }

std::string RandomTag() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{std::random_device{}() ^
                                        (static_cast<std::uint64_t>(::getpid()) << 32)};
    std::string tag(8, ' ');
    for (char& c : tag) c = kChars[engine() % (sizeof(kChars) - 1)];
    return tag;
}

}  // namespace vagliante::os
