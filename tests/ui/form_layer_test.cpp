// The form layer under every window: the progress bar's state, filter texts,
// the description's helpers, how a handler's run reports its end, and the
// run session every renderer passes its events to.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>
#include <set>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "about/frm_about.h"
#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "platform/progress.h"
#include "platform/run_error.h"
#include "tests/about/fakes.h"
#include "tests/support/test_support.h"
#include "tests/ui/accessible_names.h"
#include "tests/ui/fake_view.h"
#include "ui/form.h"
#include "ui/path_boxes.h"
#include "ui/run_session.h"

namespace vagliante {
namespace {

using ui::ControlKind;
using ui::FormDesign;
using ui::ProgressBar;

TEST(ProgressBarTest, StepFollowsTheFloatingBoundsOfTheRun) {
    ProgressBar bar;
    EXPECT_EQ(bar.Min(), 0.0001);
    EXPECT_EQ(bar.Max(), 100.0);
    bar.SetValue(kProgressEmpty);
    EXPECT_EQ(bar.Step(), 0);  // 0.001 of 100 draws nothing
    bar.SetMax(1001);          // a log of 1000 bytes
    bar.SetValue(1);
    EXPECT_EQ(bar.Step(), 1);
    bar.SetValue(501);
    EXPECT_EQ(bar.Step(), 500);
    bar.SetValue(1001);
    EXPECT_EQ(bar.Step(), ProgressBar::kSteps);
}

TEST(ProgressBarTest, OutOfRangeValuesDrawWithinTheBar) {
    ProgressBar bar;
    bar.SetMax(10);
    bar.SetValue(20);
    EXPECT_EQ(bar.Step(), ProgressBar::kSteps);
    bar.SetValue(-5);
    EXPECT_EQ(bar.Step(), 0);
    bar.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(bar.Step(), 0);
    bar.SetMax(0.0001);  // an empty span: nothing to draw
    bar.SetValue(0.0001);
    EXPECT_EQ(bar.Step(), 0);
}

TEST(ProgressBarTest, ListenerHearsOnlyChangesOfTheDrawnStep) {
    ProgressBar bar;
    std::vector<int> heard;
    bar.SetListener([&](int step) { heard.push_back(step); });
    EXPECT_EQ(heard, std::vector<int>{0});  // the state it starts from
    bar.SetMax(1'000'001);
    for (int p = 1; p <= 1'000'001; p += 100) bar.SetValue(p);  // 10,001 reports
    bar.SetValue(kProgressEmpty);
    // At most one call per step, in order, ending empty.
    EXPECT_LE(heard.size(), std::size_t{ProgressBar::kSteps + 2});
    EXPECT_EQ(heard.back(), 0);
    for (std::size_t i = 1; i + 1 < heard.size(); ++i) EXPECT_LT(heard[i - 1], heard[i]);
}

TEST(ProgressBarTest, StopRequestReachesTheCoreOnItsThread) {
    ProgressBar bar;
    EXPECT_FALSE(bar.StopRequested());
    bar.RequestStop();
    bool seen = false;
    std::thread worker([&] { seen = bar.StopRequested(); });
    worker.join();
    EXPECT_TRUE(seen);
    bar.ClearStop();
    EXPECT_FALSE(bar.StopRequested());
}

TEST(ParseFilterTest, PairsOfDescriptionAndPattern) {
    auto pairs = ui::ParseFilter("Log file (*.BIN)|*.BIN");
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].description, "Log file (*.BIN)");
    EXPECT_EQ(pairs[0].pattern, "*.BIN");

    pairs = ui::ParseFilter("Log (*.BIN)|*.BIN;*.DAT|Tutti|*.*");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].pattern, "*.BIN;*.DAT");
    EXPECT_EQ(pairs[1].description, "Tutti");
    EXPECT_EQ(pairs[1].pattern, "*.*");

    EXPECT_TRUE(ui::ParseFilter("").empty());
    EXPECT_TRUE(ui::ParseFilter("Solo descrizione").empty());
    EXPECT_EQ(ui::ParseFilter("A|*.a|B").size(), 1u);  // a lone description is dropped
}

// Every window's description, checked for what both renderers rely on.
class DescriptionTest : public testing::TestWithParam<const FormDesign*> {};

TEST_P(DescriptionTest, ControlsAreNamedOnceAndLieInsideTheirArea) {
    const FormDesign& form = *GetParam();
    std::set<std::string_view> names;
    std::set<int> tabIndexes;
    for (const ui::ControlDesign& c : form.controls) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_TRUE(names.insert(c.name).second) << "named twice";
        EXPECT_TRUE(tabIndexes.insert(c.tabIndex).second) << "tab order used twice";
        EXPECT_GT(c.width, 0);
        EXPECT_GT(c.height, 0);
        int right = form.width, bottom = form.height;
        if (!c.container.empty()) {
            const ui::ControlDesign* frame = ui::FindControl(form, c.container);
            ASSERT_NE(frame, nullptr);
            EXPECT_EQ(frame->kind, ControlKind::Frame);
            right = frame->width;
            bottom = frame->height;
        }
        EXPECT_GE(c.left, 0);
        EXPECT_GE(c.top, 0);
        EXPECT_LE(c.left + c.width, right);
        EXPECT_LE(c.top + c.height, bottom);
    }
    for (const ui::MenuDesign& menu : form.menu) {
        EXPECT_TRUE(names.insert(menu.name).second) << menu.name;
        for (const ui::MenuItemDesign& item : menu.items)
            EXPECT_TRUE(names.insert(item.name).second) << item.name;
    }
    // One option group at most, with exactly one option selected.
    int options = 0, selected = 0;
    for (const ui::ControlDesign& c : form.controls) {
        options += c.kind == ControlKind::OptionButton;
        selected += c.kind == ControlKind::OptionButton && c.selected;
    }
    if (options > 0) {
        EXPECT_EQ(selected, 1);
    }
    EXPECT_FALSE(ui::TabOrder(form).empty());
}

// What both renderers give assistive technology: every control the user can
// reach has a name, none shared in its window; a box is named by the label
// made right before it; the bar and menu commands have names.
TEST_P(DescriptionTest, EveryControlAScreenReaderMeetsHasANameOfItsOwn) {
    const FormDesign& form = *GetParam();
    std::set<std::string> names;
    for (const ui::ControlDesign* c : ui::TabOrder(form)) {
        const std::string name = test::AccessibleName(form, *c);
        EXPECT_NE(name.find_first_not_of(" .?"), std::string::npos) << c->name << ": " << name;
        EXPECT_TRUE(names.insert(name).second) << c->name << " shares its name: " << name;
    }
    const std::vector<const ui::ControlDesign*> order = ui::CreationOrder(form);
    EXPECT_EQ(order.size(), form.controls.size());
    for (const ui::ControlDesign& c : form.controls) {
        SCOPED_TRACE(std::string(c.name));
        if (c.kind == ControlKind::TextBox) {
            const ui::ControlDesign* label = ui::LabelOf(form, c.name);
            ASSERT_NE(label, nullptr) << "no label names it";
            EXPECT_EQ(label->kind, ControlKind::Label);
            const auto at = std::find(order.begin(), order.end(), &c);
            ASSERT_NE(at, order.begin());
            EXPECT_EQ(*(at - 1), label) << "its label is not made right before it";
        }
        if (!c.accessible.labelFor.empty()) {
            EXPECT_EQ(c.kind, ControlKind::Label);
            EXPECT_NE(ui::FindControl(form, c.accessible.labelFor), nullptr);
        }
        if (c.kind == ControlKind::ProgressBar) {
            EXPECT_FALSE(c.accessible.name.empty());
        }
    }
    for (const ui::MenuDesign& entry : form.menu) {
        const std::string name = test::AccessibleName(entry);
        EXPECT_NE(name.find_first_not_of(" .?"), std::string::npos) << entry.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, DescriptionTest,
                         testing::Values(&kFrmMainDesign, &kFrmCnvDesign, &kFrmAboutDesign),
                         [](const auto& info) { return std::string(info.param->name); });

TEST(DescriptionHelpersTest, TabOrderSkipsWhatTakesNoFocus) {
    std::vector<std::string_view> order;
    for (const ui::ControlDesign* c : ui::TabOrder(kFrmMainDesign)) order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string_view>{"Command1", "Command2", "Command3", "Command4",
                                                    "Option1", "Option2", "Text1", "Text2"}));
    order.clear();
    for (const ui::ControlDesign* c : ui::TabOrder(kFrmAboutDesign)) order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string_view>{"cmdOK", "cmdSysInfo"}));
    EXPECT_EQ(ui::CreationOrder(kFrmAboutDesign).size(), kFrmAboutDesign.controls.size());
}

TEST(DescriptionHelpersTest, FrameOffsetsTheControlsInsideIt) {
    const ui::ControlDesign* label = ui::FindControl(kFrmAboutDesign, "lblTitle");
    ASSERT_NE(label, nullptr);
    const ui::TwipsRect rect = ui::ClientRect(kFrmAboutDesign, *label);
    EXPECT_EQ(rect.left, 120 + 150);
    EXPECT_EQ(rect.top, 60 + 240);
    EXPECT_EQ(rect.width, 3360);
    EXPECT_EQ(ui::ClientRect(kFrmMainDesign, *ui::FindControl(kFrmMainDesign, "Text1")).left, 240);
    EXPECT_EQ(ui::FindControl(kFrmMainDesign, "Nothing"), nullptr);
}

TEST(DescriptionHelpersTest, MenuCommandsAreItemsAndEntriesWithoutItems) {
    EXPECT_TRUE(ui::IsMenuCommand(kFrmMainDesign, "T1"));
    EXPECT_TRUE(ui::IsMenuCommand(kFrmMainDesign, "T2"));
    EXPECT_TRUE(ui::IsMenuCommand(kFrmMainDesign, "INF"));
    EXPECT_FALSE(ui::IsMenuCommand(kFrmMainDesign, "T0"));  // only opens its list
    EXPECT_FALSE(ui::IsMenuCommand(kFrmMainDesign, "Command1"));
    EXPECT_FALSE(ui::IsMenuCommand(kFrmCnvDesign, "T1"));
}

TEST(DescriptionHelpersTest, TwipsArePixelsAtTheMonitorsResolution) {
    EXPECT_EQ(ui::TwipsToPixels(8655, 96), 577);
    EXPECT_EQ(ui::TwipsToPixels(8655, 144), 865);
    EXPECT_EQ(ui::TwipsToPixels(255, 96), 17);
    EXPECT_EQ(ui::TwipsToPixels(255, 192), 34);
}

// A minimal form: Command1 runs what a test gives it, Command2 closes the
// window, the menu command M1 fails; Text1 takes dropped files.
const ui::ControlDesign kRunControls[] = {
    {"Command1", ControlKind::Button, "Vai", 0, 0, 100, 100, 0},
    {"Command2", ControlKind::Button, "Esci", 100, 0, 100, 100, 1},
    {"Text1", ControlKind::TextBox, "", 0, 100, 100, 50, 2},
    {"Label1", ControlKind::Label, "Etichetta", 100, 100, 100, 50, 3},
    {"ProgressBar1", ControlKind::ProgressBar, "", 0, 150, 200, 50, 4},
};
const ui::MenuDesign kRunMenu[] = {{"M1", "&Menu"}};
const FormDesign kRunDesign = {
    "frmRun", "Prova",      200,      200,     ui::Border::FixedSingle,
    false,    kRunControls, kRunMenu, "Text1", "Command2",
};

class RunForm final : public ui::Form {
  public:
    RunForm() : Form(kRunDesign) {}
    std::function<std::string()> work;
    void Click(std::string_view control) override {
        if (control == "Command1") ui::RunAndReport(View(), work, "Fatto");
        if (control == "Command2") View().Close();
        if (control == "M1") throw std::runtime_error("guasto");
    }
};

// A message as the user sees it: text, title, icon and details.
using Shown = std::tuple<std::string, std::string, ui::MessageIcon, std::string>;
Shown AsShown(const ui::Message& m) { return {m.text, m.title, m.icon, m.details}; }
constexpr auto kCritical = ui::MessageIcon::Critical;

void WaitForStop(const ProgressBar& bar) {
    while (!bar.StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(RunAndReportTest, CompletionErrorsAndStopsEachReachTheUserTheirWay) {
    RunForm form;
    test::FakeView view(form);
    std::thread::id ran;
    form.work = [&] {
        ran = std::this_thread::get_id();
        return std::string("Record nel log: 3\nRighe scritte: 2\n");
    };
    view.Click("Command1");
    EXPECT_NE(ran, std::this_thread::get_id());  // on a worker thread
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(AsShown(view.messages[0]),  // no blank line below the details
              Shown("Fatto", "Messaggio", ui::MessageIcon::Information,
                    "Record nel log: 3\nRighe scritte: 2"));

    form.work = []() -> std::string {
        throw RunError(ErrorNumber::PathNotFound, "C:\\Log città\\x.BIN");
    };
    view.Click("Command1");
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(AsShown(view.messages[1]),
              Shown("Errore 76: Impossibile trovare il percorso: C:\\Log città\\x.BIN", "Vagliante",
                    kCritical, ""));

    form.work = []() -> std::string { throw RunStopped(); };
    view.Click("Command1");
    EXPECT_EQ(view.messages.size(), 2u);  // a stop is no failure: no message

    form.work = []() -> std::string { throw std::bad_alloc(); };
    view.Click("Command1");
    ASSERT_EQ(view.messages.size(), 3u);
    EXPECT_EQ(AsShown(view.messages[2]),
              Shown("Errore 7: Memoria esaurita", "Vagliante", kCritical, ""));

    // A stop asked before a run (left from an earlier one) does not stop it.
    ProgressBar& bar = view.Bar("ProgressBar1");
    form.work = [&] { return bar.StopRequested() ? "fermato" : ""; };
    bar.RequestStop();
    view.Click("Command1");
    ASSERT_EQ(view.messages.size(), 4u);
    EXPECT_EQ(view.messages[3].details, "");
}

TEST(RunSessionTest, ARunLooksBusyTakesOnlyTheExitButtonThenAllIsAsBefore) {
    RunForm form;
    test::FakeView view(form);
    view.FocusControl("Text1");
    form.work = [] { return std::string(); };
    bool looked = false;
    view.duringRun = [&] {
        looked = true;
        EXPECT_TRUE(ui::RunSession::Busy());
        for (const char* control : {"Command1", "Text1"})
            EXPECT_FALSE(view.ControlEnabled(control));
        EXPECT_TRUE(view.ControlEnabled("Command2"));
        EXPECT_TRUE(view.ControlEnabled("Label1"));
        EXPECT_FALSE(view.menuEnabled());
        EXPECT_TRUE(view.busyCursor());
        EXPECT_EQ(view.FocusedControl(), "");  // a key held down reaches no button
        // Nothing but the exit button answers, and no file is taken.
        view.Click("Command1");
        view.Click("M1");
        EXPECT_FALSE(view.Drop("", "/logs/ALTRO.BIN"));
        EXPECT_THROW(view.RunBusy([] {}), std::logic_error);  // one run at a time
    };
    view.Click("Command1");
    EXPECT_TRUE(looked);
    EXPECT_FALSE(ui::RunSession::Busy());
    for (const char* control : {"Command1", "Command2", "Text1"})
        EXPECT_TRUE(view.ControlEnabled(control));
    EXPECT_TRUE(view.menuEnabled());
    EXPECT_FALSE(view.busyCursor());
    EXPECT_EQ(view.FocusedControl(), "Text1");  // as before the run
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.Text("Text1"), "");

    // A control disabled before a run stays so; the focus it had goes to the
    // first control.
    view.duringRun = nullptr;
    view.EnableControl("Text1", false);
    view.Click("Command1");
    EXPECT_FALSE(view.ControlEnabled("Text1"));
    EXPECT_EQ(view.FocusedControl(), "Command1");
}

TEST(RunSessionTest, ClosingARunningWindowStopsTheRunThenClosesNoOtherWindowCloses) {
    RunForm form, other;
    test::FakeView view(form), otherView(other);
    ProgressBar& bar = view.Bar("ProgressBar1");
    form.work = [&]() -> std::string {
        WaitForStop(bar);
        throw RunStopped();
    };
    view.duringRun = [&] {
        otherView.Close();
        EXPECT_FALSE(otherView.closed());
        view.Click("Command2");
        EXPECT_FALSE(view.closed());  // until the handler that ran has ended
    };
    view.Click("Command1");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(view.closed());
    EXPECT_EQ(view.events, (std::vector<std::string>{"busy", "close"}));
    otherView.Close();
    EXPECT_TRUE(otherView.closed());

    // The end of the program's session: the run stopped and waited for.
    RunForm ending;
    test::FakeView endingView(ending);
    std::atomic<bool> unwound = false;
    ending.work = [&]() -> std::string {
        WaitForStop(endingView.Bar("ProgressBar1"));
        unwound = true;
        throw RunStopped();
    };
    endingView.duringRun = [&] {
        ui::RunSession::StopAndWait();
        EXPECT_TRUE(unwound);
    };
    endingView.Click("Command1");
    EXPECT_TRUE(unwound);
    EXPECT_FALSE(endingView.closed());
}

TEST(RunSessionTest, AHandlersFailureThatNothingCaughtIsShownAndTheWindowGoesOn) {
    RunForm form;
    test::FakeView view(form);
    view.Click("M1");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(AsShown(view.messages[0]), Shown("guasto", "Vagliante", kCritical, ""));
    EXPECT_FALSE(view.closed());
}

#if !defined(_WIN32) && !defined(VAGLIANTE_ASAN)
// A run whose thread cannot start (no address space left for its stack) is
// error 7, and the window is as before, not left busy for good.
bool RunWithoutRoomForAThread() {
    RunForm form;
    test::FakeView view(form);
    form.work = [] { return std::string(); };
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) return false;
    std::fclose(statm);
    const rlimit tight{static_cast<rlim_t>(pages) * 4096 + (1 << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &tight) != 0) return false;
    view.Click("Command1");
    return view.messages.size() == 1 && view.messages[0].text == "Errore 7: Memoria esaurita" &&
           !ui::RunSession::Busy() && view.ControlEnabled("Command1");
}

TEST(RunSessionTest, ARunWhoseThreadCannotStartIsErrorSevenAndTheWindowGoesOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no thread stacks cached
    EXPECT_EXIT(std::exit(RunWithoutRoomForAThread() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}
#endif

TEST(CommonDialogTest, CancelKeepsTheNameAndTheRequestCarriesEverySetting) {
    RunForm form;
    test::FakeView view(form);
    ui::CommonDialog dialog;
    dialog.SetFileName("prima.BIN");
    dialog.SetDialogTitle("Titolo");
    dialog.SetFilter("Log file (*.BIN)|*.BIN");
    dialog.SetFilterIndex(1);
    dialog.SetDefaultExt("TXT");
    dialog.SetInitDir("/logs");
    dialog.ShowSave(view);  // cancelled
    EXPECT_EQ(dialog.FileName(), "prima.BIN");
    ASSERT_EQ(view.requests.size(), 1u);
    const ui::FileDialogRequest& r = view.requests[0];
    EXPECT_EQ(r.kind, ui::FileDialogKind::Save);
    EXPECT_EQ(r.fileName, "prima.BIN");
    EXPECT_EQ(r.dialogTitle, "Titolo");
    EXPECT_EQ(r.filter, "Log file (*.BIN)|*.BIN");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.defaultExt, "TXT");
    EXPECT_EQ(r.initDir, "/logs");

    view.answers = {std::string("/logs/scelto.BIN")};
    dialog.ShowOpen(view);
    EXPECT_EQ(dialog.FileName(), "/logs/scelto.BIN");
    EXPECT_EQ(view.requests[1].kind, ui::FileDialogKind::Open);
}

// A POSIX path with the system's separators.
std::string Native(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

TEST(PathFromBoxTest, QuotesAndAddressesGiveThePathAnyOtherTextIsKept) {
    const std::pair<const char*, const char*> cases[] = {
        {"/logs/LOG.BIN", "/logs/LOG.BIN"},
        {"\"/logs/LOG 1.BIN\"", "/logs/LOG 1.BIN"},  // "Copy as path"
        {"  \"/logs/x.BIN\"\r\n", "/logs/x.BIN"},
        {"\"\"", ""},
        {" /logs/spazio ", " /logs/spazio "},  // unquoted: as typed
        {"\"/a\" \"/b\"", "\"/a\" \"/b\""},    // two paths: no path at all
        {"\"/logs/x.BIN", "\"/logs/x.BIN"},    // one quote only
        {"file:///logs/LOG%201.BIN", "/logs/LOG 1.BIN"},
        {"FILE://localhost/logs/citt%C3%A0.BIN", "/logs/città.BIN"},
        {"\"file:///logs/a.BIN\"", "/logs/a.BIN"},
        {"file:///logs/100%.BIN", "/logs/100%.BIN"},   // a lone % is a percent sign
        {"file:///logs/a%00b", "file:///logs/a%00b"},  // no path holds NUL
        {"http://host/x.BIN", "http://host/x.BIN"},
    };
    for (const auto& [text, path] : cases) {
        // An address gives the system's own separators.
        const bool fromAddress = std::string_view(text).find("://") != std::string_view::npos &&
                                 std::string_view(path).find("://") == std::string_view::npos;
        const std::string expected = fromAddress ? Native(path) : path;
        EXPECT_EQ(ui::PathFromBox(text), expected) << text;
    }
}

TEST(PathFromBoxTest, OnlyLocalFileAddressesArePaths) {
    EXPECT_EQ(ui::LocalPathFromUri("file:///tmp/a"), Native("/tmp/a"));
    EXPECT_EQ(ui::LocalPathFromUri("file://localhost/tmp/a"), Native("/tmp/a"));
    EXPECT_EQ(ui::LocalPathFromUri("file:/tmp/a"), std::nullopt);
    EXPECT_EQ(ui::LocalPathFromUri("file://"), std::nullopt);
    EXPECT_EQ(ui::LocalPathFromUri("smb://server/share/a"), std::nullopt);
#ifdef _WIN32
    EXPECT_EQ(ui::LocalPathFromUri("file:///C:/Log%20citt%C3%A0/a.bin"), "C:\\Log città\\a.bin");
    EXPECT_EQ(ui::LocalPathFromUri("file://server/share/a.bin"), "\\\\server\\share\\a.bin");
#else
    EXPECT_EQ(ui::LocalPathFromUri("file://server/share/a.bin"), std::nullopt);
#endif
}

TEST(DialogFolderTest, TheBoxsFolderElseTheOtherBoxsElseNone) {
    test::TempDir dir;
    test::MakeFolder(dir.File("logs"));
    EXPECT_EQ(ui::DialogFolder(dir.File("logs/LOG.BIN"), "/elsewhere/x"), dir.File("logs"));
    EXPECT_EQ(ui::DialogFolder(dir.File("logs"), ""), dir.File("logs"));  // a folder: itself
    EXPECT_EQ(ui::DialogFolder("\"" + dir.File("logs") + "\"", ""), dir.File("logs"));  // no quotes
    EXPECT_EQ(ui::DialogFolder(dir.Path() + "/", ""), dir.Path() + "/");
    EXPECT_EQ(ui::DialogFolder("", dir.File("logs/R.TXT")), dir.File("logs"));
    EXPECT_EQ(ui::DialogFolder(" ", "\"" + dir.File("logs/R.TXT") + "\""), dir.File("logs"));
    EXPECT_EQ(ui::DialogFolder("LOG.BIN", "/logs/R.TXT"), "");  // the current folder
    EXPECT_EQ(ui::DialogFolder("", ""), "");
    EXPECT_EQ(ui::DialogFolder("/LOG.BIN", ""), "/");
    EXPECT_EQ(ui::DialogFolder("/missing//LOG.BIN", ""), "/missing");
#ifdef _WIN32
    EXPECT_EQ(ui::DialogFolder("C:\\LOG.BIN", ""), "C:\\");
    EXPECT_EQ(ui::DialogFolder("C:\\Log città\\LOG.BIN", ""), "C:\\Log città");
    EXPECT_EQ(ui::DialogFolder("\\\\server\\share\\LOG.BIN", ""), "\\\\server\\share");
#endif
}

TEST(FileDroppedTest, AnAddressGivesItsPathAWindowUnderAModalOneOrWithoutADropBoxTakesNone) {
    RunForm form, modal;
    test::FakeView view(form);
    EXPECT_TRUE(view.Drop("Label1", "file:///logs/LOG%201.BIN"));  // from a file manager
    EXPECT_EQ(view.Text("Text1"), Native("/logs/LOG 1.BIN"));
    EXPECT_FALSE(view.Drop("", "file:/logs/B.BIN"));  // no path
#ifndef _WIN32
    EXPECT_FALSE(view.Drop("", "file://server/logs/B.BIN"));  // another machine's
#endif
    std::unique_ptr<ui::LoadedForm> over = view.Load(modal);
    view.onModal = [&](test::FakeView&) { EXPECT_FALSE(view.Drop("", "/logs/C.BIN")); };
    over->ShowModal();
    EXPECT_EQ(view.Text("Text1"), Native("/logs/LOG 1.BIN"));

    test::FakeRegistry registry;
    test::FakeLauncher launcher;
    frmAbout about(registry, launcher);
    test::FakeView aboutView(about);
    EXPECT_FALSE(aboutView.Drop("", "/logs/LOG.BIN"));
    EXPECT_FALSE(aboutView.Drop("cmdOK", "/logs/LOG.BIN"));
}

TEST(FormTest, AHandlerWithoutItsWindowFailsClearly) {
    RunForm form;
    EXPECT_THROW(form.Click("Command1"), std::logic_error);
}

}  // namespace
}  // namespace vagliante
