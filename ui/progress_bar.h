// ProgressBar: the state of a window's progress bar (floating-point lower
// bound, maximum and value) and the core's Progress over it.
//
// The core reports from the worker thread that runs it; the renderer that
// draws the bar is told through a listener, called from the reporting
// thread, only when the drawn position changes.
#pragma once

#include <atomic>
#include <functional>

#include "platform/progress.h"

namespace vagliante::ui {

class ProgressBar final : public Progress {
  public:
    static constexpr int kSteps = 1000;  // drawn positions from Min to Max

    double Min() const { return min_; }
    double Max() const { return max_; }
    double Value() const { return value_; }
    void SetMin(double min);
    void SetMax(double max) override;
    void SetValue(double value) override;

    // The drawn position, 0 to kSteps, for the present bounds and value.
    int Step() const;

    // A stop asked by the window (its closing), seen by the core at its
    // next block. Cleared when a new run starts.
    bool StopRequested() const override { return stop_; }
    void RequestStop() { stop_ = true; }
    void ClearStop() { stop_ = false; }

    // Called with the new step whenever it changes, from the thread that
    // changed it. Set by the renderer before any run.
    void SetListener(std::function<void(int step)> listener);

  private:
    void Changed();

    std::atomic<double> min_{0.0001};
    std::atomic<double> max_{100.0};
    std::atomic<double> value_{0.0001};
    std::atomic<int> shown_{0};
    std::atomic<bool> stop_{false};
    std::function<void(int)> listener_;
};

}  // namespace vagliante::ui
