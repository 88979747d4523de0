#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "about/frm_about.h"
#include "about/sys_info.h"
#include "tests/about/fakes.h"
#include "tests/support/qt_support.h"
#include "ui/qt/qt_form.h"

using vagliante::ui::qt::QtForm;

class tst_frmAbout : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void window();
    void okClosesAndEscDoesNot();
    void sysInfo();
    void screenshot() { vagliante::test::SaveScreenshot(window_.get(), "frm_about"); }

  private:
    QPushButton* cmdOK() const { return window_->Control<QPushButton>("cmdOK"); }
    QPushButton* cmdSysInfo() const { return window_->Control<QPushButton>("cmdSysInfo"); }

    vagliante::test::FakeRegistry registry_;
    vagliante::test::FakeLauncher launcher_;
    std::unique_ptr<vagliante::frmAbout> form_;
    std::unique_ptr<QtForm> window_;
    std::unique_ptr<vagliante::test::ScriptedUser> user_;
};

void tst_frmAbout::init() {
    registry_ = {};
    launcher_ = {};
    user_ = std::make_unique<vagliante::test::ScriptedUser>();
    form_ = std::make_unique<vagliante::frmAbout>(registry_, launcher_);
    window_ = QtForm::Create(*form_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void tst_frmAbout::cleanup() {
    window_.reset();
    form_.reset();
    user_.reset();
}

struct Control {
    const char* name;
    const char* text;
    QRect twips;  // left, top, width, height
    double points;
    bool bold;
    bool red;
};
const Control kControls[] = {
    {"cmdOK", "&Ok", {3960, 180, 1245, 345}, 0, false, false},
    {"cmdSysInfo", "&System Info...", {3960, 600, 1245, 345}, 0, false, false},
    {"Frame1", "", {120, 60, 3675, 1875}, 0, false, false},
    {"lblTitle", "VAGLIANTE", {150, 240, 3360, 255}, 9.75, true, true},
    {"lblVersion", "Versione 1.2.1", {150, 540, 3360, 255}, 9.75, true, true},
    {"Label2", "prodotto da", {150, 900, 3360, 255}, 9.75, false, false},
    {"lblDescription", "Quadrivio", {150, 1140, 3360, 255}, 12, true, false},
    {"Label1", "www.quadrivio.example", {150, 1440, 3360, 255}, 9.75, false, false},
};

void tst_frmAbout::controls_data() {
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kControls)); ++row) {
        QTest::newRow(kControls[row].name) << row;
    }
}

void tst_frmAbout::controls() {
    QFETCH(int, row);
    const Control& c = kControls[row];
    const QString text = QString::fromUtf8(c.text);
    auto* widget = window_->findChild<QWidget*>(c.name);
    QVERIFY(widget);
    const QRect px(c.twips.x() / 15, c.twips.y() / 15, c.twips.width() / 15, c.twips.height() / 15);
    QCOMPARE(widget->geometry(), px);
    if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->text(), text);
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) QCOMPARE(frame->title(), text);
    auto* label = qobject_cast<QLabel*>(widget);
    if (!label) return;
    QCOMPARE(label->text(), text);
    QCOMPARE(label->parentWidget(), window_->Control<QGroupBox>("Frame1"));
    QCOMPARE(label->font().family(), QString("MS Sans Serif"));
    QCOMPARE(label->font().pointSizeF(), c.points);
    QCOMPARE(label->font().bold(), c.bold);
    QCOMPARE(label->palette().color(QPalette::WindowText),
             c.red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    QVERIFY(label->alignment() & Qt::AlignHCenter);
    // Every text whole inside its box, whatever font stands in.
    const QRect ink = QFontMetrics(label->font()).tightBoundingRect(text);
    QVERIFY(ink.width() <= px.width() && ink.height() <= px.height());
}

void tst_frmAbout::window() {
    QCOMPARE(window_->windowTitle(), QString("Informazioni su VAGLIANTE"));
    QCOMPARE(window_->size(), QSize(357, 138));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QVERIFY(cmdOK()->hasFocus());
}

void tst_frmAbout::okClosesAndEscDoesNot() {
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QVERIFY(window_->isVisible());
    QTest::mouseClick(cmdOK(), Qt::LeftButton);
    QVERIFY(!window_->isVisible());
}

void tst_frmAbout::sysInfo() {
    QTest::mouseClick(cmdSysInfo(), Qt::LeftButton);
    QCOMPARE(user_->messages.size(), size_t(1));
    QCOMPARE(user_->messages[0].text,
             QString("Le informazioni sul sistema non sono attualmente disponibili."));
    QCOMPARE(user_->messages[0].title, QString("Vagliante"));
    QCOMPARE(user_->messages[0].icon, vagliante::ui::MessageIcon::None);

    registry_.keys[vagliante::kSysInfoPathKey]["PATH"] = {vagliante::kRegSz, "/usr/bin/hardinfo2"};
    QTest::mouseClick(cmdSysInfo(), Qt::LeftButton);
    QCOMPARE(launcher_.started, std::vector<std::string>{"/usr/bin/hardinfo2"});
    QCOMPARE(user_->messages.size(), size_t(1));
    QVERIFY(window_->isVisible());
}

QTEST_MAIN(tst_frmAbout)
#include "tst_frm_about.moc"
