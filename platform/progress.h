// Progress: how a long operation tells its caller how far it has read, and
// how the caller asks it to stop.
//
// The bar's range runs from its lower bound to the source length plus 1; the
// core sets the value 0.001 ("empty") before and after an operation and the
// 1-based read position in between.
#pragma once

#include <cstdint>
#include <exception>

#include "platform/stop.h"

namespace vagliante {

// A run ended at its caller's request (a window closed, Ctrl-C): no failure,
// so no message. Nothing is replaced and no temporary file is left.
class RunStopped : public std::exception {
public:
    const char* what() const noexcept override { return "stopped"; }
};

class Progress {
public:
    virtual ~Progress() = default;
    virtual void SetMax(double max) = 0;
    virtual void SetValue(double value) = 0;
    // Asked once per block read; true ends the run with RunStopped. May be
    // called from the thread that runs the work, whatever thread asked.
    virtual bool StopRequested() const { return false; }
};

class NullProgress final : public Progress {
public:
    void SetMax(double) override {}
    void SetValue(double) override {}
};

inline constexpr double kProgressEmpty = 0.001;

// Reports read positions 1 to length + 1 in at most about kSteps steps, the
// first and the last always included, so that a bar is never flooded.
class ProgressTracker {
public:
    static constexpr std::int64_t kSteps = 256;

    ProgressTracker(Progress& progress, std::int64_t length)
        : progress_(progress), last_(length + 1), step_(last_ / kSteps > 0 ? last_ / kSteps : 1) {
        progress_.SetMax(static_cast<double>(last_));
        progress_.SetValue(1.0);
        next_ = 1 + step_;
    }

    // A read that ended early (an error) leaves the bar empty as well.
    ~ProgressTracker() {
        if (!finished_) progress_.SetValue(kProgressEmpty);
    }
    ProgressTracker(const ProgressTracker&) = delete;
    ProgressTracker& operator=(const ProgressTracker&) = delete;

    // `position` is the 1-based position about to be read. Throws
    // RunStopped when the caller, or the process (StopOnSignals), has asked
    // the run to stop.
    void At(std::int64_t position) {
        ThrowIfStopped();
        if (position < next_ || position >= last_) return;
        Show(static_cast<double>(position));
        next_ = position + step_;
    }

    void ThrowIfStopped() const {
        if (progress_.StopRequested() || StopSignal() != 0) throw RunStopped();
    }
    bool StopRequested() const { return progress_.StopRequested() || StopSignal() != 0; }

    // After the read, the flushing and replacing of the outputs: `fraction`
    // (0 to 1) of the way from the last position shown to the end, so that
    // the bar keeps moving, and is not emptied, until the files are in place.
    void Finishing(double fraction) {
        if (finishFrom_ < 0) finishFrom_ = shown_;
        const double value = finishFrom_ + (static_cast<double>(last_) - finishFrom_) * fraction;
        if (value > shown_ && value < static_cast<double>(last_)) Show(value);
    }

    // The end of the run: the last position, then empty again.
    void Finish() {
        progress_.SetValue(static_cast<double>(last_));
        progress_.SetValue(kProgressEmpty);
        finished_ = true;
    }

private:
    void Show(double value) {
        progress_.SetValue(value);
        shown_ = value;
    }

    Progress& progress_;
    double shown_ = 1.0;
    double finishFrom_ = -1.0;
    std::int64_t last_;
    std::int64_t step_;
    std::int64_t next_;
    bool finished_ = false;
};

}  // namespace vagliante
