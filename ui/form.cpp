#include "ui/form.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <exception>

#include "platform/program_info.h"
#include "platform/progress.h"
#include "platform/run_error.h"
#include "ui/busy_run.h"
#include "ui/message_box.h"

namespace vagliante::ui {

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont FormFont() {
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(11);
    return font;
}

QIcon AppIcon() {
    // Drawn once, with the desktop's and the Windows icons, by make-icon.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/vagliante-%1.png").arg(size), QSize(size, size));
    return icon;
}

std::string LocalPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

bool RunAndReport(QWidget* window, const std::function<void()>& work, const QString& doneText) {
    try {
        RunWhileBusy(work);
    } catch (const RunStopped&) {
        return false;  // the user asked for it: no message
    } catch (const RunError& error) {
        ShowRunError(window, error);
        return false;
    } catch (const std::exception& error) {
        ShowMessage(window, QString::fromLocal8Bit(error.what()), QString::fromUtf8(kProgramTitle),
                    MessageIcon::Critical);
        return false;
    }
    ShowMessage(window, doneText, kMessageTitle, MessageIcon::Information);
    return true;
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace vagliante::ui
