#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"
#include "ui/message_box.h"
#include "ui/progress_bar.h"

using vagliante::frmCnv;
using vagliante::ui::CommonDialog;
using vagliante::ui::Message;
using vagliante::ui::MessageIcon;

namespace {
const QString kLogFilter = "Log file (*.BIN)|*.BIN";
const QString kTextFilter = "Text file (*.TXT)|*.TXT";
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
    void escDoesNotCloseTheWindow();
    void screenshots();

  private:
    std::unique_ptr<frmCnv> Open(const QString& mode);
    QString Path(const char* name) const { return QString::fromStdString(dir_->File(name)); }

    std::vector<CommonDialog::Request> requests_;
    std::vector<std::optional<QString>> answers_;
    std::vector<Message> messages_;
    std::unique_ptr<vagliante::test::TempDir> dir_;
};

void tst_frmCnv::init() {
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
}

void tst_frmCnv::cleanup() {
    CommonDialog::SetScript({});
    vagliante::ui::SetMessageScript({});
    dir_.reset();
}

// As the main window does it: load, set the mode, show.
std::unique_ptr<frmCnv> tst_frmCnv::Open(const QString& mode) {
    auto form = std::make_unique<frmCnv>();
    form->Chiamatoda = mode;
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return nullptr;
    return form;
}

void tst_frmCnv::designStateUntilShown() {
    frmCnv form;
    QCOMPARE(form.windowTitle(), QString("Conversione"));
    QCOMPARE(form.Label2->text(), QString("File sorgente"));
    QCOMPARE(form.Label4->text(), QString("File destinazione"));
    QCOMPARE(form.Command1->text(), QString("Converti"));
    QCOMPARE(form.Command2->text(), QString("Esci"));
    QCOMPARE(form.Command3->text(), QString("..."));
    QVERIFY(form.Text1->text().isEmpty() && form.Text2->text().isEmpty());
    QCOMPARE(form.ProgressBar1->Value(), 0.001);
    QCOMPARE(form.ProgressBar1->Min(), 0.0001);
    QVERIFY(form.Chiamatoda.isEmpty());
    QVERIFY(form.windowFlags().testFlag(Qt::Tool));  // not in the task bar
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.size(), QSize(485, 175));
    QVERIFY(!form.windowIcon().isNull());
    for (auto* button : {form.Command1, form.Command2, form.Command3, form.Command4})
        QVERIFY(!button->isDefault() && !button->autoDefault());
    QCOMPARE(form.findChild<QLineEdit*>("Text2"), form.Text2);
    QCOMPARE(form.findChild<vagliante::ui::ProgressBar*>("ProgressBar1"), form.ProgressBar1);
}

void tst_frmCnv::controlsStandWhereTheyBelong() {
    auto form = Open("B2T");
    QVERIFY(form);
    QCOMPARE(form->Label2->geometry(), QRect(16, 24, 169, 17));
    QCOMPARE(form->Text1->geometry(), QRect(16, 40, 313, 19));
    QCOMPARE(form->Command3->geometry(), QRect(328, 40, 17, 17));
    QCOMPARE(form->Label4->geometry(), QRect(16, 72, 169, 17));
    QCOMPARE(form->Text2->geometry(), QRect(16, 88, 313, 19));
    QCOMPARE(form->Command4->geometry(), QRect(328, 88, 17, 17));
    QCOMPARE(form->ProgressBar1->geometry(), QRect(16, 128, 313, 25));
    QCOMPARE(form->Command1->geometry(), QRect(368, 32, 97, 25));
    QCOMPARE(form->Command2->geometry(), QRect(368, 64, 97, 25));
    QCOMPARE(form->focusWidget(), form->Command1);

    QList<QWidget*> chain;
    QWidget* w = form->Command1;
    for (int i = 0; i < 6; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        chain << w;
    }
    QList<QWidget*> expected{form->Command1, form->Command2, form->Command3,
                             form->Command4, form->Text1,    form->Text2};
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
    QTEST(form->windowTitle(), "title");
    QTEST(form->Label2->text(), "source");
    QTEST(form->Label4->text(), "destination");
    // Every caption fits its label.
    for (auto* label : {form->Label2, form->Label4})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    for (auto* button : {form->Command1, form->Command2})
        QVERIFY(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width());
}

void tst_frmCnv::activationAppliesTheModeSetAfterLoading() {
    auto form = Open("B2T");
    QVERIFY(form);
    form->Chiamatoda = "T2B";
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form.get(), &activate);
    QCOMPARE(form->windowTitle(), QString("Conversione TXT->BIN"));
    QCOMPARE(form->Label2->text(), QString("File TXT sorgente"));
}

void tst_frmCnv::reopenedFromTheOtherMenuItemShowsTheOtherMode() {
    vagliante::frmMain main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    struct Seen {
        QString title, label2, label4, text1, text2;
    };
    std::vector<Seen> seen;
    for (QAction* action : {main.T1, main.T2}) {
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<frmCnv*>(QApplication::activeModalWidget());
            QVERIFY(form);
            seen.push_back({form->windowTitle(), form->Label2->text(), form->Label4->text(),
                            form->Text1->text(), form->Text2->text()});
            form->Text1->setText("/logs/a.BIN");  // must not survive into the next opening
            form->Command2->click();
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
    answers_ = {QString("/in/a"), std::nullopt, QString("/out/b"), std::nullopt};
    form->Command3->click();
    QCOMPARE(form->Text1->text(), QString("/in/a"));
    form->Command3->click();
    QVERIFY(form->Text1->text().isEmpty());  // cancel empties the box
    form->Command4->click();
    QCOMPARE(form->Text2->text(), QString("/out/b"));
    form->Command4->click();
    QVERIFY(form->Text2->text().isEmpty());

    QCOMPARE(requests_.size(), size_t{4});
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& r = requests_[i];
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
    form->Command3->click();
    form->Chiamatoda = "t2b";
    form->Command3->click();
    form->Command4->click();
    QCOMPARE(requests_.size(), size_t{3});
    QCOMPARE(requests_[1].filter, kLogFilter);  // as last set
    QCOMPARE(requests_[2].filter, kLogFilter);

    vagliante::test::WriteFile(dir_->File("in.BIN"), "\x01");
    form->Text1->setText(Path("in.BIN"));
    form->Text2->setText(Path("out.TXT"));
    form->Command1->click();
    QVERIFY(messages_.empty());
    QCOMPARE(dir_->List(), std::vector<std::string>{"in.BIN"});
}

void tst_frmCnv::convertiRunsTheConversionOfTheMode() {
    vagliante::test::WriteFile(dir_->File("in.BIN"),
                               vagliante::test::Bytes({0x00, 0x0A, 0x84, 0xFF}));
    auto b2t = Open("B2T");
    QVERIFY(b2t);
    b2t->Text1->setText(Path("in.BIN"));
    b2t->Text2->setText(Path("out.TXT"));
    b2t->Command1->click();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].text, QString("Conversione conclusa"));
    QCOMPARE(messages_[0].title, QString("Messaggio"));
    QCOMPARE(messages_[0].icon, MessageIcon::Information);
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("000A84FF"));
    QCOMPARE(b2t->ProgressBar1->Value(), 0.001);
    QCOMPARE(b2t->Text1->text(), Path("in.BIN"));  // the paths stay for another run

    auto t2b = Open("T2B");
    QVERIFY(t2b);
    t2b->Text1->setText(Path("out.TXT"));
    t2b->Text2->setText(Path("back.BIN"));
    t2b->Command1->click();
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[1].text, QString("Conversione conclusa"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("back.BIN")),
             vagliante::test::ReadFile(dir_->File("in.BIN")));
}

void tst_frmCnv::errorIsShownAndTheWindowGoesOn() {
    vagliante::test::WriteFile(dir_->File("out.TXT"), "old");
    auto form = Open("B2T");
    QVERIFY(form);
    form->Text1->setText(Path("missing.BIN"));
    form->Text2->setText(Path("out.TXT"));
    form->Command1->click();
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].icon, MessageIcon::Critical);
    QVERIFY2(messages_[0].text.startsWith("Errore 53"), qPrintable(messages_[0].text));
    QVERIFY(messages_[0].text.contains("missing.BIN"));
    QVERIFY(form->isVisible());
    QCOMPARE(form->ProgressBar1->Value(), 0.001);
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("old"));

    vagliante::test::WriteFile(dir_->File("missing.BIN"), "\xAB");
    form->Command1->click();
    QCOMPARE(messages_.size(), size_t{2});
    QCOMPARE(messages_[1].text, QString("Conversione conclusa"));
    QCOMPARE(vagliante::test::ReadFile(dir_->File("out.TXT")), std::string("AB"));
}

void tst_frmCnv::boxesAcceptTypingAndPasting() {
    auto form = Open("T2B");
    QVERIFY(form);
    QTest::keyClicks(form->Text1, "/logs/x.TXT");
    QCOMPARE(form->Text1->text(), QString("/logs/x.TXT"));
    QVERIFY(!form->Text2->isReadOnly());
    QApplication::clipboard()->setText("/logs/y.BIN");
    form->Text2->setFocus();
    form->Text2->paste();
    QCOMPARE(form->Text2->text(), QString("/logs/y.BIN"));
}

void tst_frmCnv::escDoesNotCloseTheWindow() {
    auto form = Open("B2T");
    QVERIFY(form);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QTest::keyClick(form->Command1, Qt::Key_Return);
    QVERIFY(form->isVisible());
    QVERIFY(messages_.empty());
    form->Command2->click();
    QVERIFY(!form->isVisible());
}

void tst_frmCnv::screenshots() {
    for (const char* mode : {"B2T", "T2B"}) {
        auto form = Open(mode);
        QVERIFY(form);
        form->Text1->setText(QString("/home/utente/log/centrale-") + mode + ".dat");
        vagliante::test::SaveScreenshot(form.get(), QString("frmCnv-") + mode);
    }
}

QTEST_MAIN(tst_frmCnv)
#include "tst_frm_cnv.moc"
