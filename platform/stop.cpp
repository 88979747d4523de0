#include "platform/stop.h"

#include <atomic>
#include <cstdlib>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <csignal>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/os_file_posix.h"
#endif

namespace vagliante {
namespace {

// Lock-free atomics only: they are touched from signal handlers.
std::atomic<int> stopSignal{0};
std::atomic<int> holders{0};
std::atomic<bool> endsProcess{false};
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};

[[noreturn]] void EndProcess(int signal) noexcept { std::_Exit(StopExitStatus(signal)); }

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD event) {
    int signal = SIGINT;
    if (event == CTRL_CLOSE_EVENT)
        signal = 1;  // as SIGHUP
    else if (event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        signal = SIGTERM;
    RequestStop(signal);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // The system ends the process as soon as this handler returns from the
    // other events: wait here while the work unwinds and the process ends.
    for (;;) ::Sleep(1000);
}

#else

void OnSignal(int signal) { RequestStop(signal); }

#endif

}  // namespace

void StopOnSignals() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    // Before the wake-up pipe is made, which would take the lowest free numbers.
    os::posix::ReserveStandardStreams();
    int fds[2];
    if (::pipe(fds) == 0) {
        for (int fd : fds) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
        wakeRead = fds[0];
        wakeWrite = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read or write returns EINTR
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        // A signal ignored from the start stays ignored: nohup, or a
        // background job of a script, asked for that.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
#endif
    endsProcess = true;
}

void RequestStop(int signal) noexcept {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
#ifndef _WIN32
    const int fd = wakeWrite.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
    }
#endif
    if (endsProcess && holders.load() == 0) EndProcess(stopSignal.load());
}

void EndProcessIfStopped() noexcept {
    if (endsProcess && stopSignal.load() != 0) EndProcess(stopSignal.load());
}

int StopSignal() noexcept { return stopSignal.load(); }

void ClearStop() noexcept {
    stopSignal = 0;
#ifndef _WIN32
    const int fd = wakeRead.load();
    char drain[64];
    if (fd >= 0)
        while (::read(fd, drain, sizeof drain) > 0) {
        }
#endif
}

RunScope::RunScope() noexcept { ++holders; }

RunScope::~RunScope() { --holders; }

namespace detail {
int StopWakeDescriptor() noexcept { return wakeRead.load(); }
}  // namespace detail

}  // namespace vagliante
