#include "convert/frm_cnv.h"

namespace vagliante {

frmCnv::frmCnv(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCnv"));
    setWindowTitle(QStringLiteral("Conversione"));
}

}  // namespace vagliante
