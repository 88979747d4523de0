// frmMain: the main window. It holds the source log and destination paths,
// the choice of filter, "Filtra" and the progress bar the filters drive; its
// menu opens the conversion window and the About window.
#pragma once

#include <QMainWindow>

#include "ui/common_dialog.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace vagliante::ui {
class ProgressBar;
}

namespace vagliante {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Vagliante 1.2.1 - by Quadrivio";

    explicit frmMain(QWidget* parent = nullptr);

    // Controls, named as the handlers and the tests know them.
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command3;
    QLabel* Label4;
    QLineEdit* Text2;
    QPushButton* Command4;
    ui::ProgressBar* ProgressBar1;
    QPushButton* Command1;
    QPushButton* Command2;
    QRadioButton* Option1;
    QRadioButton* Option2;
    ui::CommonDialog CommonDialog1;
    QMenu* T0;
    QAction* T1;
    QAction* T2;
    QAction* INF;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void T1_Click();
    void T2_Click();
    void INF_Click();

    void FilterUpdate();
    void FilterActivation();
    void OpenConversion(const char* mode);

    bool centred_ = false;
};

}  // namespace vagliante
