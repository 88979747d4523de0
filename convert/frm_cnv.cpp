#include "convert/frm_cnv.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "convert/convert.h"
#include "ui/busy_run.h"
#include "ui/form.h"
#include "ui/progress_bar.h"

namespace vagliante {
namespace {

const QString kLogFilter = QStringLiteral("Log file (*.BIN)|*.BIN");
const QString kTextFilter = QStringLiteral("Text file (*.TXT)|*.TXT");
const QString kBinToTxt = QStringLiteral("B2T");
const QString kTxtToBin = QStringLiteral("T2B");

using ui::Make;
using ui::MakeButton;

}  // namespace

frmCnv::frmCnv(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCnv"));
    setWindowTitle(QStringLiteral("Conversione"));
    setWindowIcon(ui::AppIcon());
    // A fixed tool window: narrow title bar, close box only, not in the task bar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ui::FormFont());
    setFixedSize(ui::Px(7275), ui::Px(2625));

    Label2 = Make<QLabel>(this, "Label2");
    Label2->setText(QStringLiteral("File sorgente"));
    ui::Place(Label2, 240, 360, 2535, 255);
    Text1 = Make<QLineEdit>(this, "Text1");
    ui::Place(Text1, 240, 600, 4695, 285);
    Command3 = MakeButton(this, "Command3", QStringLiteral("..."));
    ui::Place(Command3, 4920, 600, 255, 255);
    Label4 = Make<QLabel>(this, "Label4");
    Label4->setText(QStringLiteral("File destinazione"));
    ui::Place(Label4, 240, 1080, 2535, 255);
    Text2 = Make<QLineEdit>(this, "Text2");
    ui::Place(Text2, 240, 1320, 4695, 285);
    Command4 = MakeButton(this, "Command4", QStringLiteral("..."));
    ui::Place(Command4, 4920, 1320, 255, 255);
    ProgressBar1 = Make<ui::ProgressBar>(this, "ProgressBar1");
    ui::Place(ProgressBar1, 240, 1920, 4695, 375);
    Command1 = MakeButton(this, "Command1", QStringLiteral("Converti"));
    ui::Place(Command1, 5520, 480, 1455, 375);
    Command2 = MakeButton(this, "Command2", QStringLiteral("Esci"));
    ui::Place(Command2, 5520, 960, 1455, 375);

    // Tab order: Converti, Esci, the two "...", the two boxes.
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);
    QWidget::setTabOrder(Command3, Command4);
    QWidget::setTabOrder(Command4, Text1);
    QWidget::setTabOrder(Text1, Text2);

    connect(Command1, &QPushButton::clicked, this, &frmCnv::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmCnv::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmCnv::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmCnv::Command4_Click);

    Form_Load();
    Command1->setFocus();
}

void frmCnv::Form_Load() { ProgressBar1->SetValue(kProgressEmpty); }

void frmCnv::Form_Activate() {
    if (Chiamatoda == kBinToTxt) {
        setWindowTitle(QStringLiteral("Conversione BIN->TXT"));
        Label2->setText(QStringLiteral("File BIN sorgente"));
        Label4->setText(QStringLiteral("File TXT destinazione"));
    }
    if (Chiamatoda == kTxtToBin) {
        setWindowTitle(QStringLiteral("Conversione TXT->BIN"));
        Label2->setText(QStringLiteral("File TXT sorgente"));
        Label4->setText(QStringLiteral("File BIN destinazione"));
    }
}

bool frmCnv::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    return QDialog::event(event);
}

void frmCnv::showEvent(QShowEvent* event) {
    // Some platforms (offscreen among them) deliver no activation to a new
    // window, so the captions are applied on the first showing as well.
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        Form_Activate();
        ui::CentreOnScreen(this);
        Command1->setFocus();
    }
}

void frmCnv::closeEvent(QCloseEvent* event) {
    // A running conversion ends with its message; the window closes after that.
    if (ui::IsBusy())
        event->ignore();
    else
        event->accept();
}

void frmCnv::keyPressEvent(QKeyEvent* event) {
    // Esc does not close the window: only "Esci" and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmCnv::Command1_Click() {
    if (Chiamatoda == kBinToTxt) ConvertBinToTxt();
    if (Chiamatoda == kTxtToBin) ConvertTxtToBin();
}

void frmCnv::Command2_Click() { close(); }

void frmCnv::Command3_Click() {
    CommonDialog1.SetFileName(QString());
    CommonDialog1.SetDialogTitle(QStringLiteral("Scegli il file sorgente"));
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    CommonDialog1.ShowOpen(this);
    Text1->setText(CommonDialog1.FileName());
}

void frmCnv::Command4_Click() {
    CommonDialog1.SetFileName(QString());
    CommonDialog1.SetDialogTitle(QStringLiteral("Scegli il file destinazione"));
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    CommonDialog1.ShowSave(this);
    Text2->setText(CommonDialog1.FileName());
}

void frmCnv::ConvertBinToTxt() {
    const std::string source = ui::LocalPath(Text1->text());
    const std::string destination = ui::LocalPath(Text2->text());
    ui::RunAndReport(
        this, [&] { vagliante::ConvertBinToTxt(source, destination, *ProgressBar1); },
        QString::fromUtf8(kMsgConversionDone));
}

void frmCnv::ConvertTxtToBin() {
    const std::string source = ui::LocalPath(Text1->text());
    const std::string destination = ui::LocalPath(Text2->text());
    ui::RunAndReport(
        this, [&] { vagliante::ConvertTxtToBin(source, destination, *ProgressBar1); },
        QString::fromUtf8(kMsgConversionDone));
}

}  // namespace vagliante
