// The Qt renderer: each window made as its description says (expectations
// derived from the designs), and what the renderer itself does: a run's busy
// look, Enter and Esc, drops, the real file dialogs and message boxes, modal
// windows, the bar. The handlers are tested once, over the fake view.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "about/frm_about.h"
#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "tests/about/fakes.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"
#include "tests/ui/accessible_names.h"
#include "tools/sample_log.h"
#include "ui/qt/look.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/qt_progress_bar.h"
#include "ui/qt/translations.h"
#include "ui/run_session.h"

using vagliante::ui::ControlDesign;
using vagliante::ui::ControlKind;
using vagliante::ui::MessageIcon;
using vagliante::ui::qt::Px;
using vagliante::ui::qt::QtForm;
using vagliante::ui::qt::QtProgressBar;

namespace {

template <typename W>
W* Get(const QtForm* window, std::string_view name) {
    W* control = window->Control<W>(std::string(name).c_str());
    if (!control) qFatal("no control %s", std::string(name).c_str());
    return control;
}

// Whether `widget` is what the description makes for a control of `kind`.
bool IsOfKind(QWidget* widget, ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
            return qobject_cast<QLabel*>(widget);
        case ControlKind::TextBox:
            return qobject_cast<QLineEdit*>(widget);
        case ControlKind::Button:
            return qobject_cast<QPushButton*>(widget);
        case ControlKind::OptionButton:
            return qobject_cast<QRadioButton*>(widget);
        case ControlKind::Frame:
            return qobject_cast<QGroupBox*>(widget);
        case ControlKind::ProgressBar:
            return qobject_cast<QtProgressBar*>(widget);
    }
    return false;
}

// Whether the caption a control shows now is whole inside it.
bool CaptionFits(QWidget* widget) {
    const QFontMetrics metrics(widget->font());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return metrics.horizontalAdvance(label->text()) <= label->width() &&
               metrics.tightBoundingRect(label->text()).height() <= label->height();
    if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        QStyleOptionButton style;
        style.initFrom(option);
        const QRect room =
            option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option);
        return metrics.horizontalAdvance(option->text()) <= room.width();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return metrics.horizontalAdvance(button->text()) < button->width();
    return true;
}

// What assistive technology is told: each control the user reaches and the
// bar by its name (a box by its label's caption as it stands, with the
// label as the box's "labelled by"), with the description of its design;
// each menu bar entry by its name.
void ExpectAccessible(const QtForm* window) {
    const vagliante::ui::FormDesign& design = window->Logic().Design();
    for (const ControlDesign& c : design.controls) {
        if (!vagliante::ui::TakesFocus(c.kind) && c.kind != ControlKind::ProgressBar) continue;
        QAccessibleInterface* control =
            QAccessible::queryAccessibleInterface(Get<QWidget>(window, c.name));
        QVERIFY(control);
        const ControlDesign* label = vagliante::ui::LabelOf(design, c.name);
        const std::string name = label
                                     ? vagliante::test::WithoutAccessKey(window->Text(label->name))
                                     : vagliante::test::AccessibleName(design, c);
        QCOMPARE(control->text(QAccessible::Name).toStdString(), name);
        QCOMPARE(control->text(QAccessible::Description).toStdString(),
                 std::string(c.accessible.description));
        if (label) {
            const auto labels = control->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QCOMPARE(labels.front().first->object(), Get<QObject>(window, label->name));
        }
    }
    QAccessibleInterface* bar =
        QAccessible::queryAccessibleInterface(window->findChild<QMenuBar*>());
    for (int i = 0; i < int(design.menu.size()); ++i) {
        const vagliante::ui::MenuDesign& entry = design.menu[std::size_t(i)];
        QVERIFY(bar);
        QCOMPARE(bar->child(i)->text(QAccessible::Name).toStdString(),
                 vagliante::test::AccessibleName(entry));
        QCOMPARE(bar->child(i)->role(), QAccessible::MenuItem);
    }
}

// Every control of the description where it belongs, of its kind, in its
// font and colour, its caption whole; the tab order, the focus on its first
// control, the menu, the fixed size and the frame of its border.
void ExpectAsDescribed(const QtForm* window) {
    const vagliante::ui::FormDesign& design = window->Logic().Design();
    for (const ControlDesign& c : design.controls) {
        auto* widget = Get<QWidget>(window, c.name);
        const QByteArray name(c.name.data(), qsizetype(c.name.size()));
        QVERIFY2(IsOfKind(widget, c.kind), name);
        QCOMPARE(widget->parentWidget(),
                 c.container.empty() ? window->Client() : Get<QWidget>(window, c.container));
        QCOMPARE(widget->geometry(), QRect(Px(c.left), Px(c.top), Px(c.width), Px(c.height)));
        QVERIFY2(CaptionFits(widget), name);
        if (c.font) {
            QCOMPARE(widget->font().family().toStdString(), std::string(c.font->face));
            QCOMPARE(widget->font().pointSizeF(), c.font->points);
            QCOMPARE(widget->font().bold(), c.font->bold);
            QCOMPARE(widget->palette().color(QPalette::WindowText),
                     QColor(c.colour.red, c.colour.green, c.colour.blue));
        }
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(bool(label->alignment() & Qt::AlignHCenter),
                     c.align == vagliante::ui::Align::Centre);
        if (auto* option = qobject_cast<QRadioButton*>(widget))
            QCOMPARE(option->isChecked(), c.selected);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QVERIFY(!button->isDefault() && !button->autoDefault());  // Enter and Esc press none
        if (auto* bar = qobject_cast<QtProgressBar*>(widget)) QCOMPARE(bar->value(), 0);
    }

    QList<QWidget*> order, chain;
    for (const ControlDesign* c : vagliante::ui::TabOrder(design))
        order << Get<QWidget>(window, c->name);
    QCOMPARE(window->focusWidget(), order.front());
    for (QWidget* w = order.front(); chain.size() < order.size(); w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus) chain << w;
    QCOMPARE(chain, order);

    for (const vagliante::ui::MenuDesign& entry : design.menu) {
        const QString caption = QString::fromUtf8(entry.caption.data(), entry.caption.size());
        if (entry.items.empty()) QCOMPARE(Get<QAction>(window, entry.name)->text(), caption);
        if (!entry.items.empty()) QCOMPARE(Get<QMenu>(window, entry.name)->title(), caption);
        for (const vagliante::ui::MenuItemDesign& item : entry.items)
            QCOMPARE(Get<QAction>(window, item.name)->text(),
                     QString::fromUtf8(item.caption.data(), item.caption.size()));
    }

    ExpectAccessible(window);

    QCOMPARE(window->Client()->size(), QSize(Px(design.width), Px(design.height)));
    QCOMPARE(window->minimumSize(), window->maximumSize());  // the user cannot resize it
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    const Qt::WindowType type = design.border == vagliante::ui::Border::FixedSingle ? Qt::Window
                                : design.border == vagliante::ui::Border::FixedToolWindow
                                    ? Qt::Tool
                                    : Qt::Dialog;
    QCOMPARE(window->windowType(), type);
    QCOMPARE(window->windowIcon().isNull(), !design.icon);
}

// A drag that enters `target`, then drops there, as a file manager's does.
void Drop(QWidget* target, QPoint at, const QList<QUrl>& urls, const QString& text = {}) {
    QMimeData data;
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

}  // namespace

class tst_QtForms : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowsAsDescribed_data();
    void windowsAsDescribed();
    void aRunLooksBusyThenAllIsAsBefore();
    void theCloseBoxDuringARunStopsItThenCloses();
    void enterPressesTheFocusedButtonOnceEscNothing();
    void aFileDroppedFillsTheBoxUnderItElseTheSource();
    void aLogNamedOnTheCommandLineIsAFullPathOrAnAddress();
    void fileDialogsSpeakItalianOpenWhereTheUserWorksAndAskNothing();
    void theCompletionMessageHoldsTheSummaryAsDetails();
    void theMenuOpensTheConversionWindowModallyInItsMode();
    void theBarCoversTheWholeRunReplacingIncluded();

  private:
    // The main window, made and shown as the program does.
    void OpenMain();
    QWidget* Main(std::string_view control) const { return Get<QWidget>(main_.get(), control); }
    QLineEdit* Box(std::string_view name) const { return Get<QLineEdit>(main_.get(), name); }
    QPushButton* Button(std::string_view name) const { return Get<QPushButton>(main_.get(), name); }
    QString Path(const char* name) const { return QString::fromStdString(dir_->File(name)); }
    // Runs `during` from within the run that `act` starts; fails if none
    // starts.
    void DuringRun(const std::function<void()>& act, const std::function<void()>& during);

    std::unique_ptr<vagliante::frmMain> form_;
    std::unique_ptr<QtForm> main_;
    std::unique_ptr<vagliante::test::ScriptedUser> user_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

void tst_QtForms::initTestCase() {
    // As the program does at its start.
    QVERIFY(vagliante::ui::qt::InstallItalianTranslation(*QCoreApplication::instance()));
}

void tst_QtForms::init() {
    dir_ = std::make_unique<vagliante::test::TempDir>();
    user_ = std::make_unique<vagliante::test::ScriptedUser>();
}

void tst_QtForms::cleanup() {
    main_.reset();
    form_.reset();
    user_.reset();
    dir_.reset();
}

void tst_QtForms::OpenMain() {
    form_ = std::make_unique<vagliante::frmMain>();
    main_ = QtForm::Create(*form_);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
}

void tst_QtForms::DuringRun(const std::function<void()>& act, const std::function<void()>& during) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        QVERIFY2(vagliante::ui::RunSession::Busy(), "the run had ended before the test looked");
        ran = true;
        during();
    });
    act();
    QVERIFY(ran);
}

void tst_QtForms::windowsAsDescribed_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("frmMain") << 0;
    QTest::newRow("frmCnv-B2T") << 1;
    QTest::newRow("frmCnv-T2B") << 2;
    QTest::newRow("frm_about") << 3;
}

void tst_QtForms::windowsAsDescribed() {
    QFETCH(int, which);
    vagliante::test::FakeRegistry registry;
    vagliante::test::FakeLauncher launcher;
    std::unique_ptr<vagliante::ui::Form> form;
    const vagliante::ConversionMode* mode = which == 1   ? &vagliante::kBinToTxt
                                            : which == 2 ? &vagliante::kTxtToBin
                                                         : nullptr;
    if (which == 0) form = std::make_unique<vagliante::frmMain>();
    if (mode) form = std::make_unique<vagliante::frmCnv>();
    if (which == 3) form = std::make_unique<vagliante::frmAbout>(registry, launcher);
    // As the main window opens the conversion window: load, set the mode, show.
    std::unique_ptr<QtForm> window = QtForm::Create(*form);
    if (mode) static_cast<vagliante::frmCnv&>(*form).Chiamatoda = mode;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    ExpectAsDescribed(window.get());
    // The focus shown from the start, before any key: the style draws it.
    QStyleOption focus;
    focus.initFrom(window->focusWidget());
    QVERIFY(focus.state.testFlag(QStyle::State_HasFocus));
    QVERIFY(focus.state.testFlag(QStyle::State_KeyboardFocusChange));
    if (QTest::currentTestFailed()) return;
    if (mode) {  // shown: activated, in the captions of its mode
        QCOMPARE(window->Title(), std::string(mode->title));
        QCOMPARE(window->Text("Label2"), std::string(mode->sourceCaption));
        QCOMPARE(window->Text("Label4"), std::string(mode->destinationCaption));
        window->SetText("Text1", std::string("/home/utente/log/centrale-") +
                                     (mode == &vagliante::kBinToTxt ? "B2T" : "T2B") + ".dat");
    }
    if (which == 0) {
        // The drawn icon, at the title bar's 32 by 32 among its sizes.
        QVERIFY(window->windowIcon().availableSizes().contains(QSize(32, 32)));
        QCOMPARE(window->windowIcon().pixmap(32, 32).toImage().pixelColor(16, 2),
                 QColor(0, 70, 140));
    }
    vagliante::test::SaveScreenshot(window.get(), QTest::currentDataTag());
}

void tst_QtForms::aRunLooksBusyThenAllIsAsBefore() {
    OpenMain();
    vagliante::samples::Rng rng(3);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::RandomLog(64 << 20, rng));
    Box("Text1")->setText(Path("LOG.BIN"));
    Box("Text2")->setText(Path("OUT.TXT"));
    Button("Command1")->setFocus();
    const std::vector<const char*> disabled = {"Command1", "Command3", "Command4", "Text1",
                                               "Text2",    "Option1",  "Option2"};
    DuringRun([&] { QTest::keyClick(Button("Command1"), Qt::Key_Return); },
              [&] {
                  for (const char* name : disabled) QVERIFY2(!Main(name)->isEnabled(), name);
                  QVERIFY(!main_->findChild<QMenuBar*>()->isEnabled());
                  QVERIFY(Main("Command2")->isEnabled() && Main("Label2")->isEnabled());
                  QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
                  vagliante::test::SaveScreenshot(main_.get(), "frmMain-busy");
                  // No control holds the focus: a key held down after the
                  // Enter that started the run cannot reach Esci.
                  QWidget* focus = QApplication::focusWidget();
                  QVERIFY(!qobject_cast<QPushButton*>(focus));
                  QTest::keyClick(focus ? focus : main_.get(), Qt::Key_Return);
                  QTest::keyClick(focus ? focus : main_.get(), Qt::Key_Space);
                  Drop(Box("Text1"), QPoint(2, 2), {QUrl::fromLocalFile("/logs/ALTRO.BIN")});
                  Drop(main_.get(), QPoint(2, 2), {QUrl::fromLocalFile("/logs/ALTRO.BIN")});
                  QCOMPARE(Box("Text1")->text(), Path("LOG.BIN"));
              });
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("File creato con successo"));
    for (const char* name : disabled) QVERIFY2(Main(name)->isEnabled(), name);
    QVERIFY(main_->findChild<QMenuBar*>()->isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(QApplication::focusWidget(), Main("Command1"));  // as before the run
    QVERIFY(main_->isVisible());
}

void tst_QtForms::theCloseBoxDuringARunStopsItThenCloses() {
    vagliante::test::WriteFile(dir_->File("in.BIN"), std::string(128 << 20, '\x01'));
    vagliante::test::WriteFile(dir_->File("out.TXT"), "old");
    vagliante::frmCnv form;
    std::unique_ptr<QtForm> window = QtForm::Create(form);
    form.Chiamatoda = &vagliante::kBinToTxt;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->SetText("Text1", dir_->File("in.BIN"));
    window->SetText("Text2", dir_->File("out.TXT"));
    DuringRun([&] { Get<QPushButton>(window.get(), "Command1")->click(); },
              [&] {
                  window->close();               // the close box, Alt+F4
                  QVERIFY(window->isVisible());  // until the run has unwound
              });
    QVERIFY(user_->messages.empty());
    QVERIFY(!window->isVisible());
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("old"));
    QCOMPARE(dir_->List(), (std::vector<std::string>{"in.BIN", "out.TXT"}));
}

void tst_QtForms::enterPressesTheFocusedButtonOnceEscNothing() {
    OpenMain();
    // Enter on "..." opens its dialog; held down, it opens it once.
    QTest::keyClick(Button("Command3"), Qt::Key_Return);
    QCOMPARE(user_->requests.size(), size_t{1});
    QTest::keyClick(Button("Command4"), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(user_->requests.size(), size_t{2});
    QTest::keyEvent(QTest::Press, Button("Command3"), Qt::Key_Return, Qt::NoModifier, -1);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString("\r"), true);
    QApplication::sendEvent(Button("Command3"), &repeat);
    QCOMPARE(user_->requests.size(), size_t{3});
    // Enter in a box, and Esc, press nothing: there is no default button.
    QTest::keyClick(Box("Text1"), Qt::Key_Return);
    QTest::keyClick(main_.get(), Qt::Key_Escape);
    QCOMPARE(user_->requests.size(), size_t{3});
    QVERIFY(user_->messages.empty());
    // Space still presses a button; Enter on "Filtra" runs the filter.
    QTest::keyClick(Button("Command1"), Qt::Key_Space);
    QTest::keyClick(Button("Command1"), Qt::Key_Return);
    QCOMPARE(user_->messages.size(), size_t{2});

    // Esc closes neither the conversion window nor the About window.
    vagliante::frmCnv cnv;
    vagliante::test::FakeRegistry registry;
    vagliante::test::FakeLauncher launcher;
    vagliante::frmAbout about(registry, launcher);
    for (vagliante::ui::Form* form :
         {static_cast<vagliante::ui::Form*>(&cnv), static_cast<vagliante::ui::Form*>(&about)}) {
        std::unique_ptr<QtForm> window = QtForm::Create(*form);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->isVisible());
    }

    // Enter on "Esci" ends the program.
    QTest::keyClick(Button("Command2"), Qt::Key_Return);
    QVERIFY(!main_->isVisible());
}

void tst_QtForms::aFileDroppedFillsTheBoxUnderItElseTheSource() {
    OpenMain();
    QVERIFY(main_->acceptDrops());
    Drop(Box("Text2"), QPoint(5, 5), {QUrl::fromLocalFile("/logs/città/OUT.TXT")});
    QCOMPARE(Box("Text2")->text(), QString("/logs/città/OUT.TXT"));  // the path, not file:///
    QVERIFY(Box("Text1")->text().isEmpty());

    // Anywhere else on the window: the source box.
    for (const char* elsewhere : {"Command1", "Label4", "ProgressBar1"}) {
        Box("Text1")->clear();
        const QPoint at = Main(elsewhere)->mapTo(main_.get(), Main(elsewhere)->rect().center());
        Drop(main_.get(), at,
             {QUrl("https://example.com/x.BIN"), QUrl::fromLocalFile("/logs/LOG 1.BIN")});
        QCOMPARE(Box("Text1")->text(), QString("/logs/LOG 1.BIN"));
    }
    QCOMPARE(Box("Text2")->text(), QString("/logs/città/OUT.TXT"));

    // An address of another machine fills nothing; text dragged from an
    // editor is still the box's own affair.
    Box("Text1")->clear();
    Drop(main_.get(), Main("Command1")->mapTo(main_.get(), QPoint(2, 2)),
         {QUrl("https://example.com/x.BIN")});
    QVERIFY(Box("Text1")->text().isEmpty());
    Drop(Box("Text1"), QPoint(2, 2), {}, "/logs/scritto.BIN");
    QCOMPARE(Box("Text1")->text(), QString("/logs/scritto.BIN"));
    QVERIFY(user_->requests.empty() && user_->messages.empty());
}

void tst_QtForms::aLogNamedOnTheCommandLineIsAFullPathOrAnAddress() {
    using vagliante::ui::qt::FileArgument;
    QCOMPARE(FileArgument({"vagliante"}), QString());
    QCOMPARE(FileArgument({"vagliante", "/logs/LOG.BIN"}), QString("/logs/LOG.BIN"));
    QCOMPARE(FileArgument({"vagliante", "LOG.BIN"}), QDir::current().absoluteFilePath("LOG.BIN"));
    QCOMPARE(FileArgument({"vagliante", "--help", "file:///logs/LOG%201.BIN", "/altro"}),
             QString("file:///logs/LOG%201.BIN"));  // the window's drop reads it
}

// Runs `inside` on the first modal dialog that `act` opens (a run may come
// first); a dialog left open is cancelled.
static void WithDialog(const std::function<void()>& act,
                       const std::function<void(QWidget* dialog)>& inside) {
    bool seen = false;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (waited.elapsed() > 60000) poll.stop();
            return;
        }
        poll.stop();
        seen = true;
        inside(dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    poll.start(10);
    act();
    QVERIFY(seen);
}

void tst_QtForms::fileDialogsSpeakItalianOpenWhereTheUserWorksAndAskNothing() {
    OpenMain();
    user_.reset();  // the real dialogs
    QDir().mkpath(Path("logs"));
    Box("Text1")->setText(Path("logs/LOG.BIN"));
    WithDialog([&] { Button("Command3")->click(); },
               [&](QWidget* widget) {
                   auto* dialog = qobject_cast<QFileDialog*>(widget);
                   QVERIFY(dialog);
                   QCOMPARE(dialog->windowTitle(), QString("Scegli il file sorgente"));
                   QCOMPARE(dialog->labelText(QFileDialog::LookIn), QString("Cerca in:"));
                   QCOMPARE(dialog->labelText(QFileDialog::Accept), QString("&Apri"));
                   QCOMPARE(dialog->labelText(QFileDialog::Reject), QString("Annulla"));
                   QCOMPARE(dialog->labelText(QFileDialog::FileType), QString("File di tipo:"));
                   QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
                   QCOMPARE(QDir(dialog->directory()).absolutePath(), Path("logs"));
                   QVERIFY(dialog->selectedFiles().isEmpty() ||
                           QFileInfo(dialog->selectedFiles().first()).isDir());
               });
    QVERIFY(Box("Text1")->text().isEmpty());  // cancelled

    // A name typed without extension gets the filter's; an existing report
    // is replaced only by a run, without a question.
    vagliante::test::WriteFile(dir_->File("logs/RAPPORTO.TXT"), "old");
    Box("Text1")->setText(Path("logs/LOG.BIN"));
    bool asked = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->reject();
        }
    });
    guard.start(20);
    WithDialog([&] { Button("Command4")->click(); },
               [&](QWidget* widget) {
                   auto* dialog = qobject_cast<QFileDialog*>(widget);
                   QVERIFY(dialog);
                   QCOMPARE(dialog->labelText(QFileDialog::Accept), QString("&Salva"));
                   // An empty destination: the source's folder.
                   QCOMPARE(QDir(dialog->directory()).absolutePath(), Path("logs"));
                   dialog->findChild<QLineEdit*>("fileNameEdit")->setText("RAPPORTO");
                   static_cast<QDialog*>(dialog)->accept();  // as the button does
               });
    QVERIFY(!asked);
    QCOMPARE(Box("Text2")->text(), Path("logs/RAPPORTO.TXT"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("logs/RAPPORTO.TXT")), std::string("old"));

    // The buttons of the message boxes.
    QMessageBox box(QMessageBox::Information, "Messaggio", "x",
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annulla"));
}

void tst_QtForms::theCompletionMessageHoldsTheSummaryAsDetails() {
    OpenMain();
    user_.reset();  // the real message box
    vagliante::samples::Rng rng(11);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::MixedCatalogue(rng));
    Box("Text1")->setText(Path("LOG.BIN"));
    Box("Text2")->setText(Path("OUT.TXT"));
    WithDialog([&] { Button("Command1")->click(); },
               [&](QWidget* widget) {
                   auto* box = qobject_cast<QMessageBox*>(widget);
                   QVERIFY(box);
                   QCOMPARE(box->windowTitle(), QString("Messaggio"));
                   QCOMPARE(box->text(), QString("File creato con successo"));
                   QCOMPARE(box->icon(), QMessageBox::Information);
                   QVERIFY2(box->detailedText().startsWith("Record nel log: "),
                            qPrintable(box->detailedText()));
                   QVERIFY(box->detailedText().contains("Righe scritte in " + Path("OUT.TXT")));
                   QVERIFY(!box->detailedText().endsWith('\n'));
                   // The button that opens them, in Italian.
                   bool italian = false;
                   for (QAbstractButton* button : box->buttons())
                       italian |= button->text().startsWith("Mostra dettagli");
                   QVERIFY(italian);
                   box->accept();
               });
    QVERIFY(QFileInfo::exists(Path("OUT.TXT")));
}

void tst_QtForms::theMenuOpensTheConversionWindowModallyInItsMode() {
    OpenMain();
    for (auto [item, mode] :
         {std::pair{"T1", &vagliante::kBinToTxt}, std::pair{"T2", &vagliante::kTxtToBin}}) {
        QString title;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<QtForm*>(QApplication::activeModalWidget());
            QVERIFY(window);
            title = window->windowTitle();
            modal = window->isModal() &&
                    window->windowHandle()->transientParent() == main_->windowHandle();
            Get<QPushButton>(window, "Command2")->click();
        });
        Get<QAction>(main_.get(), item)->trigger();
        QCOMPARE(title.toStdString(), std::string(mode->title));
        QVERIFY(modal);
    }
    QCOMPARE(main_->windowTitle(), QString(vagliante::frmMain::kTitle));
}

void tst_QtForms::theBarCoversTheWholeRunReplacingIncluded() {
    OpenMain();
    vagliante::samples::Rng rng(5);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::RandomLog(32 << 20, rng));
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        vagliante::test::WriteFile(dir_->File(name), std::string(64 << 20, 'x'));
    Box("Text1")->setText(Path("LOG.BIN"));
    Box("Text2")->setText(Path("OUT.TXT"));
    Get<QRadioButton>(main_.get(), "Option2")->click();
    QList<int> drawn;
    connect(Get<QtProgressBar>(main_.get(), "ProgressBar1"), &QProgressBar::valueChanged,
            [&](int value) { drawn << value; });
    Button("Command1")->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("Files creati con successo"));
    // Up to full, never back, then empty once the reports are in place.
    QVERIFY(drawn.size() > 3);
    QCOMPARE(drawn.last(), 0);
    QCOMPARE(drawn[drawn.size() - 2], vagliante::ui::ProgressBar::kSteps);
    for (qsizetype i = 1; i + 1 < drawn.size(); ++i)
        QVERIFY2(drawn[i] > drawn[i - 1],
                 qPrintable(QString("drawn %1 after %2").arg(drawn[i]).arg(drawn[i - 1])));
}

QTEST_MAIN(tst_QtForms)
#include "tst_qt_forms.moc"
