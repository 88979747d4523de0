#include <QApplication>

#include "app/frm_main.h"
#include "platform/program_info.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(vagliante::kProgramTitle));
    vagliante::frmMain window;
    window.show();
    return QApplication::exec();
}
