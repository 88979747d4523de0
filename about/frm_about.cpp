#include "about/frm_about.h"

namespace vagliante {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Informazioni su VAGLIANTE"));
}

}  // namespace vagliante
