#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
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

#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"
#include "ui/qt/look.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/qt_progress_bar.h"
#include "ui/qt/translations.h"
#include "ui/run_session.h"

using vagliante::frmMain;
using vagliante::ui::CommonDialog;
using vagliante::ui::MessageIcon;
using vagliante::ui::qt::QtForm;
using vagliante::ui::qt::QtProgressBar;

class tst_frmMain : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void initialState();
    void controlsStandWhereTheyBelong();
    void sourceDialogIsPreparedAndCancelEmptiesTheBox();
    void destinationDialogIsPreparedAndCancelEmptiesTheBox();
    void filtraRunsOnlyTheSelectedFilter();
    void missingSourceShowsAnErrorAndTheWindowGoesOn();
    void filtraWritesTheReportsOfEachFilter();
    void aFailedRunKeepsTheExistingReport();
    void menuOpensTheConversionWindowWithItsMode();
    void fileDialogsSpeakItalianAndOpenWhereTheUserWorks();
    void saveDialogAsksNothingAndAddsTxt();
    void aFileDroppedFillsTheBoxUnderItElseTheSource();
    void aLogNamedOnTheCommandLineIsAFullPath();
    void aPathPastedInQuotesIsUsedWithoutThem();
    void anEmptyBoxIsNamedInItsMessage();
    void enterPressesTheFocusedButtonOnce();
    void aRunLooksBusyThenAllIsAsBefore();
    void esciDuringARunStopsItAndCloses();
    void theBarCoversTheWholeRunReplacingIncluded();
    void anAccentedLogNameIsUpperCasedInTheHeader();
    void theCompletionMessageHoldsTheSummaryAsDetails();
    void screenshot();

  private:
    template <typename W>
    W* Get(const char* name) const {
        W* control = window_->Control<W>(name);
        if (!control) qFatal("no control %s", name);
        return control;
    }
    QLabel* Label2() const { return Get<QLabel>("Label2"); }
    QLineEdit* Text1() const { return Get<QLineEdit>("Text1"); }
    QPushButton* Command3() const { return Get<QPushButton>("Command3"); }
    QLabel* Label4() const { return Get<QLabel>("Label4"); }
    QLineEdit* Text2() const { return Get<QLineEdit>("Text2"); }
    QPushButton* Command4() const { return Get<QPushButton>("Command4"); }
    QtProgressBar* ProgressBar1() const { return Get<QtProgressBar>("ProgressBar1"); }
    QPushButton* Command1() const { return Get<QPushButton>("Command1"); }
    QPushButton* Command2() const { return Get<QPushButton>("Command2"); }
    QRadioButton* Option1() const { return Get<QRadioButton>("Option1"); }
    QRadioButton* Option2() const { return Get<QRadioButton>("Option2"); }
    QMenu* T0() const { return Get<QMenu>("T0"); }
    QAction* T1() const { return Get<QAction>("T1"); }
    QAction* T2() const { return Get<QAction>("T2"); }
    QAction* INF() const { return Get<QAction>("INF"); }

    QString Path(const char* name) const { return QString::fromStdString(dir_->File(name)); }
    // Runs `during` once a run has started, from within it; fails if none
    // starts. Returns what `act` (which starts the run) left.
    void DuringRun(const std::function<void()>& act, const std::function<void()>& during);
    // The controls disabled for a run, and those that stay live.
    void ExpectBusyLook(bool busy);

    std::unique_ptr<frmMain> form_;
    std::unique_ptr<QtForm> window_;
    std::unique_ptr<vagliante::test::ScriptedUser> user_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

void tst_frmMain::initTestCase() {
    // As the program does at its start.
    QVERIFY(vagliante::ui::qt::InstallItalianTranslation(*QCoreApplication::instance()));
}

void tst_frmMain::init() {
    dir_ = std::make_unique<vagliante::test::TempDir>();
    user_ = std::make_unique<vagliante::test::ScriptedUser>();
    form_ = std::make_unique<frmMain>();
    window_ = QtForm::Create(*form_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void tst_frmMain::cleanup() {
    window_.reset();
    form_.reset();
    user_.reset();
    dir_.reset();
}

void tst_frmMain::initialState() {
    QCOMPARE(window_->windowTitle(), QString("Vagliante 1.2.1 - by Quadrivio"));
    QVERIFY(Option1()->isChecked());
    QVERIFY(!Option2()->isChecked());
    QCOMPARE(Option1()->text(), QString("Aggiornamento"));
    QCOMPARE(Option2()->text(), QString("Attivazione"));
    QCOMPARE(window_->focusWidget(), Command1());
    QCOMPARE(ProgressBar1()->Model().Value(), 0.001);
    QCOMPARE(ProgressBar1()->Model().Min(), 0.0001);
    QCOMPARE(ProgressBar1()->value(), 0);
    QVERIFY(Text1()->text().isEmpty());
    QVERIFY(Text2()->text().isEmpty());
    QCOMPARE(Command1()->text(), QString("Filtra"));
    QCOMPARE(Command2()->text(), QString("Esci"));
    QVERIFY(!Command1()->isDefault() && !Command1()->autoDefault());
    QCOMPARE(T0()->title(), QString("T&ools"));
    QCOMPARE(T1()->text(), QString("Conversione &BIN->TXT"));
    QCOMPARE(T2()->text(), QString("Conversione &TXT->BIN"));
    QCOMPARE(INF()->text(), QString("&?"));
    QCOMPARE(window_->findChild<QLineEdit*>("Text1"), Text1());
    // The drawn icon, at the window's 32 by 32 among its sizes.
    QVERIFY(window_->windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(window_->windowIcon().pixmap(32, 32).toImage().pixelColor(16, 2), QColor(0, 70, 140));
    // Fixed size: the user cannot resize it.
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(window_->Client()->size(), QSize(577, 175));

    // Tab order: Filtra, Esci, the two "...", the options, the two boxes.
    QList<QWidget*> chain;
    QWidget* w = Command1();
    for (int i = 0; i < 7; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        chain << w;
    }
    QList<QWidget*> expected{Command1(), Command2(), Command3(), Command4(),
                             Option1(),  Option2(),  Text1()};
    QCOMPARE(chain, expected);
}

void tst_frmMain::controlsStandWhereTheyBelong() {
    QCOMPARE(Label2()->geometry(), QRect(16, 24, 169, 17));
    QCOMPARE(Text1()->geometry(), QRect(16, 40, 393, 19));
    QCOMPARE(Command3()->geometry(), QRect(408, 40, 17, 17));
    QCOMPARE(Label4()->geometry(), QRect(16, 72, 169, 17));
    QCOMPARE(Text2()->geometry(), QRect(16, 88, 393, 19));
    QCOMPARE(Command4()->geometry(), QRect(408, 88, 17, 17));
    QCOMPARE(ProgressBar1()->geometry(), QRect(16, 128, 385, 25));
    QCOMPARE(Command1()->geometry(), QRect(456, 32, 97, 25));
    QCOMPARE(Command2()->geometry(), QRect(456, 64, 97, 25));
    QCOMPARE(Option1()->geometry(), QRect(456, 104, 97, 17));
    QCOMPARE(Option2()->geometry(), QRect(456, 128, 81, 17));
    // Every caption fits its control.
    for (auto* label : {Label2(), Label4()})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    for (auto* option : {Option1(), Option2()}) {
        QStyleOptionButton opt;
        opt.initFrom(option);
        QRect contents =
            option->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, option);
        int text = QFontMetrics(option->font()).horizontalAdvance(option->text());
        QVERIFY2(text <= contents.width(), qPrintable(option->text()));
    }
    for (auto* button : {Command1(), Command2()}) {
        QFontMetrics metrics(button->font());
        QVERIFY(metrics.horizontalAdvance(button->text()) < button->width());
    }
}

void tst_frmMain::sourceDialogIsPreparedAndCancelEmptiesTheBox() {
    user_->answers = {QString("/logs/a.BIN"), std::nullopt};
    Command3()->click();
    QCOMPARE(Text1()->text(), QString("/logs/a.BIN"));
    Command3()->click();
    QCOMPARE(Text1()->text(), QString());
    QCOMPARE(user_->requests.size(), size_t{2});
    for (const auto& r : user_->requests) {
        QCOMPARE(r.kind, CommonDialog::Kind::Open);
        QCOMPARE(r.dialogTitle, QString("Scegli il file sorgente"));
        QCOMPARE(r.filter, QString("Log file (*.BIN)|*.BIN"));
        QCOMPARE(r.filterIndex, 1);
        QVERIFY(r.fileName.isEmpty());  // never the path already in the box
    }
    QVERIFY(Text2()->text().isEmpty());
}

void tst_frmMain::destinationDialogIsPreparedAndCancelEmptiesTheBox() {
    user_->answers = {QString("/logs/out.TXT"), std::nullopt};
    Command4()->click();
    QCOMPARE(Text2()->text(), QString("/logs/out.TXT"));
    Command4()->click();
    QCOMPARE(Text2()->text(), QString());
    QCOMPARE(user_->requests.size(), size_t{2});
    for (const auto& r : user_->requests) {
        QCOMPARE(r.kind, CommonDialog::Kind::Save);
        QCOMPARE(r.dialogTitle, QString("Scegli il file destinazione"));
        QCOMPARE(r.filter, QString("Text file (*.TXT)|*.TXT"));
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.defaultExt, QString("TXT"));
        QVERIFY(r.fileName.isEmpty());
    }
}

void tst_frmMain::filtraRunsOnlyTheSelectedFilter() {
    vagliante::test::WriteFile(dir_->File("log.bin"), "");
    Text1()->setText(QString::fromStdString(dir_->File("log.bin")));
    Text2()->setText(QString::fromStdString(dir_->File("OUT.TXT")));

    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("File creato con successo"));
    QCOMPARE(user_->messages[0].title, QString("Messaggio"));
    QCOMPARE(user_->messages[0].icon, MessageIcon::Information);

    Option2()->click();
    QVERIFY(!Option1()->isChecked());
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[1].text, QString("Files creati con successo"));
    QCOMPARE(ProgressBar1()->Model().Value(), 0.001);
    // The paths stay for the next run.
    QCOMPARE(Text1()->text(), QString::fromStdString(dir_->File("log.bin")));
}

void tst_frmMain::missingSourceShowsAnErrorAndTheWindowGoesOn() {
    Text1()->setText(QString::fromStdString(dir_->File("missing.bin")));
    Text2()->setText(QString::fromStdString(dir_->File("OUT.TXT")));
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].icon, MessageIcon::Critical);
    QVERIFY2(user_->messages[0].text.startsWith("Errore 53: Impossibile trovare il file"),
             qPrintable(user_->messages[0].text));
    QVERIFY(user_->messages[0].text.contains("missing.bin"));
    QCOMPARE(ProgressBar1()->Model().Value(), 0.001);
    QVERIFY(window_->isVisible());

    vagliante::test::WriteFile(dir_->File("missing.bin"), "\x84");
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[1].text, QString("File creato con successo"));
}

void tst_frmMain::filtraWritesTheReportsOfEachFilter() {
    vagliante::samples::Rng rng(11);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::MixedCatalogue(rng));
    const QString log = QString::fromStdString(dir_->File("LOG.BIN"));
    const QString out = QString::fromStdString(dir_->File("OUT.TXT"));
    auto reportLines = [&](const char* name) {
        return vagliante::test::SplitCrLf(vagliante::test::ReadFile(dir_->File(name))).size();
    };

    user_->answers = {log, out};
    Command3()->click();
    Command4()->click();
    Command1()->click();  // Aggiornamento
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("File creato con successo"));
    QCOMPARE(reportLines("OUT.TXT"), size_t{15});

    Option2()->click();
    Command1()->click();  // Attivazione, same paths
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[1].text, QString("Files creati con successo"));
    QCOMPARE(reportLines("OUT-5C.TXT"), size_t{15});
    QCOMPARE(reportLines("OUT-63-70.TXT"), size_t{13});
    QCOMPARE(reportLines("OUT-63-71.TXT"), size_t{15});
    QCOMPARE(ProgressBar1()->Model().Value(), 0.001);
}

void tst_frmMain::aFailedRunKeepsTheExistingReport() {
    vagliante::test::WriteFile(dir_->File("OUT.TXT"), "earlier report");
    Text1()->setText(QString::fromStdString(dir_->File("missing.bin")));
    Text2()->setText(QString::fromStdString(dir_->File("OUT.TXT")));
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].icon, MessageIcon::Critical);
    QCOMPARE(QString::fromStdString(vagliante::test::ReadFile(dir_->File("OUT.TXT"))),
             QString("earlier report"));
    QCOMPARE(dir_->List(), std::vector<std::string>{"OUT.TXT"});
}

void tst_frmMain::menuOpensTheConversionWindowWithItsMode() {
    for (auto [action, mode] :
         {std::pair{T1(), &vagliante::kBinToTxt}, std::pair{T2(), &vagliante::kTxtToBin}}) {
        const vagliante::ConversionMode* seenMode = nullptr;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QtForm*>(QApplication::activeModalWidget());
            QVERIFY(form);
            auto* cnv = dynamic_cast<vagliante::frmCnv*>(&form->Logic());
            QVERIFY(cnv);
            seenMode = cnv->Chiamatoda;
            modal = form->isModal();
            form->close();
        });
        action->trigger();
        QCOMPARE(seenMode, mode);
        QVERIFY(modal);
    }
    QCOMPARE(window_->windowTitle(), QString("Vagliante 1.2.1 - by Quadrivio"));
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

void tst_frmMain::fileDialogsSpeakItalianAndOpenWhereTheUserWorks() {
    user_.reset();  // the real dialogs
    QDir().mkpath(Path("logs"));
    Text1()->setText(Path("logs/LOG.BIN"));
    WithDialog([&] { Command3()->click(); },
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
    QVERIFY(Text1()->text().isEmpty());  // cancelled
    Text1()->setText(Path("logs/LOG.BIN"));
    WithDialog([&] { Command4()->click(); },
               [&](QWidget* widget) {
                   auto* dialog = qobject_cast<QFileDialog*>(widget);
                   QVERIFY(dialog);
                   QCOMPARE(dialog->labelText(QFileDialog::Accept), QString("&Salva"));
                   // An empty destination: the source's folder.
                   QCOMPARE(QDir(dialog->directory()).absolutePath(), Path("logs"));
               });
    // The buttons of the message boxes.
    QMessageBox box(QMessageBox::Information, "Messaggio", "x",
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Annulla"));
}

void tst_frmMain::saveDialogAsksNothingAndAddsTxt() {
    user_.reset();
    vagliante::test::WriteFile(dir_->File("RAPPORTO.TXT"), "old");
    // A question would stop the test: answer it "No" and say so.
    bool asked = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->reject();
        }
    });
    guard.start(20);
    WithDialog([&] { Command4()->click(); },
               [&](QWidget* widget) {
                   auto* dialog = qobject_cast<QFileDialog*>(widget);
                   QVERIFY(dialog);
                   dialog->setDirectory(dir_->Path().c_str());
                   // Typed into the name box, as a user does.
                   dialog->findChild<QLineEdit*>("fileNameEdit")->setText("RAPPORTO");
                   static_cast<QDialog*>(dialog)->accept();  // as the button does
               });
    QVERIFY(!asked);
    QCOMPARE(Text2()->text(), Path("RAPPORTO.TXT"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("RAPPORTO.TXT")), std::string("old"));
}

static void Drop(QWidget* target, QPoint at, const QList<QUrl>& urls, const QString& text = {}) {
    QMimeData data;
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void tst_frmMain::aFileDroppedFillsTheBoxUnderItElseTheSource() {
    QVERIFY(window_->acceptDrops());
    const QUrl report = QUrl::fromLocalFile("/logs/città/OUT.TXT");
    Drop(Text2(), QPoint(5, 5), {report});
    QCOMPARE(Text2()->text(), QString("/logs/città/OUT.TXT"));  // the path, not file:///
    QVERIFY(Text1()->text().isEmpty());

    // Anywhere else on the window: the source box.
    for (QWidget* elsewhere : {static_cast<QWidget*>(Command1()), static_cast<QWidget*>(Label4()),
                               static_cast<QWidget*>(ProgressBar1())}) {
        Text1()->clear();
        const QPoint at = elsewhere->mapTo(window_.get(), elsewhere->rect().center());
        Drop(window_.get(), at,
             {QUrl("https://example.com/x.BIN"), QUrl::fromLocalFile("/logs/LOG 1.BIN")});
        QCOMPARE(Text1()->text(), QString("/logs/LOG 1.BIN"));
    }
    QCOMPARE(Text2()->text(), QString("/logs/città/OUT.TXT"));

    // An address of another machine fills nothing; text dragged from an
    // editor is still the box's own affair.
    Text1()->clear();
    Drop(window_.get(), Command1()->mapTo(window_.get(), QPoint(2, 2)),
         {QUrl("https://example.com/x.BIN")});
    QVERIFY(Text1()->text().isEmpty());
    Drop(Text1(), QPoint(2, 2), {}, "/logs/scritto.BIN");
    QCOMPARE(Text1()->text(), QString("/logs/scritto.BIN"));
    QVERIFY(user_->requests.empty() && user_->messages.empty());
}

void tst_frmMain::aLogNamedOnTheCommandLineIsAFullPath() {
    using vagliante::ui::qt::FileArgument;
    QCOMPARE(FileArgument({"vagliante"}), QString());
    QCOMPARE(FileArgument({"vagliante", "/logs/LOG.BIN"}), QString("/logs/LOG.BIN"));
    QCOMPARE(FileArgument({"vagliante", "LOG.BIN"}), QDir::current().absoluteFilePath("LOG.BIN"));
    QCOMPARE(FileArgument({"vagliante", "--help", "file:///logs/LOG%201.BIN", "/altro"}),
             QString("file:///logs/LOG%201.BIN"));
    // The program puts it in the source box, as a drop on the window.
    QVERIFY(form_->FileDropped({}, "file:///logs/LOG%201.BIN"));
    QCOMPARE(Text1()->text(), QString("/logs/LOG 1.BIN"));
}

void tst_frmMain::aPathPastedInQuotesIsUsedWithoutThem() {
    vagliante::samples::Rng rng(11);
    QDir().mkpath(Path("log di prova"));
    vagliante::test::WriteFile(dir_->File("log di prova/LOG.BIN"),
                               vagliante::samples::MixedCatalogue(rng));
    QApplication::clipboard()->setText("\"" + Path("log di prova/LOG.BIN") + "\"");
    Text1()->setFocus();
    Text1()->paste();
    Text2()->setText(Path("OUT.TXT"));
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("File creato con successo"));
    QVERIFY(QFileInfo::exists(Path("OUT.TXT")));
}

void tst_frmMain::anEmptyBoxIsNamedInItsMessage() {
    Command1()->click();
    Text1()->setText(Path("LOG.BIN"));
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[0].text, QString("Errore 52: Nome o numero di file non valido: il "
                                              "campo \"File .bin sorgente\" è vuoto"));
    QCOMPARE(user_->messages[1].text, QString("Errore 52: Nome o numero di file non valido: "
                                              "il campo \"File .txt destinazione\" è vuoto"));
    QCOMPARE(user_->messages[1].icon, MessageIcon::Critical);
}

void tst_frmMain::enterPressesTheFocusedButtonOnce() {
    // Enter on "..." opens its dialog; held down, it opens it once.
    QTest::keyClick(Command3(), Qt::Key_Return);
    QCOMPARE(user_->requests.size(), size_t{1});
    QTest::keyClick(Command4(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(user_->requests.size(), size_t{2});
    QTest::keyEvent(QTest::Press, Command3(), Qt::Key_Return, Qt::NoModifier, -1);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString("\r"), true);
    QApplication::sendEvent(Command3(), &repeat);
    QCOMPARE(user_->requests.size(), size_t{3});
    // Enter in a box, and Esc, press nothing: there is no default button.
    QTest::keyClick(Text1(), Qt::Key_Return);
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QCOMPARE(user_->requests.size(), size_t{3});
    QVERIFY(user_->messages.empty());
    QVERIFY(window_->isVisible());
    // Space still presses a button; Enter on "Filtra" runs the filter.
    QTest::keyClick(Command1(), Qt::Key_Space);
    QTest::keyClick(Command1(), Qt::Key_Return);
    QCOMPARE(user_->messages.size(), size_t{2});
    // Enter on "Esci" ends the program.
    QTest::keyClick(Command2(), Qt::Key_Return);
    QVERIFY(!window_->isVisible());
}

void tst_frmMain::DuringRun(const std::function<void()>& act, const std::function<void()>& during) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        QVERIFY2(vagliante::ui::RunSession::Busy(), "the run had ended before the test looked");
        ran = true;
        during();
    });
    act();
    QVERIFY(ran);
}

void tst_frmMain::ExpectBusyLook(bool busy) {
    for (QWidget* control : std::initializer_list<QWidget*>{Command1(), Command3(), Command4(),
                                                            Text1(), Text2(), Option1(), Option2()})
        QCOMPARE(control->isEnabled(), !busy);
    QCOMPARE(window_->findChild<QMenuBar*>()->isEnabled(), !busy);
    QVERIFY(Command2()->isEnabled());  // Esci stays live
    QVERIFY(ProgressBar1()->isEnabled() && Label2()->isEnabled());
}

void tst_frmMain::aRunLooksBusyThenAllIsAsBefore() {
    vagliante::samples::Rng rng(3);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::RandomLog(64 << 20, rng));
    Text1()->setText(Path("LOG.BIN"));
    Text2()->setText(Path("OUT.TXT"));
    Command1()->setFocus();
    DuringRun([&] { QTest::keyClick(Command1(), Qt::Key_Return); },
              [&] {
                  ExpectBusyLook(true);
                  vagliante::test::SaveScreenshot(window_.get(), "frmMain-busy");
                  // No control holds the focus: a key held down after the
                  // Enter that started the run cannot reach Esci.
                  QWidget* focus = QApplication::focusWidget();
                  QVERIFY(!qobject_cast<QPushButton*>(focus));
                  QTest::keyClick(focus ? focus : window_.get(), Qt::Key_Return);
                  QTest::keyClick(focus ? focus : window_.get(), Qt::Key_Space);
                  // A file dropped now is refused.
                  Drop(Text1(), QPoint(2, 2), {QUrl::fromLocalFile("/logs/ALTRO.BIN")});
                  Drop(window_.get(), QPoint(2, 2), {QUrl::fromLocalFile("/logs/ALTRO.BIN")});
                  QCOMPARE(Text1()->text(), Path("LOG.BIN"));
              });
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("File creato con successo"));
    ExpectBusyLook(false);
    QCOMPARE(QApplication::focusWidget(), Command1());  // as before the run
    QVERIFY(window_->isVisible());
}

void tst_frmMain::esciDuringARunStopsItAndCloses() {
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), std::string(128 << 20, '\x84'));
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        vagliante::test::WriteFile(dir_->File(name), "earlier");
    Text1()->setText(Path("LOG.BIN"));
    Text2()->setText(Path("OUT.TXT"));
    Option2()->click();
    DuringRun([&] { Command1()->click(); }, [&] { Command2()->click(); });
    QVERIFY(user_->messages.empty());  // a stop is no failure
    QVERIFY(!window_->isVisible());
    QCOMPARE(ProgressBar1()->Model().Value(), 0.001);
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        QCOMPARE(vagliante::test::ReadFile(dir_->File(name)), std::string("earlier"));
    QCOMPARE(dir_->List(),
             (std::vector<std::string>{"LOG.BIN", "OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"}));
}

void tst_frmMain::theBarCoversTheWholeRunReplacingIncluded() {
    vagliante::samples::Rng rng(5);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::RandomLog(32 << 20, rng));
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        vagliante::test::WriteFile(dir_->File(name), std::string(64 << 20, 'x'));
    Text1()->setText(Path("LOG.BIN"));
    Text2()->setText(Path("OUT.TXT"));
    Option2()->click();
    QList<int> drawn;
    connect(ProgressBar1(), &QProgressBar::valueChanged, [&](int value) { drawn << value; });
    Command1()->click();
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

void tst_frmMain::anAccentedLogNameIsUpperCasedInTheHeader() {
    vagliante::samples::Rng rng(11);
    vagliante::test::WriteFile(dir_->File("log è 1.bin"), vagliante::samples::MixedCatalogue(rng));
    Text1()->setText(Path("log è 1.bin"));
    Text2()->setText(Path("OUT.TXT"));
    Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    const auto lines = vagliante::test::SplitCrLf(vagliante::test::ReadFile(dir_->File("OUT.TXT")));
    QVERIFY(lines.size() > 3);
    QCOMPARE(QString::fromStdString(lines[2]), QString("## Log name:        LOG È 1.BIN"));
}

void tst_frmMain::theCompletionMessageHoldsTheSummaryAsDetails() {
    user_.reset();  // the real message box
    vagliante::samples::Rng rng(11);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::MixedCatalogue(rng));
    Text1()->setText(Path("LOG.BIN"));
    Text2()->setText(Path("OUT.TXT"));
    WithDialog([&] { Command1()->click(); },
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

void tst_frmMain::screenshot() { vagliante::test::SaveScreenshot(window_.get(), "frmMain"); }

QTEST_MAIN(tst_frmMain)
#include "tst_frm_main.moc"
