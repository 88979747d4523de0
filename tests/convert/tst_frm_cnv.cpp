#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/qt_progress_bar.h"
#include "ui/run_session.h"

using vagliante::frmCnv;
using vagliante::ui::CommonDialog;
using vagliante::ui::MessageIcon;
using vagliante::ui::qt::QtForm;
using vagliante::ui::qt::QtProgressBar;

namespace {
const QString kLogFilter = "Log file (*.BIN)|*.BIN";
const QString kTextFilter = "Text file (*.TXT)|*.TXT";

template <typename W>
W* Get(const QtForm* window, const char* name) {
    W* control = window->Control<W>(name);
    if (!control) qFatal("no control %s", name);
    return control;
}

// A conversion window as the main window makes it: the form and its window.
struct CnvWindow {
    frmCnv form;
    std::unique_ptr<QtForm> window = QtForm::Create(form);

    QLabel* Label2() const { return Get<QLabel>(window.get(), "Label2"); }
    QLineEdit* Text1() const { return Get<QLineEdit>(window.get(), "Text1"); }
    QPushButton* Command3() const { return Get<QPushButton>(window.get(), "Command3"); }
    QLabel* Label4() const { return Get<QLabel>(window.get(), "Label4"); }
    QLineEdit* Text2() const { return Get<QLineEdit>(window.get(), "Text2"); }
    QPushButton* Command4() const { return Get<QPushButton>(window.get(), "Command4"); }
    QtProgressBar* ProgressBar1() const { return Get<QtProgressBar>(window.get(), "ProgressBar1"); }
    QPushButton* Command1() const { return Get<QPushButton>(window.get(), "Command1"); }
    QPushButton* Command2() const { return Get<QPushButton>(window.get(), "Command2"); }
};
}  // namespace

class tst_frmCnv : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void designStateUntilShown();
    void controlsStandWhereTheyBelong();
    void captionsFollowTheMode_data();
    void captionsFollowTheMode();
    void activationAppliesTheModeSetAfterLoading();
    void reopenedFromTheOtherMenuItemShowsTheOtherMode();
    void dialogsOfferTheFiltersOfTheMode_data();
    void dialogsOfferTheFiltersOfTheMode();
    void unknownModeLeavesFiltersAndDoesNothing();
    void convertiRunsTheConversionOfTheMode();
    void errorIsShownAndTheWindowGoesOn();
    void boxesAcceptTypingAndPasting();
    void escDoesNotCloseTheWindowEnterOnAButtonPressesIt();
    void saveDialogAddsTheModesExtensionAndAsksNothing_data();
    void saveDialogAddsTheModesExtensionAndAsksNothing();
    void aFileDroppedOnTheWindowFillsTheSource();
    void theCloseBoxDuringAConversionStopsItAndCloses();
    void screenshots();

  private:
    std::unique_ptr<CnvWindow> Open(const QString& mode);
    QString Path(const char* name) const { return QString::fromStdString(dir_->File(name)); }

    std::unique_ptr<vagliante::test::ScriptedUser> user_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

void tst_frmCnv::init() {
    dir_ = std::make_unique<vagliante::test::TempDir>();
    user_ = std::make_unique<vagliante::test::ScriptedUser>();
}

void tst_frmCnv::cleanup() {
    user_.reset();
    dir_.reset();
}

// As the main window does it: load, set the mode, show.
std::unique_ptr<CnvWindow> tst_frmCnv::Open(const QString& mode) {
    auto form = std::make_unique<CnvWindow>();
    form->form.Chiamatoda = mode == "B2T"   ? &vagliante::kBinToTxt
                            : mode == "T2B" ? &vagliante::kTxtToBin
                                            : nullptr;
    form->window->show();
    if (!QTest::qWaitForWindowExposed(form->window.get())) return nullptr;
    return form;
}

void tst_frmCnv::designStateUntilShown() {
    CnvWindow form;
    QCOMPARE(form.window->windowTitle(), QString("Conversione"));
    QCOMPARE(form.Label2()->text(), QString("File sorgente"));
    QCOMPARE(form.Label4()->text(), QString("File destinazione"));
    QCOMPARE(form.Command1()->text(), QString("Converti"));
    QCOMPARE(form.Command2()->text(), QString("Esci"));
    QCOMPARE(form.Command3()->text(), QString("..."));
    QVERIFY(form.Text1()->text().isEmpty() && form.Text2()->text().isEmpty());
    QCOMPARE(form.ProgressBar1()->Model().Value(), 0.001);
    QCOMPARE(form.ProgressBar1()->Model().Min(), 0.0001);
    QVERIFY(!form.form.Chiamatoda);
    QVERIFY(form.window->windowFlags().testFlag(Qt::Tool));  // not in the task bar
    QVERIFY(!form.window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.window->minimumSize(), form.window->maximumSize());
    QCOMPARE(form.window->size(), QSize(485, 175));
    QVERIFY(!form.window->windowIcon().isNull());
    for (auto* button : {form.Command1(), form.Command2(), form.Command3(), form.Command4()})
        QVERIFY(!button->isDefault() && !button->autoDefault());
    QCOMPARE(form.window->findChild<QLineEdit*>("Text2"), form.Text2());
    QCOMPARE(form.window->findChild<QtProgressBar*>("ProgressBar1"), form.ProgressBar1());
}

void tst_frmCnv::controlsStandWhereTheyBelong() {
    auto form = Open("B2T");
    QVERIFY(form);
    QCOMPARE(form->Label2()->geometry(), QRect(16, 24, 169, 17));
    QCOMPARE(form->Text1()->geometry(), QRect(16, 40, 313, 19));
    QCOMPARE(form->Command3()->geometry(), QRect(328, 40, 17, 17));
    QCOMPARE(form->Label4()->geometry(), QRect(16, 72, 169, 17));
    QCOMPARE(form->Text2()->geometry(), QRect(16, 88, 313, 19));
    QCOMPARE(form->Command4()->geometry(), QRect(328, 88, 17, 17));
    QCOMPARE(form->ProgressBar1()->geometry(), QRect(16, 128, 313, 25));
    QCOMPARE(form->Command1()->geometry(), QRect(368, 32, 97, 25));
    QCOMPARE(form->Command2()->geometry(), QRect(368, 64, 97, 25));
    QCOMPARE(form->window->focusWidget(), form->Command1());

    QList<QWidget*> chain;
    QWidget* w = form->Command1();
    for (int i = 0; i < 6; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        chain << w;
    }
    QList<QWidget*> expected{form->Command1(), form->Command2(), form->Command3(),
                             form->Command4(), form->Text1(),    form->Text2()};
    QCOMPARE(chain, expected);
}

void tst_frmCnv::captionsFollowTheMode_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::newRow("B2T") << "B2T"
                         << "Conversione BIN->TXT"
                         << "File BIN sorgente"
                         << "File TXT destinazione";
    QTest::newRow("T2B") << "T2B"
                         << "Conversione TXT->BIN"
                         << "File TXT sorgente"
                         << "File BIN destinazione";
    QTest::newRow("lower case") << "b2t"
                                << "Conversione"
                                << "File sorgente"
                                << "File destinazione";
    QTest::newRow("trailing blank") << "T2B "
                                    << "Conversione"
                                    << "File sorgente"
                                    << "File destinazione";
    QTest::newRow("empty") << ""
                           << "Conversione"
                           << "File sorgente"
                           << "File destinazione";
}

void tst_frmCnv::captionsFollowTheMode() {
    QFETCH(QString, mode);
    auto form = Open(mode);
    QVERIFY(form);
    QTEST(form->window->windowTitle(), "title");
    QTEST(form->Label2()->text(), "source");
    QTEST(form->Label4()->text(), "destination");
    // Every caption fits its label.
    for (auto* label : {form->Label2(), form->Label4()})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    for (auto* button : {form->Command1(), form->Command2()})
        QVERIFY(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width());
}

void tst_frmCnv::activationAppliesTheModeSetAfterLoading() {
    auto form = Open("B2T");
    QVERIFY(form);
    form->form.Chiamatoda = &vagliante::kTxtToBin;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form->window.get(), &activate);
    QCOMPARE(form->window->windowTitle(), QString("Conversione TXT->BIN"));
    QCOMPARE(form->Label2()->text(), QString("File TXT sorgente"));
}

void tst_frmCnv::reopenedFromTheOtherMenuItemShowsTheOtherMode() {
    vagliante::frmMain mainForm;
    std::unique_ptr<QtForm> main = QtForm::Create(mainForm);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    struct Seen {
        QString title, label2, label4, text1, text2;
    };
    std::vector<Seen> seen;
    for (QAction* action : {Get<QAction>(main.get(), "T1"), Get<QAction>(main.get(), "T2")}) {
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QtForm*>(QApplication::activeModalWidget());
            QVERIFY(form);
            seen.push_back({form->windowTitle(), Get<QLabel>(form, "Label2")->text(),
                            Get<QLabel>(form, "Label4")->text(),
                            Get<QLineEdit>(form, "Text1")->text(),
                            Get<QLineEdit>(form, "Text2")->text()});
            // must not survive into the next opening
            Get<QLineEdit>(form, "Text1")->setText("/logs/a.BIN");
            Get<QPushButton>(form, "Command2")->click();
        });
        action->trigger();
    }
    QCOMPARE(seen.size(), size_t{2});
    QCOMPARE(seen[0].title, QString("Conversione BIN->TXT"));
    QCOMPARE(seen[1].title, QString("Conversione TXT->BIN"));
    QCOMPARE(seen[1].label2, QString("File TXT sorgente"));
    QCOMPARE(seen[1].label4, QString("File BIN destinazione"));
    QVERIFY(seen[1].text1.isEmpty() && seen[1].text2.isEmpty());
}

void tst_frmCnv::dialogsOfferTheFiltersOfTheMode_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("openFilter");
    QTest::addColumn<QString>("saveFilter");
    QTest::newRow("B2T") << "B2T" << kLogFilter << kTextFilter;
    QTest::newRow("T2B") << "T2B" << kTextFilter << kLogFilter;
}

void tst_frmCnv::dialogsOfferTheFiltersOfTheMode() {
    QFETCH(QString, mode);
    auto form = Open(mode);
    QVERIFY(form);
    user_->answers = {QString("/in/a"), std::nullopt, QString("/out/b"), std::nullopt};
    form->Command3()->click();
    QCOMPARE(form->Text1()->text(), QString("/in/a"));
    form->Command3()->click();
    QVERIFY(form->Text1()->text().isEmpty());  // cancel empties the box
    form->Command4()->click();
    QCOMPARE(form->Text2()->text(), QString("/out/b"));
    form->Command4()->click();
    QVERIFY(form->Text2()->text().isEmpty());

    QCOMPARE(user_->requests.size(), size_t{4});
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& r = user_->requests[i];
        const bool open = i < 2;
        QCOMPARE(r.kind, open ? CommonDialog::Kind::Open : CommonDialog::Kind::Save);
        QCOMPARE(r.dialogTitle,
                 QString(open ? "Scegli il file sorgente" : "Scegli il file destinazione"));
        QFETCH(QString, openFilter);
        QFETCH(QString, saveFilter);
        QCOMPARE(r.filter, open ? openFilter : saveFilter);
        QCOMPARE(r.filterIndex, 1);
        QVERIFY(r.fileName.isEmpty());  // never the path already in the box
    }
}

void tst_frmCnv::unknownModeLeavesFiltersAndDoesNothing() {
    auto form = Open("B2T");
    QVERIFY(form);
    form->Command3()->click();
    form->form.Chiamatoda = nullptr;
    form->Command3()->click();
    form->Command4()->click();
    QCOMPARE(user_->requests.size(), size_t{3});
    QCOMPARE(user_->requests[1].filter, kLogFilter);  // as last set
    QCOMPARE(user_->requests[2].filter, kLogFilter);

    vagliante::test::WriteFile(dir_->File("in.BIN"), "\x01");
    form->Text1()->setText(Path("in.BIN"));
    form->Text2()->setText(Path("out.TXT"));
    form->Command1()->click();
    QVERIFY(user_->messages.empty());
    QCOMPARE(dir_->List(), std::vector<std::string>{"in.BIN"});
}

void tst_frmCnv::convertiRunsTheConversionOfTheMode() {
    vagliante::test::WriteFile(dir_->File("in.BIN"),
                               vagliante::test::Bytes({0x00, 0x0A, 0x84, 0xFF}));
    auto b2t = Open("B2T");
    QVERIFY(b2t);
    b2t->Text1()->setText(Path("in.BIN"));
    b2t->Text2()->setText(Path("out.TXT"));
    b2t->Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("Conversione conclusa"));
    QCOMPARE(user_->messages[0].title, QString("Messaggio"));
    QCOMPARE(user_->messages[0].icon, MessageIcon::Information);
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("000A84FF"));
    QCOMPARE(b2t->ProgressBar1()->Model().Value(), 0.001);
    QCOMPARE(b2t->Text1()->text(), Path("in.BIN"));  // the paths stay for another run

    auto t2b = Open("T2B");
    QVERIFY(t2b);
    t2b->Text1()->setText(Path("out.TXT"));
    t2b->Text2()->setText(Path("back.BIN"));
    t2b->Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[1].text, QString("Conversione conclusa"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("back.BIN")),
             vagliante::test::ReadFile(dir_->File("in.BIN")));
}

void tst_frmCnv::errorIsShownAndTheWindowGoesOn() {
    vagliante::test::WriteFile(dir_->File("out.TXT"), "old");
    auto form = Open("B2T");
    QVERIFY(form);
    form->Text1()->setText(Path("missing.BIN"));
    form->Text2()->setText(Path("out.TXT"));
    form->Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].icon, MessageIcon::Critical);
    QVERIFY2(user_->messages[0].text.startsWith("Errore 53"), qPrintable(user_->messages[0].text));
    QVERIFY(user_->messages[0].text.contains("missing.BIN"));
    QVERIFY(form->window->isVisible());
    QCOMPARE(form->ProgressBar1()->Model().Value(), 0.001);
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("old"));

    vagliante::test::WriteFile(dir_->File("missing.BIN"), "\xAB");
    form->Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{2});
    QCOMPARE(user_->messages[1].text, QString("Conversione conclusa"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("AB"));
}

void tst_frmCnv::boxesAcceptTypingAndPasting() {
    auto form = Open("T2B");
    QVERIFY(form);
    QTest::keyClicks(form->Text1(), "/logs/x.TXT");
    QCOMPARE(form->Text1()->text(), QString("/logs/x.TXT"));
    QVERIFY(!form->Text2()->isReadOnly());
    QApplication::clipboard()->setText("/logs/y.BIN");
    form->Text2()->setFocus();
    form->Text2()->paste();
    QCOMPARE(form->Text2()->text(), QString("/logs/y.BIN"));

    // A path pasted in double quotes is used without them.
    vagliante::test::WriteFile(dir_->File("in.TXT"), "0A84");
    form->Text1()->clear();
    QApplication::clipboard()->setText("\"" + Path("in.TXT") + "\"");
    form->Text1()->setFocus();
    form->Text1()->paste();
    form->Text2()->setText(" \"" + Path("out.BIN") + "\" ");
    form->Command1()->click();
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("Conversione conclusa"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.BIN")), std::string("\x0A\x84"));
}

void tst_frmCnv::escDoesNotCloseTheWindowEnterOnAButtonPressesIt() {
    auto form = Open("B2T");
    QVERIFY(form);
    QTest::keyClick(form->window.get(), Qt::Key_Escape);
    QTest::keyClick(form->Text1(), Qt::Key_Return);
    QVERIFY(form->window->isVisible());
    QVERIFY(user_->messages.empty());
    // "Converti" with an empty source box: the message names it.
    QTest::keyClick(form->Command1(), Qt::Key_Return);
    QCOMPARE(user_->messages.size(), size_t{1});
    QCOMPARE(user_->messages[0].text, QString("Errore 52: Nome o numero di file non valido: "
                                              "il campo \"File BIN sorgente\" è vuoto"));
    QTest::keyClick(form->Command2(), Qt::Key_Return);
    QVERIFY(!form->window->isVisible());
}

void tst_frmCnv::saveDialogAddsTheModesExtensionAndAsksNothing_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("B2T") << "B2T"
                         << "RISULTATO.TXT";
    QTest::newRow("T2B") << "T2B"
                         << "RISULTATO.BIN";
}

void tst_frmCnv::saveDialogAddsTheModesExtensionAndAsksNothing() {
    QFETCH(QString, mode);
    QFETCH(QString, chosen);
    user_.reset();  // the real dialog
    vagliante::test::WriteFile(dir_->File(chosen.toStdString()), "old");
    auto form = Open(mode);
    QVERIFY(form);
    bool asked = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->reject();
        }
    });
    guard.start(20);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen = true;
        dialog->setDirectory(QString::fromStdString(dir_->Path()));
        // Typed into the name box, as a user does.
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("RISULTATO");
        static_cast<QDialog*>(dialog)->accept();  // as the button does
    });
    form->Command4()->click();
    QVERIFY(seen);
    QVERIFY(!asked);
    QCOMPARE(form->Text2()->text(), Path(chosen.toStdString().c_str()));
}

void tst_frmCnv::aFileDroppedOnTheWindowFillsTheSource() {
    auto form = Open("B2T");
    QVERIFY(form);
    QVERIFY(form->window->acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/logs/LOG.BIN")});
    // A drag enters, then drops, as a file manager's does.
    auto drop = [&](QWidget* target, QPoint at) {
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    };
    drop(form->window.get(), form->Command2()->mapTo(form->window.get(), QPoint(3, 3)));
    QCOMPARE(form->Text1()->text(), QString("/logs/LOG.BIN"));
    QVERIFY(form->window->isVisible());  // a drop on Esci presses nothing
    drop(form->Text2(), QPoint(2, 2));
    QCOMPARE(form->Text2()->text(), QString("/logs/LOG.BIN"));
}

void tst_frmCnv::theCloseBoxDuringAConversionStopsItAndCloses() {
    vagliante::test::WriteFile(dir_->File("in.BIN"), std::string(128 << 20, '\x01'));
    vagliante::test::WriteFile(dir_->File("out.TXT"), "old");
    auto form = Open("B2T");
    QVERIFY(form);
    form->Text1()->setText(Path("in.BIN"));
    form->Text2()->setText(Path("out.TXT"));
    bool during = false;
    QTimer::singleShot(0, [&] {
        QVERIFY(vagliante::ui::RunSession::Busy());
        during = true;
        QVERIFY(!form->Command1()->isEnabled() && !form->Text1()->isEnabled());
        QVERIFY(form->Command2()->isEnabled());
        form->window->close();               // the close box, Alt+F4
        QVERIFY(form->window->isVisible());  // until the run has unwound
    });
    form->Command1()->click();
    QVERIFY(during);
    QVERIFY(user_->messages.empty());
    QVERIFY(!form->window->isVisible());
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("old"));
    QCOMPARE(dir_->List(), (std::vector<std::string>{"in.BIN", "out.TXT"}));
}

void tst_frmCnv::screenshots() {
    for (const char* mode : {"B2T", "T2B"}) {
        auto form = Open(mode);
        QVERIFY(form);
        form->Text1()->setText(QString("/home/utente/log/centrale-") + mode + ".dat");
        vagliante::test::SaveScreenshot(form->window.get(), QString("frmCnv-") + mode);
    }
}

QTEST_MAIN(tst_frmCnv)
#include "tst_frm_cnv.moc"
