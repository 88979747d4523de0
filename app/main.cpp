#include <QApplication>

#include "app/frm_main.h"
#include "platform/program_info.h"
#include "platform/stop.h"
#include "ui/qt/qt_form.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    vagliante::StopOnSignals();  // a signal stops a run as its window would, then ends the program
    QApplication::setApplicationName(QString::fromLatin1(vagliante::kProgramTitle));
    vagliante::frmMain form;
    auto window = vagliante::ui::qt::QtForm::Create(form);
    window->show();
    return QApplication::exec();
}
