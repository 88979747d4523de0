// frmCnv: the conversion window, in mode "B2T" or "T2B".
#pragma once

#include <QDialog>
#include <QString>

namespace vagliante {

class frmCnv : public QDialog {
    Q_OBJECT
public:
    explicit frmCnv(QWidget* parent = nullptr);

    // The mode, set by the main window between loading and showing.
    QString Chiamatoda;
};

}  // namespace vagliante
