#include "ui/qt/busy_run.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <exception>
#include <thread>

namespace vagliante::ui::qt {
namespace {
int busyDepth = 0;
}

bool IsBusy() { return busyDepth > 0; }

void RunWhileBusy(const std::function<void()>& work) {
    std::exception_ptr failure;
    QEventLoop loop;
    ++busyDepth;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    QGuiApplication::restoreOverrideCursor();
    --busyDepth;
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vagliante::ui::qt
