#include "ui/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace vagliante::ui {

void ProgressBar::SetMin(double min) {
    min_ = min;
    Changed();
}

void ProgressBar::SetMax(double max) {
    max_ = max;
    Changed();
}

void ProgressBar::SetValue(double value) {
    value_ = value;
    Changed();
}

int ProgressBar::Step() const {
    const double span = max_ - min_;
    const double fraction = span > 0 ? (value_ - min_) / span : 0.0;
    if (!(fraction > 0)) return 0;  // NaN included
    return static_cast<int>(std::lround(std::min(fraction, 1.0) * kSteps));
}

void ProgressBar::SetListener(std::function<void(int)> listener) {
    listener_ = std::move(listener);
    shown_ = Step();
    if (listener_) listener_(shown_);
}

void ProgressBar::Changed() {
    const int step = Step();
    if (shown_.exchange(step) != step && listener_) listener_(step);
}

}  // namespace vagliante::ui
