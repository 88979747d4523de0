#include "ui/qt/look.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vagliante::ui::qt {

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

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QString FileArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.isEmpty() || argument.startsWith('-')) continue;
        if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) return argument;
        return QFileInfo(argument).absoluteFilePath();
    }
    return {};
}

}  // namespace vagliante::ui::qt
