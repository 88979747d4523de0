// The process-wide stop: Ctrl-C, SIGTERM, SIGHUP (and on Windows the
// console's close, log-off and shut-down events) ask the running work to
// stop, the same way a window's stop does.
//
// The running core sees the request through ProgressTracker once per block,
// and a wait on a pipe or a device is woken for it. It then unwinds:
// every temporary file is removed and every existing file is left as it was.
// Once the last temporary file is gone the process ends with status 128 + N
// (N the signal's number). A request that arrives while nothing needs
// cleaning ends the process at once, with the same status.
#pragma once

namespace vagliante {

// Installs the handlers (once per process) for SIGINT, SIGTERM, SIGHUP and
// SIGPIPE; a signal that was ignored when the program started (nohup) stays
// ignored. A write to a pipe whose reader has gone stops the run as SIGPIPE
// does. SIGXFSZ is ignored, so that a file-size limit is a write error (and
// its temporary file removed) rather than a killed process.
void StopOnSignals();

// Asks the running work to stop, as signal `signal` would. Safe inside a
// signal handler. Without StopOnSignals the process is not ended: the work
// only stops (this is what the tests use).
void RequestStop(int signal) noexcept;

// The signal of the pending request, 0 when there is none.
int StopSignal() noexcept;

// Forgets a pending request (tests only: a real one ends the process).
void ClearStop() noexcept;

// The exit status a run ended by a request gives: 128 + N.
inline int StopExitStatus(int signal) { return 128 + signal; }

// Held while something a stop must undo exists (a temporary file, outputs
// being put in place). The last one to go, after a request, ends the process.
class CleanupScope {
  public:
    CleanupScope() noexcept;
    ~CleanupScope();
    CleanupScope(const CleanupScope&) = delete;
    CleanupScope& operator=(const CleanupScope&) = delete;
};

namespace detail {
// The read end of a pipe that becomes readable once a stop is requested, so
// that a wait on a pipe or a device can be woken; -1 without one.
int StopWakeDescriptor() noexcept;
}  // namespace detail

}  // namespace vagliante
