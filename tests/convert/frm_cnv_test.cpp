// frmCnv's handlers over a window without a toolkit: the mode decides the
// captions, the dialogs' filters and the conversion that "Converti" runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "convert/frm_cnv.h"
#include "tests/support/test_support.h"
#include "tests/ui/fake_view.h"

namespace vagliante {
namespace {

using test::FakeView;
using ui::FileDialogKind;

constexpr const char* kLogFilter = "Log file (*.BIN)|*.BIN";
constexpr const char* kTextFilter = "Text file (*.TXT)|*.TXT";

struct Mode {
    const char* name;
    const ConversionMode* mode;
    const char* title;
    const char* source;
    const char* destination;
    const char* openFilter;
    const char* saveFilter;
    const char* saveExt;  // added to a name typed without one
};

class FrmCnvModeTest : public testing::TestWithParam<Mode> {};

TEST_P(FrmCnvModeTest, ActivationAppliesTheModeAndTheDialogsOfferItsFilters) {
    const Mode& m = GetParam();
    frmCnv form;
    FakeView view(form);
    // Loaded before the mode is known: the design captions.
    EXPECT_EQ(view.Title(), "Conversione");
    EXPECT_EQ(view.Text("Label2"), "File sorgente");
    EXPECT_EQ(view.Text("Label4"), "File destinazione");
    EXPECT_EQ(view.Bar("ProgressBar1").Value(), 0.001);

    form.Chiamatoda = m.mode;
    view.Activate();
    EXPECT_EQ(view.Title(), m.title);
    EXPECT_EQ(view.Text("Label2"), m.source);
    EXPECT_EQ(view.Text("Label4"), m.destination);

    view.answers = {std::string("/in/a"), std::nullopt, std::string("/out/b"), std::nullopt};
    view.Click("Command3");
    EXPECT_EQ(view.Text("Text1"), "/in/a");
    view.Click("Command3");
    EXPECT_EQ(view.Text("Text1"), "");  // cancel empties the box
    view.Click("Command4");
    EXPECT_EQ(view.Text("Text2"), "/out/b");
    view.Click("Command4");
    EXPECT_EQ(view.Text("Text2"), "");
    ASSERT_EQ(view.requests.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const ui::FileDialogRequest& r = view.requests[i];
        const bool open = i < 2;
        EXPECT_EQ(r.kind, open ? FileDialogKind::Open : FileDialogKind::Save);
        EXPECT_EQ(r.dialogTitle, open ? "Scegli il file sorgente" : "Scegli il file destinazione");
        EXPECT_EQ(r.filter, open ? m.openFilter : m.saveFilter);
        EXPECT_EQ(r.filterIndex, 1);
        EXPECT_EQ(r.fileName, "");  // never the path already in the box
        if (!open) {
            EXPECT_EQ(r.defaultExt, m.saveExt);
        }
    }

    // An empty box is named by the caption the mode gave it.
    view.Click("Command1");
    view.Type("Text1", "x");
    view.Click("Command1");
    ASSERT_EQ(view.messages.size(), 2u);
    const std::string empty = "Errore 52: Nome o numero di file non valido: il campo \"";
    EXPECT_EQ(view.messages[0].text, empty + m.source + "\" è vuoto");
    EXPECT_EQ(view.messages[1].text, empty + m.destination + "\" è vuoto");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FrmCnvModeTest,
    testing::Values(Mode{"B2T", &kBinToTxt, "Conversione BIN->TXT", "File BIN sorgente",
                         "File TXT destinazione", kLogFilter, kTextFilter, "TXT"},
                    Mode{"T2B", &kTxtToBin, "Conversione TXT->BIN", "File TXT sorgente",
                         "File BIN destinazione", kTextFilter, kLogFilter, "BIN"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrmCnvTest, WithoutAModeTheDesignCaptionsAndTheLastFilterStayAndConvertiDoesNothing) {
    test::TempDir dir;
    frmCnv form;
    FakeView view(form);
    view.Activate();
    EXPECT_EQ(view.Title(), "Conversione");
    EXPECT_EQ(view.Text("Label2"), "File sorgente");
    form.Chiamatoda = &kBinToTxt;
    view.Click("Command3");
    form.Chiamatoda = nullptr;
    view.Click("Command3");
    view.Click("Command4");
    ASSERT_EQ(view.requests.size(), 3u);
    EXPECT_EQ(view.requests[1].filter, kLogFilter);  // as last set
    EXPECT_EQ(view.requests[2].filter, kLogFilter);

    test::WriteFile(dir.File("in.BIN"), "\x01");
    view.Type("Text1", dir.File("in.BIN"));
    view.Type("Text2", dir.File("out.TXT"));
    view.Click("Command1");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(dir.List(), std::vector<std::string>{"in.BIN"});
    EXPECT_EQ(std::count(view.events.begin(), view.events.end(), "busy"), 0);
}

TEST(FrmCnvTest, ConvertiRunsTheConversionOfTheModeAndBackEsciCloses) {
    test::TempDir dir;
    test::WriteFile(dir.File("in.BIN"), test::Bytes({0x00, 0x0A, 0x84, 0xFF}));
    frmCnv b2t;
    FakeView there(b2t);
    b2t.Chiamatoda = &kBinToTxt;
    EXPECT_TRUE(there.Drop("Command2", dir.File("in.BIN")));  // the source box takes it
    there.Type("Text2", dir.File("out.TXT"));
    there.Click("Command1");
    EXPECT_EQ(there.events, (std::vector<std::string>{"busy", "message"}));
    ASSERT_EQ(there.messages.size(), 1u);
    EXPECT_EQ(there.messages[0].text, "Conversione conclusa");
    EXPECT_EQ(test::ReadFile(dir.File("out.TXT")), "000A84FF");
    EXPECT_EQ(there.Bar("ProgressBar1").Value(), 0.001);
    there.Click("Command2");
    EXPECT_TRUE(there.closed());

    frmCnv t2b;
    FakeView back(t2b);
    t2b.Chiamatoda = &kTxtToBin;
    back.Type("Text1", dir.File("out.TXT"));
    back.Type("Text2", dir.File("back.BIN"));
    back.Click("Command1");
    ASSERT_EQ(back.messages.size(), 1u);
    EXPECT_EQ(back.messages[0].text, "Conversione conclusa");
    EXPECT_EQ(back.messages[0].details, "");
    EXPECT_EQ(test::ReadFile(dir.File("back.BIN")), test::ReadFile(dir.File("in.BIN")));

    // A text with a line end: the same message, the odd pair as its details.
    test::WriteFile(dir.File("out.TXT"), "000A84FF\r\n");
    back.Click("Command1");
    ASSERT_EQ(back.messages.size(), 2u);
    EXPECT_EQ(back.messages[1].text, "Conversione conclusa");
    EXPECT_EQ(back.messages[1].details, "Coppie non esadecimali: 1");
}

}  // namespace
}  // namespace vagliante
