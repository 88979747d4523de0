#include "app/frm_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "about/frm_about.h"
#include "convert/frm_cnv.h"
#include "filter/filters.h"
#include "ui/busy_run.h"
#include "ui/form.h"
#include "ui/message_box.h"
#include "ui/progress_bar.h"

namespace vagliante {
namespace {

const QString kLogFilter = QStringLiteral("Log file (*.BIN)|*.BIN");
const QString kTextFilter = QStringLiteral("Text file (*.TXT)|*.TXT");

using ui::Make;
using ui::MakeButton;

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(ui::AppIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(ui::FormFont());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(ui::Px(8655), ui::Px(2625));
    setCentralWidget(client);

    Label2 = Make<QLabel>(client, "Label2");
    Label2->setText(QStringLiteral("File .bin sorgente"));
    ui::Place(Label2, 240, 360, 2535, 255);
    Text1 = Make<QLineEdit>(client, "Text1");
    ui::Place(Text1, 240, 600, 5895, 285);
    Command3 = MakeButton(client, "Command3", QStringLiteral("..."));
    ui::Place(Command3, 6120, 600, 255, 255);
    Label4 = Make<QLabel>(client, "Label4");
    Label4->setText(QStringLiteral("File .txt destinazione"));
    ui::Place(Label4, 240, 1080, 2535, 255);
    Text2 = Make<QLineEdit>(client, "Text2");
    ui::Place(Text2, 240, 1320, 5895, 285);
    Command4 = MakeButton(client, "Command4", QStringLiteral("..."));
    ui::Place(Command4, 6120, 1320, 255, 255);
    ProgressBar1 = Make<ui::ProgressBar>(client, "ProgressBar1");
    ui::Place(ProgressBar1, 240, 1920, 5775, 375);
    Command1 = MakeButton(client, "Command1", QStringLiteral("Filtra"));
    ui::Place(Command1, 6840, 480, 1455, 375);
    Command2 = MakeButton(client, "Command2", QStringLiteral("Esci"));
    ui::Place(Command2, 6840, 960, 1455, 375);
    Option1 = Make<QRadioButton>(client, "Option1");
    Option1->setText(QStringLiteral("Aggiornamento"));
    Option1->setChecked(true);
    ui::Place(Option1, 6840, 1560, 1455, 255);
    Option2 = Make<QRadioButton>(client, "Option2");
    Option2->setText(QStringLiteral("Attivazione"));
    ui::Place(Option2, 6840, 1920, 1215, 255);

    // Tab order: Filtra, Esci, the two "...", the options, the two boxes.
    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);
    QWidget::setTabOrder(Command3, Command4);
    QWidget::setTabOrder(Command4, Option1);
    QWidget::setTabOrder(Option1, Option2);
    QWidget::setTabOrder(Option2, Text1);
    QWidget::setTabOrder(Text1, Text2);

    T0 = menuBar()->addMenu(QStringLiteral("T&ools"));
    T0->setObjectName(QStringLiteral("T0"));
    T1 = T0->addAction(QStringLiteral("Conversione &BIN->TXT"));
    T1->setObjectName(QStringLiteral("T1"));
    T2 = T0->addAction(QStringLiteral("Conversione &TXT->BIN"));
    T2->setObjectName(QStringLiteral("T2"));
    INF = menuBar()->addAction(QStringLiteral("&?"));
    INF->setObjectName(QStringLiteral("INF"));

    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmMain::Command4_Click);
    connect(T1, &QAction::triggered, this, &frmMain::T1_Click);
    connect(T2, &QAction::triggered, this, &frmMain::T2_Click);
    connect(INF, &QAction::triggered, this, &frmMain::INF_Click);

    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    Form_Load();
    Command1->setFocus();
}

void frmMain::Form_Load() { ProgressBar1->SetValue(kProgressEmpty); }

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        ui::CentreOnScreen(this);
        Command1->setFocus();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    // A run ends with its message; the window closes only after that.
    if (ui::IsBusy()) event->ignore();
    else event->accept();
}

void frmMain::Command1_Click() {
    if (Option1->isChecked()) FilterUpdate();
    if (Option2->isChecked()) FilterActivation();
}

void frmMain::Command2_Click() { close(); }

void frmMain::Command3_Click() {
    CommonDialog1.SetFileName(QString());
    CommonDialog1.SetDialogTitle(QStringLiteral("Scegli il file sorgente"));
    CommonDialog1.SetFilter(kLogFilter);
    CommonDialog1.SetFilterIndex(1);
    CommonDialog1.ShowOpen(this);
    Text1->setText(CommonDialog1.FileName());
}

void frmMain::Command4_Click() {
    CommonDialog1.SetFileName(QString());
    CommonDialog1.SetDialogTitle(QStringLiteral("Scegli il file destinazione"));
    CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    // A name typed without extension gets ".TXT", so the activation filter's
    // cut of the last four characters never eats letters of the name.
    CommonDialog1.SetDefaultExt(QStringLiteral("TXT"));
    CommonDialog1.ShowSave(this);
    Text2->setText(CommonDialog1.FileName());
}

void frmMain::FilterUpdate() {
    const std::string source = ui::LocalPath(Text1->text());
    const std::string destination = ui::LocalPath(Text2->text());
    ui::RunAndReport(
        this, [&] { vagliante::FilterUpdate(source, destination, *ProgressBar1); },
        QString::fromUtf8(kMsgUpdateDone));
}

void frmMain::FilterActivation() {
    const std::string source = ui::LocalPath(Text1->text());
    const std::string destination = ui::LocalPath(Text2->text());
    ui::RunAndReport(
        this, [&] { vagliante::FilterActivation(source, destination, *ProgressBar1); },
        QString::fromUtf8(kMsgActivationDone));
}

void frmMain::T1_Click() { OpenConversion("B2T"); }
void frmMain::T2_Click() { OpenConversion("T2B"); }

void frmMain::OpenConversion(const char* mode) {
    // Load first, then set the mode, then show: the captions follow the mode
    // when the window is activated.
    frmCnv form;
    form.Chiamatoda = QString::fromLatin1(mode);
    form.exec();
}

void frmMain::INF_Click() {
    frmAbout form;
    form.exec();
}

}  // namespace vagliante
