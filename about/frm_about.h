// frmAbout: the program's title, version and maker; starts the system-
// information program.
#pragma once

#include <QDialog>

#include "about/registry.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace vagliante {

class frmAbout : public QDialog {
    Q_OBJECT
  public:
    // Over this platform's registry and launcher.
    explicit frmAbout(QWidget* parent = nullptr);
    frmAbout(Registry& registry, Launcher& launcher, QWidget* parent = nullptr);

    // Starts the system-information program, or says that there is none.
    void StartSysInfo();

    // Controls, named as the handlers and the tests know them.
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
    QGroupBox* Frame1;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* Label2;
    QLabel* lblDescription;
    QLabel* Label1;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Form_Load();
    void cmdOK_Click();

    Registry& registry_;
    Launcher& launcher_;
    bool centred_ = false;
};

}  // namespace vagliante
