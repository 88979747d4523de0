#include <QApplication>

#include "app/frm_main.h"
#include "platform/program_info.h"
#include "platform/stop.h"
#include "ui/qt/look.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/translations.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    vagliante::StopOnSignals();  // a signal stops a run as its window would, then ends the program
    QApplication::setApplicationName(QString::fromLatin1(vagliante::kProgramTitle));
    vagliante::ui::qt::InstallItalianTranslation(app);
    vagliante::frmMain form;
    auto window = vagliante::ui::qt::QtForm::Create(form);
    // A log named at the start is as one dropped on the window.
    const QString log = vagliante::ui::qt::FileArgument(QApplication::arguments());
    if (!log.isEmpty()) form.FileDropped({}, vagliante::ui::qt::FromQt(log));
    window->show();
    return QApplication::exec();
}
