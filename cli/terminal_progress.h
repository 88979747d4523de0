// One progress line on a terminal for a whole run, of one source or many:
// the sources ended, the share of all their bytes, the amount and the rate.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/progress.h"
#include "platform/utf8.h"

namespace vagliante::cli {

// Sources run on several threads, each reporting through its own Progress;
// the line is drawn on `out` at most ten times a second and cleared at the
// end. Text printed through Print never mixes with it. With a null `out`, or
// a console that cannot take the line's control sequences, nothing is drawn
// and Print just writes. Text goes out through WriteText, so that a Windows
// console shows every letter.
class TerminalProgress {
  public:
    // `sizes`: each source's length in bytes, as far as known (0 if not).
    TerminalProgress(std::FILE* out, std::string label, std::vector<std::int64_t> sizes);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // The Progress of source `index`, for the thread that runs it.
    Progress& Source(std::size_t index);
    // Source `index` has ended, whichever way: it counts whole.
    void SourceEnded(std::size_t index);

    // Writes `text` to `stream`, the line cleared first (and drawn again at
    // the next step).
    void Print(std::FILE* stream, std::string_view text);

  private:
    class SourceProgress;
    using Clock = std::chrono::steady_clock;

    void Step(bool force);
    void Draw();  // with mutex_ held
    void Clear();

    std::FILE* out_;
    std::unique_ptr<ConsoleSequences> sequences_;  // while out_ has the line
    std::string label_;
    std::vector<std::int64_t> sizes_;
    std::vector<std::unique_ptr<SourceProgress>> sources_;
    std::atomic<std::size_t> ended_{0};
    Clock::time_point start_;
    std::atomic<Clock::rep> nextDraw_{0};
    std::mutex mutex_;
    bool drawn_ = false;
};

}  // namespace vagliante::cli
