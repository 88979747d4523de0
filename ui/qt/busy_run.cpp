#include "ui/qt/busy_run.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <atomic>
#include <exception>
#include <thread>

namespace vagliante::ui::qt {
namespace {
int busyDepth = 0;
}

bool IsBusy() { return busyDepth > 0; }

void RunWhileBusy(const std::function<void()>& work, const std::function<void()>& stop) {
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    QEventLoop loop;
    ++busyDepth;
    // Busy, yet the user may still click: the arrow with the hourglass.
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends when the application quits: the run is stopped
    // then, and unwinds at its next block.
    if (!done) stop();
    worker.join();
    QGuiApplication::restoreOverrideCursor();
    --busyDepth;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vagliante::ui::qt
