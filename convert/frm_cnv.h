// frmCnv: the conversion window, in mode "B2T" (binary to text) or "T2B"
// (text to binary). It collects the two paths and starts the conversion of
// its mode; the conversions themselves live in convert/convert.h.
#pragma once

#include <QDialog>
#include <QString>

#include "ui/common_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vagliante::ui {
class ProgressBar;
}

namespace vagliante {

class frmCnv : public QDialog {
    Q_OBJECT
  public:
    explicit frmCnv(QWidget* parent = nullptr);

    // The mode, set by the main window between loading and showing.
    QString Chiamatoda;

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
    ui::CommonDialog CommonDialog1;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Form_Load();
    void Form_Activate();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    void ConvertBinToTxt();
    void ConvertTxtToBin();

    bool shown_ = false;
};

}  // namespace vagliante
