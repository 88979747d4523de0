// frmAbout's handlers over a window without a toolkit.
#include <gtest/gtest.h>

#include "about/frm_about.h"
#include "about/sys_info.h"
#include "tests/about/fakes.h"
#include "tests/ui/fake_view.h"

namespace vagliante {
namespace {

class FrmAboutTest : public testing::Test {
  protected:
    test::FakeRegistry registry_;
    test::FakeLauncher launcher_;
    frmAbout form_{registry_, launcher_};
    test::FakeView view_{form_};
};

TEST_F(FrmAboutTest, LoadSetsTheTitleVersionAndProgramName) {
    EXPECT_EQ(view_.Title(), "Informazioni su VAGLIANTE");
    EXPECT_EQ(view_.Text("lblTitle"), "VAGLIANTE");
    EXPECT_EQ(view_.Text("lblVersion"), "Versione 1.2.1");
    EXPECT_EQ(view_.Text("Label2"), "prodotto da");
    EXPECT_EQ(view_.Text("lblDescription"), "Quadrivio");
    EXPECT_EQ(view_.Text("cmdOK"), "&Ok");
    EXPECT_EQ(ui::TabOrder(kFrmAboutDesign).front()->name, "cmdOK");
    EXPECT_TRUE(view_.events.empty());
}

TEST_F(FrmAboutTest, OkClosesTheWindow) {
    view_.Click("cmdOK");
    EXPECT_TRUE(view_.closed());
}

TEST_F(FrmAboutTest, SystemInfoStartsTheProgramOrSaysThereIsNone) {
    view_.Click("cmdSysInfo");
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].text,
              "Le informazioni sul sistema non sono attualmente disponibili.");
    EXPECT_EQ(view_.messages[0].title, "Vagliante");
    EXPECT_EQ(view_.messages[0].icon, ui::MessageIcon::None);

    registry_.keys[kSysInfoPathKey]["PATH"] = {kRegSz, "C:\\Programmi\\msinfo32.exe"};
    view_.Click("cmdSysInfo");
    EXPECT_EQ(launcher_.started, std::vector<std::string>{"C:\\Programmi\\msinfo32.exe"});
    EXPECT_EQ(view_.messages.size(), 1u);

    launcher_.startWorks = false;  // a failed start is the same message
    view_.Click("cmdSysInfo");
    EXPECT_EQ(view_.messages.size(), 2u);
    EXPECT_FALSE(view_.closed());
}

}  // namespace
}  // namespace vagliante
