#include "about/frm_about.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "about/sys_info.h"
#include "platform/program_info.h"
#include "ui/form.h"
#include "ui/message_box.h"

namespace vagliante {
namespace {

using ui::Make;
using ui::MakeButton;

// A centred label of the frame. "MS Sans Serif" is asked for by name; where
// it is missing the system's fallback keeps the size and weight.
QLabel* MakeLabel(QWidget* frame, const char* name, int top, double points, bool bold,
                  const QColor& colour) {
    auto* label = Make<QLabel>(frame, name);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(points);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignCenter);
    ui::Place(label, 150, top, 3360, 255);
    return label;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent) : frmAbout(SystemRegistry(), SystemLauncher(), parent) {}

frmAbout::frmAbout(Registry& registry, Launcher& launcher, QWidget* parent)
    : QDialog(parent), registry_(registry), launcher_(launcher) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(ui::FormFont());
    setFixedSize(ui::Px(5355), ui::Px(2070));

    cmdOK = MakeButton(this, "cmdOK", QStringLiteral("&Ok"));
    ui::Place(cmdOK, 3960, 180, 1245, 345);
    cmdSysInfo = MakeButton(this, "cmdSysInfo", QStringLiteral("&System Info..."));
    ui::Place(cmdSysInfo, 3960, 600, 1245, 345);
    Frame1 = Make<QGroupBox>(this, "Frame1");
    ui::Place(Frame1, 120, 60, 3675, 1875);

    // Top to bottom: title, version, "prodotto da", maker, web address.
    const QColor red(255, 0, 0);
    const QColor black(0, 0, 0);
    lblTitle = MakeLabel(Frame1, "lblTitle", 240, 9.75, true, red);
    lblVersion = MakeLabel(Frame1, "lblVersion", 540, 9.75, true, red);
    Label2 = MakeLabel(Frame1, "Label2", 900, 9.75, false, black);
    Label2->setText(QStringLiteral("prodotto da"));
    lblDescription = MakeLabel(Frame1, "lblDescription", 1140, 12, true, black);
    lblDescription->setText(QStringLiteral("Quadrivio"));
    Label1 = MakeLabel(Frame1, "Label1", 1440, 9.75, false, black);
    Label1->setText(QStringLiteral("www.quadrivio.example"));

    QWidget::setTabOrder(cmdOK, cmdSysInfo);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    Form_Load();
    cmdOK->setFocus();
}

void frmAbout::Form_Load() {
    setWindowTitle(QString::fromUtf8(AboutWindowTitle()));
    lblVersion->setText(QString::fromUtf8(AboutVersionText()));
    lblTitle->setText(QString::fromUtf8(AboutProgramTitle()));
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::StartSysInfo() {
    if (vagliante::StartSysInfo(registry_, launcher_) == SysInfoOutcome::Unavailable) {
        ui::ShowMessage(this, QString::fromUtf8(kSysInfoUnavailable),
                        QString::fromUtf8(kProgramTitle), ui::MessageIcon::None);
    }
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc does not close the window: only "&Ok" and the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::showEvent(QShowEvent* event) {
    // Owned by the window it was opened from, so that it gets no task bar
    // entry of its own.
    if (!parentWidget() && windowHandle() && !windowHandle()->transientParent()) {
        QWidget* opener = QApplication::activeWindow();
        if (opener && opener != this) windowHandle()->setTransientParent(opener->windowHandle());
    }
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        ui::CentreOnScreen(this);
        cmdOK->setFocus();
    }
}

}  // namespace vagliante
