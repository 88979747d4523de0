// The stop request of a command-line run. Whatever asks the run to stop (a
// signal handler, the console's Ctrl-C handler) records its signal number
// here; every running source's Progress sees it at its next block, no
// further source starts, and the run ends with the status 128 + that number.
#pragma once

#include <atomic>

namespace vagliante::cli {

namespace detail {
inline std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
}  // namespace detail

// Safe to call from a signal handler.
inline void RequestStop(int signal) noexcept {
    detail::stopSignal.store(signal, std::memory_order_relaxed);
}
// 0 while no stop is asked.
inline int StopSignal() noexcept { return detail::stopSignal.load(std::memory_order_relaxed); }

}  // namespace vagliante::cli
