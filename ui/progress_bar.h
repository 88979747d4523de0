// ProgressBar: a QProgressBar with the floating-point lower bound, maximum
// and value the windows use, and the core's Progress interface.
//
// The core may report from a worker thread; the bar then repaints on the
// window's thread, and only when the drawn position changes.
#pragma once

#include <QProgressBar>
#include <atomic>

#include "platform/progress.h"

namespace vagliante::ui {

class ProgressBar : public QProgressBar, public Progress {
    Q_OBJECT
public:
    static constexpr int kResolution = 1000;  // drawn steps from Min to Max

    explicit ProgressBar(QWidget* parent = nullptr);

    double Min() const { return min_; }
    double Max() const { return max_; }
    double Value() const { return value_; }
    void SetMin(double min);
    void SetMax(double max) override;
    void SetValue(double value) override;

private:
    void Update();  // from any thread
    void Show();    // on the window's thread

    std::atomic<double> min_{0.0001};
    std::atomic<double> max_{100.0};
    std::atomic<double> value_{0.0001};
    std::atomic<bool> pending_{false};
};

}  // namespace vagliante::ui
