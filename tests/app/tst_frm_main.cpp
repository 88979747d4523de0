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
#include "ui/message_box.h"
#include "ui/progress_bar.h"

using vagliante::frmMain;
using vagliante::ui::CommonDialog;
using vagliante::ui::Message;
using vagliante::ui::MessageIcon;

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
    std::unique_ptr<frmMain> window_;
    std::vector<CommonDialog::Request> requests_;
    std::vector<std::optional<QString>> answers_;
    std::vector<Message> messages_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

void tst_frmMain::init() {
    requests_.clear();
    answers_.clear();
    messages_.clear();
    dir_ = std::make_unique<vagliante::test::TempDir>();
    CommonDialog::SetScript([this](const CommonDialog::Request& r) {
        requests_.push_back(r);
        std::optional<QString> answer;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.erase(answers_.begin());
        }
        return answer;
    });
    vagliante::ui::SetMessageScript([this](const Message& m) { messages_.push_back(m); });
    window_ = std::make_unique<frmMain>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void tst_frmMain::cleanup() {
    window_.reset();
    CommonDialog::SetScript({});
    vagliante::ui::SetMessageScript({});
    dir_.reset();
}

void tst_frmMain::initialState() {
    QCOMPARE(window_->windowTitle(), QString("Vagliante 1.2.1 - by Quadrivio"));
    QVERIFY(window_->Option1->isChecked());
    QVERIFY(!window_->Option2->isChecked());
    QCOMPARE(window_->Option1->text(), QString("Aggiornamento"));
    QCOMPARE(window_->Option2->text(), QString("Attivazione"));
    QCOMPARE(window_->focusWidget(), window_->Command1);
    QCOMPARE(window_->ProgressBar1->Value(), 0.001);
    QCOMPARE(window_->ProgressBar1->Min(), 0.0001);
    QCOMPARE(window_->ProgressBar1->value(), 0);
    QVERIFY(window_->Text1->text().isEmpty());
    QVERIFY(window_->Text2->text().isEmpty());
    QCOMPARE(window_->Command1->text(), QString("Filtra"));
    QCOMPARE(window_->Command2->text(), QString("Esci"));
    QVERIFY(!window_->Command1->isDefault() && !window_->Command1->autoDefault());
    QCOMPARE(window_->T0->title(), QString("T&ools"));
    QCOMPARE(window_->T1->text(), QString("Conversione &BIN->TXT"));
    QCOMPARE(window_->T2->text(), QString("Conversione &TXT->BIN"));
    QCOMPARE(window_->INF->text(), QString("&?"));
    QCOMPARE(window_->findChild<QLineEdit*>("Text1"), window_->Text1);
    // The drawn icon, at the window's 32 by 32 among its sizes.
    QVERIFY(window_->windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(window_->windowIcon().pixmap(32, 32).toImage().pixelColor(16, 2), QColor(0, 70, 140));
    // Fixed size: the user cannot resize it.
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(window_->centralWidget()->size(), QSize(577, 175));

    // Tab order: Filtra, Esci, the two "...", the options, the two boxes.
    QList<QWidget*> chain;
    QWidget* w = window_->Command1;
    for (int i = 0; i < 7; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        chain << w;
    }
    QList<QWidget*> expected{window_->Command1, window_->Command2, window_->Command3,
                             window_->Command4, window_->Option1,  window_->Option2,
                             window_->Text1};
    QCOMPARE(chain, expected);
}

void tst_frmMain::controlsStandWhereTheyBelong() {
    QCOMPARE(window_->Label2->geometry(), QRect(16, 24, 169, 17));
    QCOMPARE(window_->Text1->geometry(), QRect(16, 40, 393, 19));
    QCOMPARE(window_->Command3->geometry(), QRect(408, 40, 17, 17));
    QCOMPARE(window_->Label4->geometry(), QRect(16, 72, 169, 17));
    QCOMPARE(window_->Text2->geometry(), QRect(16, 88, 393, 19));
    QCOMPARE(window_->Command4->geometry(), QRect(408, 88, 17, 17));
    QCOMPARE(window_->ProgressBar1->geometry(), QRect(16, 128, 385, 25));
    QCOMPARE(window_->Command1->geometry(), QRect(456, 32, 97, 25));
    QCOMPARE(window_->Command2->geometry(), QRect(456, 64, 97, 25));
    QCOMPARE(window_->Option1->geometry(), QRect(456, 104, 97, 17));
    QCOMPARE(window_->Option2->geometry(), QRect(456, 128, 81, 17));
    // Every caption fits its control.
    for (auto* label : {window_->Label2, window_->Label4})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    for (auto* option : {window_->Option1, window_->Option2}) {
        QStyleOptionButton opt;
        opt.initFrom(option);
        QRect contents =
            option->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, option);
        int text = QFontMetrics(option->font()).horizontalAdvance(option->text());
        QVERIFY2(text <= contents.width(), qPrintable(option->text()));
    }
    for (auto* button : {window_->Command1, window_->Command2}) {
        QFontMetrics metrics(button->font());
        QVERIFY(metrics.horizontalAdvance(button->text()) < button->width());
    }
}

void tst_frmMain::sourceDialogIsPreparedAndCancelEmptiesTheBox() {
    answers_ = {QString("/logs/a.BIN"), std::nullopt};
    window_->Command3->click();
    QCOMPARE(window_->Text1->text(), QString("/logs/a.BIN"));
    window_->Command3->click();
    QCOMPARE(window_->Text1->text(), QString());
    QCOMPARE(requests_.size(), size_t{2});
    for (const auto& r : requests_) {
        QCOMPARE(r.kind, CommonDialog::Kind::Open);
        QCOMPARE(r.dialogTitle, QString("Scegli il file sorgente"));
        QCOMPARE(r.filter, QString("Log file (*.BIN)|*.BIN"));
        QCOMPARE(r.filterIndex, 1);
        QVERIFY(r.fileName.isEmpty());  // never the path already in the box
    }
    QVERIFY(window_->Text2->text().isEmpty());
}

void tst_frmMain::destinationDialogIsPreparedAndCancelEmptiesTheBox() {
    answers_ = {QString("/logs/out.TXT"), std::nullopt};
    window_->Command4->click();
    QCOMPARE(window_->Text2->text(), QString("/logs/out.TXT"));
    window_->Command4->click();
    QCOMPARE(window_->Text2->text(), QString());
    QCOMPARE(requests_.size(), size_t{2});
    for (const auto& r : requests_) {
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
    window_->Text1->setText(QString::fromStdString(dir_->File("log.bin")));
    window_->Text2->setText(QString::fromStdString(dir_->File("OUT.TXT")));

    window_->Command1->click();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].text, QString("File creato con successo"));
    QCOMPARE(messages_[0].title, QString("Messaggio"));
    QCOMPARE(messages_[0].icon, MessageIcon::Information);

    window_->Option2->click();
    QVERIFY(!window_->Option1->isChecked());
    window_->Command1->click();
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[1].text, QString("Files creati con successo"));
    QCOMPARE(window_->ProgressBar1->Value(), 0.001);
    // The paths stay for the next run.
    QCOMPARE(window_->Text1->text(), QString::fromStdString(dir_->File("log.bin")));
}

void tst_frmMain::missingSourceShowsAnErrorAndTheWindowGoesOn() {
    window_->Text1->setText(QString::fromStdString(dir_->File("missing.bin")));
    window_->Text2->setText(QString::fromStdString(dir_->File("OUT.TXT")));
    window_->Command1->click();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].icon, MessageIcon::Critical);
    QVERIFY2(messages_[0].text.startsWith("Errore 53: Impossibile trovare il file"),
             qPrintable(messages_[0].text));
    QVERIFY(messages_[0].text.contains("missing.bin"));
    QCOMPARE(window_->ProgressBar1->Value(), 0.001);
    QVERIFY(window_->isVisible());

    vagliante::test::WriteFile(dir_->File("missing.bin"), "\x84");
    window_->Command1->click();
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[1].text, QString("File creato con successo"));
}

void tst_frmMain::filtraWritesTheReportsOfEachFilter() {
    vagliante::samples::Rng rng(11);
    vagliante::test::WriteFile(dir_->File("LOG.BIN"), vagliante::samples::MixedCatalogue(rng));
    const QString log = QString::fromStdString(dir_->File("LOG.BIN"));
    const QString out = QString::fromStdString(dir_->File("OUT.TXT"));
    auto reportLines = [&](const char* name) {
        return vagliante::test::SplitCrLf(vagliante::test::ReadFile(dir_->File(name))).size();
    };

    answers_ = {log, out};
    window_->Command3->click();
    window_->Command4->click();
    window_->Command1->click();  // Aggiornamento
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].text, QString("File creato con successo"));
    QCOMPARE(reportLines("OUT.TXT"), size_t{15});

    window_->Option2->click();
    window_->Command1->click();  // Attivazione, same paths
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[1].text, QString("Files creati con successo"));
    QCOMPARE(reportLines("OUT-5C.TXT"), size_t{15});
    QCOMPARE(reportLines("OUT-63-70.TXT"), size_t{13});
    QCOMPARE(reportLines("OUT-63-71.TXT"), size_t{15});
    QCOMPARE(window_->ProgressBar1->Value(), 0.001);
}

void tst_frmMain::aFailedRunKeepsTheExistingReport() {
    vagliante::test::WriteFile(dir_->File("OUT.TXT"), "earlier report");
    window_->Text1->setText(QString::fromStdString(dir_->File("missing.bin")));
    window_->Text2->setText(QString::fromStdString(dir_->File("OUT.TXT")));
    window_->Command1->click();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].icon, MessageIcon::Critical);
    QCOMPARE(QString::fromStdString(vagliante::test::ReadFile(dir_->File("OUT.TXT"))),
             QString("earlier report"));
    QCOMPARE(dir_->List(), std::vector<std::string>{"OUT.TXT"});
}

void tst_frmMain::menuOpensTheConversionWindowWithItsMode() {
    for (auto [action, mode] : {std::pair{window_->T1, "B2T"}, std::pair{window_->T2, "T2B"}}) {
        QString seenMode;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<vagliante::frmCnv*>(QApplication::activeModalWidget());
            QVERIFY(form);
            seenMode = form->Chiamatoda;
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
