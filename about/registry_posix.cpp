// POSIX backend: there is no registry here. Location 1 of the system-
// information program answers with the full path of the first such program
// found on PATH; every other key is missing. Programs start detached.
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "about/registry.h"
#include "about/sys_info.h"

namespace vagliante {
namespace {

// Tried in this order.
constexpr const char* kSysInfoPrograms[] = {"hardinfo2", "hardinfo", "kinfocenter",
                                            "gnome-system-monitor"};

// Registry names ignore case.
bool SameName(const std::string& name, const char* expected) {
    return strcasecmp(name.c_str(), expected) == 0;
}

bool IsOrdinaryFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char folder[4096];
    if (getcwd(folder, sizeof folder) == nullptr) return path;
    return std::string(folder) + "/" + path;
}

// The full path of the first system-information program on PATH, or empty.
std::string FindSysInfoProgram() {
    const char* variable = std::getenv("PATH");
    const std::string search = variable ? variable : "";
    if (search.empty()) return {};
    for (const char* name : kSysInfoPrograms) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = search.find(':', start);
            // An empty entry stands for the current folder.
            const std::string candidate =
                (end == start ? std::string(".") : search.substr(start, end - start)) + "/" + name;
            if (IsOrdinaryFile(candidate) && access(candidate.c_str(), X_OK) == 0) {
                return Absolute(candidate);
            }
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return {};
}

class PosixRegistry final : public Registry {
  public:
    RegStatus OpenKeyEx(RegKey root, const std::string& subKey, std::uint32_t, std::uint32_t,
                        RegKey& key) override {
        if (root != kHkeyLocalMachine || !SameName(subKey, kSysInfoPathKey)) {
            return kErrorFileNotFound;
        }
        std::lock_guard lock(mutex_);
        key = next_;
        next_ += 4;
        open_.insert(key);
        return kErrorSuccess;
    }

    RegStatus QueryValueEx(RegKey key, const std::string& valueName, std::uint32_t& type,
                           unsigned char* data, std::uint32_t& size) override {
        {
            std::lock_guard lock(mutex_);
            if (open_.count(key) == 0) return kErrorInvalidHandle;
        }
        if (!SameName(valueName, kSysInfoPathValue)) return kErrorFileNotFound;
        const std::string path = FindSysInfoProgram();
        if (path.empty()) return kErrorFileNotFound;
        // Stored as the registry stores strings: with a final NUL.
        const auto needed = static_cast<std::uint32_t>(path.size() + 1);
        type = kRegSz;
        if (data != nullptr && needed > size) {
            size = needed;
            return kErrorMoreData;
        }
        if (data != nullptr) std::memcpy(data, path.c_str(), needed);
        size = needed;
        return kErrorSuccess;
    }

    RegStatus CloseKey(RegKey key) override {
        std::lock_guard lock(mutex_);
        return open_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
    }

  private:
    std::mutex mutex_;
    std::set<RegKey> open_;
    RegKey next_ = 0x100;
};

class PosixLauncher final : public Launcher {
  public:
    bool FileExists(const std::string& path) override { return IsOrdinaryFile(path); }

    // The program runs in a grandchild of a short-lived child, in a session of
    // its own: nothing waits for it and it leaves no zombie. A pipe closed on
    // exec tells whether the exec succeeded.
    bool StartProgram(const std::string& path) override {
        if (path.empty()) return false;
        int report[2];
        if (pipe(report) != 0) return false;
        fcntl(report[0], F_SETFD, FD_CLOEXEC);
        fcntl(report[1], F_SETFD, FD_CLOEXEC);
        char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
        const pid_t child = fork();
        if (child < 0) {
            close(report[0]);
            close(report[1]);
            return false;
        }
        if (child == 0) {
            // Only async-signal-safe calls between fork and exec.
            setsid();
            const pid_t grandchild = fork();
            if (grandchild > 0) _exit(0);
            if (grandchild == 0) {
                const int input = open("/dev/null", O_RDONLY);
                if (input > 0) {
                    dup2(input, 0);
                    close(input);
                }
                sigset_t none;
                sigemptyset(&none);
                sigprocmask(SIG_SETMASK, &none, nullptr);
                signal(SIGPIPE, SIG_DFL);
                execv(path.c_str(), argv);
            }
            const int failure = errno;
            [[maybe_unused]] const ssize_t written = write(report[1], &failure, sizeof failure);
            _exit(127);
        }
        close(report[1]);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        int failure = 0;
        ssize_t got;
        do {
            got = read(report[0], &failure, sizeof failure);
        } while (got < 0 && errno == EINTR);
        close(report[0]);
        return got == 0;
    }
};

}  // namespace

Registry& SystemRegistry() {
    static PosixRegistry registry;
    return registry;
}

Launcher& SystemLauncher() {
    static PosixLauncher launcher;
    return launcher;
}

}  // namespace vagliante
