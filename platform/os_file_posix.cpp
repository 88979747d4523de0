#include "platform/os_file_posix.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <random>

#include "platform/progress.h"
#include "platform/run_error.h"
#include "platform/stop.h"

namespace vagliante::os {

namespace posix {

namespace {
// Bit N: standard descriptor N was closed when the program started.
unsigned closedAtStart = 0;
}  // namespace

void OnInterrupted() {
    if (StopSignal() != 0) throw RunStopped();
}

void Pause(int milliseconds) {
    const int wake = vagliante::detail::StopWakeDescriptor();
    pollfd fd{wake, POLLIN, 0};
    // With nothing to watch, poll only sleeps.
    if (::poll(&fd, wake >= 0 ? 1 : 0, milliseconds) > 0 || StopSignal() != 0) throw RunStopped();
}

int OpenStream(const std::string& path, int flags, bool forReader) {
    for (int pause = 1;; pause = std::min(pause * 2, 50)) {
        const int fd = ::open(path.c_str(), flags | O_NONBLOCK);
        if (fd >= 0) return fd;
        if (errno == EINTR) {
            OnInterrupted();
            continue;
        }
        // ENXIO: a FIFO that no one reads yet. Nothing signals the reader's
        // coming, so look again after a pause.
        if (errno != ENXIO || !forReader) return -1;
        Pause(pause);
    }
}

int DescriptorNamed(const std::string& path) {
    static const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    const auto slash = path.find_last_of('/');
    const std::string digits = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int descriptor = std::atoi(digits.c_str());
    const std::string folder = path.substr(0, path.size() - digits.size());
    for (const std::string& spelled : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                       std::string("/proc/thread-self/fd/"), own})
        if (folder == spelled) return descriptor;
    // Any other spelling: a link in a folder of /proc (such links name the
    // file a descriptor has open) that leads where our own descriptor of that
    // number does.
    constexpr long kProcFileSystem = 0x9fa0;
    struct stat link {
    }, named{}, held{};
    struct statfs fs {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) ||
        ::statfs(folder.c_str(), &fs) != 0 || static_cast<long>(fs.f_type) != kProcFileSystem ||
        ::stat(path.c_str(), &named) != 0 || ::fstat(descriptor, &held) != 0 ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino)
        return -1;
    return descriptor;
}

NativeFile Duplicate(int descriptor, const std::string& path, int access) {
    if (descriptor <= 2 && (closedAtStart >> descriptor & 1u) != 0)
        throw RunError(ErrorNumber::BadFileName, path);
    // A pipe is opened anew: a description of our own may be made
    // non-blocking, where the one the descriptor shares with others may not.
    struct stat st {};
    if (::fstat(descriptor, &st) == 0 && S_ISFIFO(st.st_mode)) {
        const int own = ::open(("/proc/self/fd/" + std::to_string(descriptor)).c_str(),
                               access | O_NONBLOCK | O_CLOEXEC);
        if (own >= 0) return own;
    }
    const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) throw RunError::FromErrno(errno == EBADF ? ENOENT : errno, path);
    return fd;
}

void ReserveStandardStreams() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        const int null = ::open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY);
        if (null < 0) continue;
        if (null != descriptor) {
            ::dup2(null, descriptor);
            ::close(null);
        }
        closedAtStart |= 1u << descriptor;
    }
}

}  // namespace posix

namespace {

using posix::Fd;
using posix::OnInterrupted;

// A missing file is "file not found"; a missing folder on the way to it is
// "path not found", as users of the tool know the two apart.
RunError OpenError(int err, const std::string& path) {
    if (err == ENOENT && !IsDirectory(FolderOf(path)))
        return RunError(ErrorNumber::PathNotFound, path);
    return RunError::FromErrno(err, path);
}

// Waits until `file` is ready for `events`, or a stop is requested: a pipe
// or a device may keep a read or write waiting for as long as it likes.
void WaitReady(NativeFile file, short events) {
    const int wake = vagliante::detail::StopWakeDescriptor();
    pollfd fds[2] = {{Fd(file), events, 0}, {wake, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, wake >= 0 ? 2 : 1, -1);
        if (n < 0 && errno == EINTR) {
            OnInterrupted();
            continue;
        }
        if (n > 0 && wake >= 0 && (fds[1].revents & POLLIN)) throw RunStopped();
        return;  // ready, closed or failed: the read or write tells which
    }
}

// One write to a pipe or device, once it is ready, that takes what it can
// without waiting: a plain write of more than the pipe has room for waits
// for its reader, where no stop reaches it. Our own descriptions of pipes
// and devices are non-blocking; one shared with others (standard output
// that is a terminal) is not made so, the write is.
ssize_t WriteReady(int fd, const char* data, std::size_t size) {
    if (::fcntl(fd, F_GETFL) & O_NONBLOCK) return ::write(fd, data, size);
    iovec piece{const_cast<char*>(data), size};
    const ssize_t n = ::pwritev2(fd, &piece, 1, -1, RWF_NOWAIT);
    if (n >= 0 || (errno != EOPNOTSUPP && errno != EINVAL && errno != ENOSYS)) return n;
    // No such write for this file here. A ready pipe takes PIPE_BUF bytes
    // whole; a device, what it takes.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) size = std::min<std::size_t>(size, PIPE_BUF);
    return ::write(fd, data, size);
}

}  // namespace

NativeFile OpenRead(const std::string& path, bool streams) {
    if (path.empty()) throw RunError(ErrorNumber::BadFileName, path);
    int fd = -1;
    const int descriptor = posix::DescriptorNamed(path);
    if (descriptor >= 0) {
        fd = posix::Duplicate(descriptor, path, O_RDONLY);
    } else {
        // Never waits in open: a FIFO's writer is waited for by the reads.
        fd = posix::OpenStream(path, O_RDONLY | O_CLOEXEC | O_NOCTTY, false);
        if (fd < 0) throw OpenError(errno, path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (!streams && !S_ISREG(st.st_mode))) {
        ::close(fd);
        throw RunError(ErrorNumber::PathFileAccess, path);
    }
    if (descriptor < 0 && S_ISREG(st.st_mode))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
        if (stream && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        throw RunError::FromErrno(errno, path);
    }
}

std::int64_t Length(NativeFile file, const std::string& path) {
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) throw RunError::FromErrno(errno, path);
    return static_cast<std::int64_t>(st.st_size);
}

void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path,
              bool stream) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        if (stream) WaitReady(file, POLLOUT);
        const ssize_t n = stream ? WriteReady(Fd(file), p, size) : ::write(Fd(file), p, size);
        if (n < 0) {
            if (errno == EINTR) {
                OnInterrupted();
                continue;
            }
            if (stream && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;  // full again
            if (errno == EPIPE) {
                // No reader any more: a stop, as the signal that came with it.
                RequestStop(SIGPIPE);
                throw RunStopped();
            }
            throw RunError::FromErrno(errno, path);
        }
        if (n == 0) throw RunError(ErrorNumber::DiskFull, path);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
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

// ---- Paths ----

std::string StandardInputPath() { return "/dev/stdin"; }
std::string StandardOutputPath() { return "/dev/stdout"; }

std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

bool SameFile(NativeFile file, const std::string& path) {
    struct stat a {
    }, b{};
    return ::fstat(Fd(file), &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {
    }, y{};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
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
    std::string tag(kRandomTagLength, ' ');
    for (char& c : tag) c = kChars[engine() % (sizeof(kChars) - 1)];
    return tag;
}

}  // namespace vagliante::os
