// frmMain's handlers over a window without a toolkit: the order of their
// steps, what they ask the dialogs, what they run and what they show.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "filter/filters.h"
#include "tests/support/test_support.h"
#include "tests/ui/fake_view.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::FakeView;
using ui::FileDialogKind;
using ui::MessageIcon;

class FrmMainTest : public testing::Test {
  protected:
    test::TempDir dir_;
    frmMain form_;
    FakeView view_{form_};
};

TEST_F(FrmMainTest, OpensWithTheDesignStateAndAnEmptyBar) {
    EXPECT_EQ(view_.Title(), "Vagliante 1.2.1 - by Quadrivio");
    EXPECT_EQ(view_.Bar("ProgressBar1").Value(), 0.001);
    EXPECT_EQ(view_.Bar("ProgressBar1").Min(), 0.0001);
    EXPECT_EQ(view_.Bar("ProgressBar1").Step(), 0);
    EXPECT_TRUE(view_.Selected("Option1"));
    EXPECT_FALSE(view_.Selected("Option2"));
    EXPECT_EQ(view_.Text("Text1"), "");
    EXPECT_EQ(view_.Text("Text2"), "");
    EXPECT_EQ(view_.Text("Command1"), "Filtra");
    EXPECT_EQ(ui::TabOrder(kFrmMainDesign).front()->name, "Command1");  // the focus at start
    EXPECT_TRUE(view_.events.empty());  // loading asks nothing of the user
}

TEST_F(FrmMainTest, SourceDialogIsPreparedAndItsAnswerOrCancelFillsTheBox) {
    view_.Type("Text1", "/old/path.BIN");
    view_.answers = {std::string("/logs/a.BIN"), std::nullopt};
    view_.Click("Command3");
    EXPECT_EQ(view_.Text("Text1"), "/logs/a.BIN");
    view_.Click("Command3");
    EXPECT_EQ(view_.Text("Text1"), "");  // cancelled: emptied, not the old path
    ASSERT_EQ(view_.requests.size(), 2u);
    for (const ui::FileDialogRequest& r : view_.requests) {
        EXPECT_EQ(r.kind, FileDialogKind::Open);
        EXPECT_EQ(r.dialogTitle, "Scegli il file sorgente");
        EXPECT_EQ(r.filter, "Log file (*.BIN)|*.BIN");
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_EQ(r.fileName, "");  // never the path already in the box
    }
    EXPECT_EQ(view_.Text("Text2"), "");
}

TEST_F(FrmMainTest, DestinationDialogIsASaveDialogForText) {
    view_.answers = {std::string("/logs/out.TXT"), std::nullopt};
    view_.Click("Command4");
    EXPECT_EQ(view_.Text("Text2"), "/logs/out.TXT");
    view_.Click("Command4");
    EXPECT_EQ(view_.Text("Text2"), "");
    for (const ui::FileDialogRequest& r : view_.requests) {
        EXPECT_EQ(r.kind, FileDialogKind::Save);
        EXPECT_EQ(r.dialogTitle, "Scegli il file destinazione");
        EXPECT_EQ(r.filter, "Text file (*.TXT)|*.TXT");
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_EQ(r.defaultExt, "TXT");
        EXPECT_EQ(r.fileName, "");
    }
    EXPECT_EQ(view_.Text("Text1"), "");
}

TEST_F(FrmMainTest, FiltraRunsOnlyTheSelectedFilterBusyThenItsMessage) {
    samples::Rng rng(11);
    test::WriteFile(dir_.File("LOG.BIN"), samples::MixedCatalogue(rng));
    view_.Type("Text1", dir_.File("LOG.BIN"));
    view_.Type("Text2", dir_.File("OUT.TXT"));

    view_.Click("Command1");
    EXPECT_EQ(view_.events, (std::vector<std::string>{"busy", "message"}));
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].text, "File creato con successo");
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"LOG.BIN", "OUT.TXT"}));

    view_.Choose("Option2");
    test::RemoveFile(dir_.File("OUT.TXT"));
    view_.Click("Command1");
    ASSERT_EQ(view_.messages.size(), 2u);
    EXPECT_EQ(view_.messages[1].text, "Files creati con successo");
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"LOG.BIN", "OUT-5C.TXT", "OUT-63-70.TXT",
                                                     "OUT-63-71.TXT"}));
    EXPECT_EQ(view_.Bar("ProgressBar1").Value(), 0.001);
    // The paths and the choice stay for the next run.
    EXPECT_EQ(view_.Text("Text1"), dir_.File("LOG.BIN"));
    EXPECT_TRUE(view_.Selected("Option2"));

    // Each completion message carries the run's summary as its details,
    // the summary vagliante-cli --summary prints (without its last line end).
    NullProgress quiet;
    auto summary = [](std::string text) {
        text.pop_back();
        return text;
    };
    EXPECT_EQ(
        view_.messages[1].details,
        summary(SummaryText(FilterActivation(dir_.File("LOG.BIN"), dir_.File("OUT.TXT"), quiet))));
    EXPECT_EQ(
        view_.messages[0].details,
        summary(SummaryText(FilterUpdate(dir_.File("LOG.BIN"), dir_.File("OUT.TXT"), quiet))));
    EXPECT_EQ(view_.messages[0].details.rfind("Record nel log: ", 0), 0u);
}

TEST_F(FrmMainTest, AFailureIsShownWithItsNumberAndTheWindowGoesOn) {
    test::WriteFile(dir_.File("OUT.TXT"), "earlier report");
    view_.Type("Text1", dir_.File("missing.bin"));
    view_.Type("Text2", dir_.File("OUT.TXT"));
    view_.Click("Command1");
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(view_.messages[0].text.rfind("Errore 53: Impossibile trovare il file", 0), 0u)
        << view_.messages[0].text;
    EXPECT_NE(view_.messages[0].text.find("missing.bin"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir_.File("OUT.TXT")), "earlier report");
    EXPECT_EQ(view_.Bar("ProgressBar1").Value(), 0.001);
    EXPECT_FALSE(view_.closed());
}

TEST_F(FrmMainTest, AnEmptyBoxIsNamedInTheMessageTheSourceFirstAndNothingRuns) {
    test::WriteFile(dir_.File("OUT.TXT"), "earlier report");
    const struct {
        const char* source;
        const char* destination;
        const char* message;
    } cases[] = {
        {"", "",
         "Errore 52: Nome o numero di file non valido: il campo \"File .bin sorgente\" è vuoto"},
        {" \t", "x",
         "Errore 52: Nome o numero di file non valido: il campo \"File .bin sorgente\" è vuoto"},
        {"\"\"", "x",
         "Errore 52: Nome o numero di file non valido: il campo \"File .bin sorgente\" è vuoto"},
        {"LOG.BIN", "",
         "Errore 52: Nome o numero di file non valido: il campo \"File .txt destinazione\" è "
         "vuoto"},
    };
    for (const char* option : {"Option1", "Option2"}) {
        view_.Choose(option);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(option) + " [" + c.source + "] [" + c.destination + "]");
            view_.messages.clear();
            view_.Type("Text1", c.source[0] == 'L' ? dir_.File(c.source) : c.source);
            view_.Type("Text2", c.destination);
            view_.Click("Command1");
            ASSERT_EQ(view_.messages.size(), 1u);
            EXPECT_EQ(view_.messages[0].text, c.message);
            EXPECT_EQ(view_.messages[0].icon, MessageIcon::Critical);
        }
    }
    EXPECT_EQ(dir_.List(), std::vector<std::string>{"OUT.TXT"});
    EXPECT_EQ(test::ReadFile(dir_.File("OUT.TXT")), "earlier report");
}

TEST_F(FrmMainTest, PathsPastedInQuotesOrAsAddressesAreUsedAsPaths) {
    samples::Rng rng(11);
    test::MakeFolder(dir_.File("log di prova"));
    const std::string log = dir_.File("log di prova/LOG 1.BIN");
    test::WriteFile(log, samples::MixedCatalogue(rng));
    // Explorer's "Copy as path", blanks around it included.
    view_.Type("Text1", "\"" + log + "\"");
    view_.Type("Text2", "  \"" + dir_.File("OUT.TXT") + "\"\r\n");
    view_.Click("Command1");
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].text, "File creato con successo");
    EXPECT_EQ(test::SplitCrLf(test::ReadFile(dir_.File("OUT.TXT"))).size(), 15u);

    // A file manager's address, spaces escaped.
    std::string address = dir_.File("log%20di%20prova/LOG%201.BIN");
    std::replace(address.begin(), address.end(), '\\', '/');  // C:/Users/... on Windows
    address = (address.front() == '/' ? "file://" : "file:///") + address;
    view_.Type("Text1", address);
    view_.Type("Text2", dir_.File("ALTRO.TXT"));
    view_.Click("Command1");
    ASSERT_EQ(view_.messages.size(), 2u);
    EXPECT_EQ(view_.messages[1].text, "File creato con successo");
    EXPECT_EQ(test::ReadFile(dir_.File("ALTRO.TXT")), test::ReadFile(dir_.File("OUT.TXT")));
}

TEST_F(FrmMainTest, DialogsOpenInTheFolderOfTheirBoxOrElseOfTheOtherBox) {
    test::MakeFolder(dir_.File("logs"));
    test::MakeFolder(dir_.File("reports"));
    test::WriteFile(dir_.File("logs/LOG.BIN"), "");
    auto folders = [&] {
        view_.requests.clear();
        view_.answers = {std::nullopt, std::nullopt};
        const std::string source = view_.Text("Text1"), destination = view_.Text("Text2");
        view_.Click("Command3");
        view_.Type("Text1", source);  // a cancel empties the box: put it back
        view_.Click("Command4");
        view_.Type("Text2", destination);
        EXPECT_EQ(view_.requests[0].fileName, "");  // the name still starts empty
        EXPECT_EQ(view_.requests[1].fileName, "");
        return std::pair{view_.requests[0].initDir, view_.requests[1].initDir};
    };
    view_.Type("Text1", dir_.File("logs/LOG.BIN"));
    EXPECT_EQ(folders(), std::pair(dir_.File("logs"), dir_.File("logs")));  // the source's

    view_.Type("Text2", dir_.File("reports/NEW.TXT"));  // not there yet
    EXPECT_EQ(folders(), std::pair(dir_.File("logs"), dir_.File("reports")));

    view_.Type("Text1", "");
    EXPECT_EQ(folders(), std::pair(dir_.File("reports"), dir_.File("reports")));
}

TEST_F(FrmMainTest, AFileDroppedFillsTheBoxUnderItElseTheSource) {
    EXPECT_TRUE(view_.Drop("Text2", "/logs/OUT.TXT"));
    EXPECT_EQ(view_.Text("Text2"), "/logs/OUT.TXT");
    EXPECT_EQ(view_.Text("Text1"), "");
    for (const char* elsewhere : {"", "Command1", "Label4", "ProgressBar1", "Option2"}) {
        view_.Type("Text1", "");
        EXPECT_TRUE(view_.Drop(elsewhere, "/logs/città.BIN")) << elsewhere;
        EXPECT_EQ(view_.Text("Text1"), "/logs/città.BIN") << elsewhere;
    }
    EXPECT_TRUE(view_.Drop("Text1", "/logs/B.BIN"));
    EXPECT_EQ(view_.Text("Text1"), "/logs/B.BIN");
    EXPECT_EQ(view_.Text("Text2"), "/logs/OUT.TXT");
    EXPECT_TRUE(view_.events.empty());  // no dialog, no run
}

TEST_F(FrmMainTest, EsciDuringARunStopsItReplacesNothingShowsNothingAndCloses) {
    // A log long enough that the run is still reading when Esci is pressed.
    test::WriteFile(dir_.File("LOG.BIN"), std::string(64 << 20, '\x84'));
    const std::vector<std::string> old = {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT",
                                          "OUT.TXT"};
    for (const std::string& name : old) test::WriteFile(dir_.File(name), "earlier " + name);
    for (const char* option : {"Option1", "Option2"}) {
        SCOPED_TRACE(option);
        frmMain form;
        FakeView view(form);
        view.Choose(option);
        view.Type("Text1", dir_.File("LOG.BIN"));
        view.Type("Text2", dir_.File("OUT.TXT"));
        view.duringRun = [&] { view.Click("Command2"); };
        view.Click("Command1");
        EXPECT_TRUE(view.messages.empty());
        EXPECT_EQ(view.events, (std::vector<std::string>{"busy", "close"}));
        EXPECT_TRUE(view.closed());
        for (const std::string& name : old)
            EXPECT_EQ(test::ReadFile(dir_.File(name)), "earlier " + name);
        std::vector<std::string> files = old;
        files.insert(files.begin(), "LOG.BIN");
        EXPECT_EQ(dir_.List(), files);  // no temporary file left
    }
}

TEST_F(FrmMainTest, EsciClosesTheWindow) {
    view_.Click("Command2");
    EXPECT_TRUE(view_.closed());
    EXPECT_EQ(view_.events, std::vector<std::string>{"close"});
}

TEST_F(FrmMainTest, ToolsItemsLoadTheConversionWindowThenSetItsModeThenShowIt) {
    struct Seen {
        const ConversionMode* mode;
        std::string title, label2, text1;
    };
    std::vector<Seen> seen;
    view_.onModal = [&](FakeView& modal) {
        auto& cnv = dynamic_cast<frmCnv&>(modal.form());
        seen.push_back({cnv.Chiamatoda, modal.Title(), modal.Text("Label2"), modal.Text("Text1")});
        modal.Type("Text1", "/logs/a.BIN");  // must not survive into the next opening
        modal.Click("Command2");
        EXPECT_TRUE(modal.closed());
    };
    view_.Click("T1");
    view_.Click("T2");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].mode, &kBinToTxt);
    EXPECT_EQ(seen[0].title, "Conversione BIN->TXT");
    EXPECT_EQ(seen[0].label2, "File BIN sorgente");
    EXPECT_EQ(seen[1].mode, &kTxtToBin);
    EXPECT_EQ(seen[1].title, "Conversione TXT->BIN");
    EXPECT_EQ(seen[1].label2, "File TXT sorgente");
    EXPECT_EQ(seen[1].text1, "");
    EXPECT_EQ(view_.events, (std::vector<std::string>{"load frmCnv", "modal frmCnv", "close",
                                                      "load frmCnv", "modal frmCnv", "close"}));
    EXPECT_EQ(view_.Title(), "Vagliante 1.2.1 - by Quadrivio");
    EXPECT_FALSE(view_.closed());
}

TEST_F(FrmMainTest, QuestionMarkOpensTheAboutWindowModally) {
    std::string title;
    view_.onModal = [&](FakeView& modal) {
        title = modal.Title();
        modal.Click("cmdOK");
    };
    view_.Click("INF");
    EXPECT_EQ(title, "Informazioni su VAGLIANTE");
    EXPECT_EQ(view_.events, (std::vector<std::string>{"load frmAbout", "modal frmAbout", "close"}));
}

}  // namespace
}  // namespace vagliante
