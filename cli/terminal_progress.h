// A one-line progress display on a terminal: percentage, bytes read, rate.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/progress.h"

namespace vagliante::cli {

// Draws on `out` (a terminal) at most ten times a second, and clears its line
// when the work ends. Each read pass (the activation filter makes two) starts
// a new count.
class TerminalProgress final : public Progress {
  public:
    TerminalProgress(std::FILE* out, std::string label);
    ~TerminalProgress() override;

    void SetMax(double max) override;
    void SetValue(double value) override;

    // Whether `out` is a terminal, so that a display makes sense there.
    static bool IsTerminal(std::FILE* out);

  private:
    void Draw(double value);
    void Clear();

    using Clock = std::chrono::steady_clock;
    std::FILE* out_;
    std::string label_;
    double max_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    bool drawn_ = false;
};

}  // namespace vagliante::cli
