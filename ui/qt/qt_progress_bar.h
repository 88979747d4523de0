// QtProgressBar: a QProgressBar that draws a form's ProgressBar.
//
// The core may report from a worker thread; the bar then repaints on the
// window's thread, once per drawn step.
#pragma once

#include <QProgressBar>
#include <atomic>

#include "ui/progress_bar.h"

namespace vagliante::ui::qt {

class QtProgressBar final : public QProgressBar {
    Q_OBJECT
  public:
    explicit QtProgressBar(QWidget* parent = nullptr);

    ProgressBar& Model() { return model_; }
    const ProgressBar& Model() const { return model_; }

  private:
    void Draw();  // on the window's thread

    ProgressBar model_;
    std::atomic<bool> pending_{false};
};

}  // namespace vagliante::ui::qt
