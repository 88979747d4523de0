#include "ui/form.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
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
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 70, 140));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(1, 1, 30, 30, 6, 6);
    // A sieve: the tool sifts the commands out of the log.
    painter.setPen(QPen(Qt::white, 2));
    for (int x = 8; x <= 24; x += 4) painter.drawLine(x, 9, x, 17);
    painter.drawLine(6, 9, 26, 9);
    painter.drawLine(6, 17, 26, 17);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 24), 2.5, 2.5);
    return QIcon(pixmap);
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
