// The process-wide stop: Ctrl-C, SIGTERM, SIGHUP (and on Windows the
// console's close, log-off and shut-down events) ask the running work to
// stop, the same way a window's stop does.
//
// The running core sees the request through ProgressTracker once per block,
// and a wait on a pipe, a device or another run's lock is woken for it. It
// then unwinds: every temporary file is removed and every existing file is
// left as it was; or, when its last rename was already done, it ends as a
// success. Whoever runs the work holds a RunScope meanwhile and reports the
// outcome before the process ends: a status of 128 + N (N the signal's
// number) always means the files are as they were. A request that arrives
// while no work runs ends the process at once, with the same status.
#pragma once

namespace vagliante {

// Installs the handlers (once per process) for SIGINT, SIGTERM, SIGHUP and
// SIGPIPE; a signal that was ignored when the program started (nohup) stays
// ignored. A write to a pipe whose reader has gone stops the run as SIGPIPE
// does. SIGXFSZ is ignored, so that a file-size limit is a write error (and
// its temporary file removed) rather than a killed process. First, a
// standard stream (descriptor 0, 1 or 2) that is closed is reserved, so that
// no file opened later takes its number (see os_file_posix.h).
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

// Held by whoever runs work that a stop unwinds and reports its outcome:
// vagliante-cli around its sources, a window around its run. While one is
// held, a request only asks the work to stop; the holder reports what
// became of it (stopped, or done if its files were already in place) and
// then ends the process: with EndProcessIfStopped, or with a status of its
// own that tells the same.
class RunScope {
  public:
    RunScope() noexcept;
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
};

// After StopOnSignals, ends the process with 128 + N when a request is
// pending; otherwise returns.
void EndProcessIfStopped() noexcept;

namespace detail {
// The read end of a pipe that becomes readable once a stop is requested, so
// that a wait on a pipe or a device can be woken; -1 without one.
int StopWakeDescriptor() noexcept;
}  // namespace detail

}  // namespace vagliante
