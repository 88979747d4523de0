#include <QFontMetrics>
#include <QMessageBox>
#include <QTextEdit>

#include <algorithm>

#include "ui/qt/look.h"
#include "ui/scripts.h"

namespace vagliante::ui::qt {

void ShowMessage(QWidget* parent, const Message& message) {
    if (ActiveMessageScript()) {
        ActiveMessageScript()(message);
        return;
    }
    const QMessageBox::Icon icon = message.icon == MessageIcon::Information
                                       ? QMessageBox::Information
                                   : message.icon == MessageIcon::Critical ? QMessageBox::Critical
                                                                           : QMessageBox::NoIcon;
    QMessageBox box(icon, ToQt(message.title), ToQt(message.text), QMessageBox::Ok, parent);
    if (!message.details.empty()) {
        box.setDetailedText(ToQt(message.details));
        // Wide enough that the details' lines (a report's path among them)
        // need no wrapping, within reason.
        if (auto* details = box.findChild<QTextEdit*>()) {
            int widest = 0;
            for (const QString& line : box.detailedText().split('\n'))
                widest = std::max(widest, QFontMetrics(details->font()).horizontalAdvance(line));
            details->setMinimumWidth(std::min(widest + 40, 640));
        }
    }
    box.exec();
}

}  // namespace vagliante::ui::qt
