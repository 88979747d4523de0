#include "ui/qt/qt_progress_bar.h"

#include <QThread>

namespace vagliante::ui::qt {

QtProgressBar::QtProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, ProgressBar::kSteps);
    setValue(0);
    setTextVisible(false);
    model_.SetListener([this](int) {
        if (QThread::currentThread() == thread())
            Draw();
        else if (!pending_.exchange(true))
            QMetaObject::invokeMethod(
                this, [this] { Draw(); }, Qt::QueuedConnection);
    });
}

void QtProgressBar::Draw() {
    pending_ = false;
    const int step = model_.Step();
    if (step == value()) return;
    setValue(step);  // which repaints the bar itself when its drawing changes
}

}  // namespace vagliante::ui::qt
