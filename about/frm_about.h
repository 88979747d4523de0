// frmAbout: title, version and maker; starts the system-information program.
#pragma once

#include <QDialog>

namespace vagliante {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
};

}  // namespace vagliante
