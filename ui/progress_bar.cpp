#include "ui/progress_bar.h"

#include <QThread>
#include <algorithm>
#include <cmath>

namespace vagliante::ui {

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, kResolution);
    setValue(0);
    setTextVisible(false);
}

void ProgressBar::SetMin(double min) {
    min_ = min;
    Update();
}

void ProgressBar::SetMax(double max) {
    max_ = max;
    Update();
}

void ProgressBar::SetValue(double value) {
    value_ = value;
    Update();
}

void ProgressBar::Update() {
    if (QThread::currentThread() == thread()) Show();
    else if (!pending_.exchange(true))
        QMetaObject::invokeMethod(this, [this] { Show(); }, Qt::QueuedConnection);
}

void ProgressBar::Show() {
    pending_ = false;
    double span = max_ - min_;
    double fraction = span > 0 ? (value_ - min_) / span : 0.0;
    int step = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kResolution));
    if (step == value()) return;
    setValue(step);
    repaint();
}

}  // namespace vagliante::ui
