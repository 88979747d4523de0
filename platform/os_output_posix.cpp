#include <attr/libattr.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/os_file_posix.h"
#include "platform/run_error.h"

namespace vagliante::os {
namespace {

using posix::Fd;

// `path` with its symbolic links followed, as far as they lead (the last
// one may name a file that does not exist yet). Stops at a link to an open
// descriptor: `descriptor` is then set.
std::string FollowLinks(std::string path, int& descriptor) {
    descriptor = -1;
    for (int hops = 0; hops < 40; ++hops) {
        descriptor = posix::DescriptorNamed(path);
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

OutputPlace PlaceOutput(const std::string& destination) {
    if (destination.empty() || destination.back() == '/')
        throw RunError(ErrorNumber::BadFileName, destination);
    int descriptor = -1;
    const std::string target = FollowLinks(destination, descriptor);
    OutputPlace place;
    if (descriptor >= 0) {
        place.direct = posix::Duplicate(descriptor, destination, O_WRONLY);
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
        const int fd =
            posix::OpenStream(target, O_WRONLY | O_CLOEXEC | O_NOCTTY, S_ISFIFO(st.st_mode));
        if (fd < 0) throw RunError::FromErrno(errno, destination);
        place.direct = fd;
        return place;
    }
    // A folder, a socket, a block device: nothing to write a report into.
    throw RunError(ErrorNumber::PathFileAccess, destination);
}

bool IsStandardOutput(const std::string& path) {
    try {
        int descriptor = -1;
        const std::string target = FollowLinks(path, descriptor);
        if (descriptor >= 0) return descriptor == 1;
        // The pipe standard output is, under its name as a FIFO. (A file is
        // replaced, a device such as a terminal takes both: those stay.)
        struct stat st {};
        return ::stat(target.c_str(), &st) == 0 && S_ISFIFO(st.st_mode) && SameFile(1, target);
    } catch (const RunError&) {  // links in a loop
        return false;
    }
}

std::string ShortenedToFit(const std::string& path, std::size_t more) {
    const std::string name = BaseName(path);
    const auto limit = static_cast<std::size_t>(NameLimit(FolderOf(path)));
    return path.substr(0, path.size() - name.size()) +
           CutAtCharacter(name, limit > more ? limit - more : 0);
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

std::string Swap(const std::string& temporary, const std::string& target, bool replacing,
                 const StopCheck&) {
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

void Discard(const std::string& oldFile, const StopCheck&) noexcept {
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
    // Another run holds it while it puts its files in place, a moment: look
    // again after pauses, which a stop ends. Where there are no locks, go on.
    for (int pause = 1; ::flock(fd, LOCK_EX | LOCK_NB) != 0; pause = std::min(pause * 2, 50)) {
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        try {
            posix::Pause(pause);
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    return fd;
}

void UnlockFolder(NativeFile lock) noexcept { CloseQuietly(lock); }

}  // namespace vagliante::os
