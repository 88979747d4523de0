#include <QMessageBox>

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
    if (!message.details.empty()) box.setDetailedText(ToQt(message.details));
    box.exec();
}

}  // namespace vagliante::ui::qt
