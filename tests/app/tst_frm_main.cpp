#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
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
#include "ui/qt/qt_form.h"
#include "ui/qt/qt_progress_bar.h"

using vagliante::frmMain;
using vagliante::ui::CommonDialog;
using vagliante::ui::MessageIcon;
using vagliante::ui::qt::QtForm;
using vagliante::ui::qt::QtProgressBar;

class tst_frmMain : public QObject {
    Q_OBJECT
  private slots:
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

    std::unique_ptr<frmMain> form_;
    std::unique_ptr<QtForm> window_;
    std::unique_ptr<vagliante::test::ScriptedUser> user_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

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
    for (auto [action, mode] : {std::pair{T1(), "B2T"}, std::pair{T2(), "T2B"}}) {
        QString seenMode;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QtForm*>(QApplication::activeModalWidget());
            QVERIFY(form);
            auto* cnv = dynamic_cast<vagliante::frmCnv*>(&form->Logic());
            QVERIFY(cnv);
            seenMode = QString::fromStdString(cnv->Chiamatoda);
            modal = form->isModal();
            form->close();
        });
        action->trigger();
        QCOMPARE(seenMode, QString(mode));
        QVERIFY(modal);
    }
    QCOMPARE(window_->windowTitle(), QString("Vagliante 1.2.1 - by Quadrivio"));
}

void tst_frmMain::screenshot() { vagliante::test::SaveScreenshot(window_.get(), "frmMain"); }

QTEST_MAIN(tst_frmMain)
#include "tst_frm_main.moc"
