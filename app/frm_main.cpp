#include "app/frm_main.h"

#include "about/frm_about.h"
#include "convert/frm_cnv.h"
#include "filter/filters.h"
#include "platform/progress.h"
#include "ui/box_path.h"

namespace vagliante {
namespace {

using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;
using ui::MenuDesign;
using ui::MenuItemDesign;

using ui::kChooseDestinationTitle;
using ui::kChooseSourceTitle;
using ui::kLogFilter;
using ui::kTextFilter;

// Name, kind, caption, left, top, width, height, tab order; the first
// option is selected at start.
constexpr ControlDesign kControls[] = {
    {"Label2", ControlKind::Label, "File .bin sorgente", 240, 360, 2535, 255, 2},
    {"Text1", ControlKind::TextBox, "", 240, 600, 5895, 285, 9},
    {"Command3", ControlKind::Button, "...", 6120, 600, 255, 255, 5},
    {"Label4", ControlKind::Label, "File .txt destinazione", 240, 1080, 2535, 255, 3},
    {"Text2", ControlKind::TextBox, "", 240, 1320, 5895, 285, 10},
    {"Command4", ControlKind::Button, "...", 6120, 1320, 255, 255, 6},
    {"ProgressBar1", ControlKind::ProgressBar, "", 240, 1920, 5775, 375, 1},
    {"Command1", ControlKind::Button, "Filtra", 6840, 480, 1455, 375, 0},
    {"Command2", ControlKind::Button, "Esci", 6840, 960, 1455, 375, 4},
    {"Option1", ControlKind::OptionButton, "Aggiornamento", 6840, 1560, 1455, 255, 7, {}, true},
    {"Option2", ControlKind::OptionButton, "Attivazione", 6840, 1920, 1215, 255, 8},
};

constexpr MenuItemDesign kToolsItems[] = {
    {"T1", "Conversione &BIN->TXT"},
    {"T2", "Conversione &TXT->BIN"},
};

constexpr MenuDesign kMenu[] = {
    {"T0", "T&ools", kToolsItems},
    {"INF", "&?"},
};

}  // namespace

const ui::FormDesign kFrmMainDesign = {
    "frmMain", frmMain::kTitle, 8655,  2625,    Border::FixedSingle,
    true,      kControls,       kMenu, "Text1", "Command2",
};

void frmMain::Click(std::string_view control) {
    if (control == "Command1") Command1_Click();
    if (control == "Command2") Command2_Click();
    if (control == "Command3") Command3_Click();
    if (control == "Command4") Command4_Click();
    if (control == "T1") T1_Click();
    if (control == "T2") T2_Click();
    if (control == "INF") INF_Click();
}

void frmMain::Form_Load() { View().Bar("ProgressBar1").SetValue(kProgressEmpty); }

void frmMain::Command1_Click() {
    if (View().Selected("Option1")) FilterUpdate();
    if (View().Selected("Option2")) FilterActivation();
}

void frmMain::Command2_Click() { View().Close(); }

void frmMain::Command3_Click() {
    CommonDialog1.SetFileName("");
    CommonDialog1.SetDialogTitle(kChooseSourceTitle);
    CommonDialog1.SetFilter(kLogFilter);
    CommonDialog1.SetFilterIndex(1);
    // Where the user works: the folder of the path in the box, or else of
    // the destination's.
    CommonDialog1.SetInitDir(ui::DialogFolder(View().Text("Text1"), View().Text("Text2")));
    CommonDialog1.ShowOpen(View());
    View().SetText("Text1", CommonDialog1.FileName());
}

void frmMain::Command4_Click() {
    CommonDialog1.SetFileName("");
    CommonDialog1.SetDialogTitle(kChooseDestinationTitle);
    CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    // A name typed without extension gets ".TXT", so the activation filter's
    // cut of the last four characters never eats letters of the name.
    CommonDialog1.SetDefaultExt("TXT");
    CommonDialog1.SetInitDir(ui::DialogFolder(View().Text("Text2"), View().Text("Text1")));
    CommonDialog1.ShowSave(View());
    View().SetText("Text2", CommonDialog1.FileName());
}

// The paths as the user meant them (ui::BoxPath): an empty box is an error
// that names it, the source's first. The run's summary (what went into each
// report, what was left out and why) is the completion message's details.
void frmMain::FilterUpdate() {
    const ui::BoxPath source(View(), "Text1", "Label2");
    const ui::BoxPath destination(View(), "Text2", "Label4");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReportWithDetails(
        View(),
        [&] {
            const std::string& from = source.Path();
            return SummaryText(vagliante::FilterUpdate(from, destination.Path(), bar));
        },
        kMsgUpdateDone);
}

void frmMain::FilterActivation() {
    const ui::BoxPath source(View(), "Text1", "Label2");
    const ui::BoxPath destination(View(), "Text2", "Label4");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReportWithDetails(
        View(),
        [&] {
            const std::string& from = source.Path();
            return SummaryText(vagliante::FilterActivation(from, destination.Path(), bar));
        },
        kMsgActivationDone);
}

void frmMain::T1_Click() { OpenConversion("B2T"); }
void frmMain::T2_Click() { OpenConversion("T2B"); }

void frmMain::OpenConversion(const char* mode) {
    // Load first, then set the mode, then show: the captions follow the mode
    // when the window is activated.
    frmCnv form;
    std::unique_ptr<ui::LoadedForm> window = View().Load(form);
    form.Chiamatoda = mode;
    window->ShowModal();
}

void frmMain::INF_Click() {
    frmAbout form;
    View().Load(form)->ShowModal();
}

}  // namespace vagliante
