#include "ui/message_box.h"

#include <QMessageBox>

#include "platform/program_info.h"
#include "platform/run_error.h"

namespace vagliante::ui {
namespace {

std::function<void(const Message&)>& ActiveScript() {
    static std::function<void(const Message&)> script;
    return script;
}

}  // namespace

void SetMessageScript(std::function<void(const Message&)> script) {
    ActiveScript() = std::move(script);
}

void ShowMessage(QWidget* parent, const QString& text, const QString& title, MessageIcon icon) {
    if (ActiveScript()) {
        ActiveScript()({text, title, icon});
        return;
    }
    QMessageBox::Icon qtIcon = icon == MessageIcon::Information ? QMessageBox::Information
                               : icon == MessageIcon::Critical  ? QMessageBox::Critical
                                                                : QMessageBox::NoIcon;
    QMessageBox box(qtIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowRunError(QWidget* parent, const RunError& error) {
    ShowMessage(parent, QString::fromLocal8Bit(error.what()), QString::fromUtf8(kProgramTitle),
                MessageIcon::Critical);
}

}  // namespace vagliante::ui
