#include "convert/frm_cnv.h"

#include "convert/convert.h"
#include "platform/progress.h"
#include "ui/box_path.h"

namespace vagliante {
namespace {

using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;

using ui::kChooseDestinationTitle;
using ui::kChooseSourceTitle;
using ui::kLogFilter;
using ui::kTextFilter;
constexpr std::string_view kBinToTxt = "B2T";
constexpr std::string_view kTxtToBin = "T2B";

// Name, kind, caption, left, top, width, height, tab order.
constexpr ControlDesign kControls[] = {
    {"Label2", ControlKind::Label, "File sorgente", 240, 360, 2535, 255, 2},
    {"Text1", ControlKind::TextBox, "", 240, 600, 4695, 285, 7},
    {"Command3", ControlKind::Button, "...", 4920, 600, 255, 255, 5},
    {"Label4", ControlKind::Label, "File destinazione", 240, 1080, 2535, 255, 3},
    {"Text2", ControlKind::TextBox, "", 240, 1320, 4695, 285, 8},
    {"Command4", ControlKind::Button, "...", 4920, 1320, 255, 255, 6},
    {"ProgressBar1", ControlKind::ProgressBar, "", 240, 1920, 4695, 375, 1},
    {"Command1", ControlKind::Button, "Converti", 5520, 480, 1455, 375, 0},
    {"Command2", ControlKind::Button, "Esci", 5520, 960, 1455, 375, 4},
};

}  // namespace

const ui::FormDesign kFrmCnvDesign = {
    "frmCnv", "Conversione", 7275, 2625,    Border::FixedToolWindow,
    true,     kControls,     {},   "Text1", "Command2",
};

void frmCnv::Click(std::string_view control) {
    if (control == "Command1") Command1_Click();
    if (control == "Command2") Command2_Click();
    if (control == "Command3") Command3_Click();
    if (control == "Command4") Command4_Click();
}

void frmCnv::Form_Load() { View().Bar("ProgressBar1").SetValue(kProgressEmpty); }

void frmCnv::Form_Activate() {
    if (Chiamatoda == kBinToTxt) {
        View().SetTitle("Conversione BIN->TXT");
        View().SetText("Label2", "File BIN sorgente");
        View().SetText("Label4", "File TXT destinazione");
    }
    if (Chiamatoda == kTxtToBin) {
        View().SetTitle("Conversione TXT->BIN");
        View().SetText("Label2", "File TXT sorgente");
        View().SetText("Label4", "File BIN destinazione");
    }
}

void frmCnv::Command1_Click() {
    if (Chiamatoda == kBinToTxt) ConvertBinToTxt();
    if (Chiamatoda == kTxtToBin) ConvertTxtToBin();
}

void frmCnv::Command2_Click() { View().Close(); }

void frmCnv::Command3_Click() {
    CommonDialog1.SetFileName("");
    CommonDialog1.SetDialogTitle(kChooseSourceTitle);
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    // Where the user works: the folder of the path in the box, or else of
    // the destination's.
    CommonDialog1.SetInitDir(ui::DialogFolder(View().Text("Text1"), View().Text("Text2")));
    CommonDialog1.ShowOpen(View());
    View().SetText("Text1", CommonDialog1.FileName());
}

void frmCnv::Command4_Click() {
    CommonDialog1.SetFileName("");
    CommonDialog1.SetDialogTitle(kChooseDestinationTitle);
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    // A name typed without extension gets the mode's, as in the main window.
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetDefaultExt("BIN");
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetDefaultExt("TXT");
    CommonDialog1.SetInitDir(ui::DialogFolder(View().Text("Text2"), View().Text("Text1")));
    CommonDialog1.ShowSave(View());
    View().SetText("Text2", CommonDialog1.FileName());
}

// The paths as the user meant them (ui::BoxPath): an empty box is an error
// that names it, the source's first.
void frmCnv::ConvertBinToTxt() {
    const ui::BoxPath source(View(), "Text1", "Label2");
    const ui::BoxPath destination(View(), "Text2", "Label4");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReport(
        View(),
        [&] {
            const std::string& from = source.Path();
            vagliante::ConvertBinToTxt(from, destination.Path(), bar);
        },
        kMsgConversionDone);
}

void frmCnv::ConvertTxtToBin() {
    const ui::BoxPath source(View(), "Text1", "Label2");
    const ui::BoxPath destination(View(), "Text2", "Label4");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReport(
        View(),
        [&] {
            const std::string& from = source.Path();
            vagliante::ConvertTxtToBin(from, destination.Path(), bar);
        },
        kMsgConversionDone);
}

}  // namespace vagliante
