#include "convert/frm_cnv.h"

#include "convert/convert.h"
#include "platform/progress.h"

namespace vagliante {
namespace {

using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;

constexpr const char* kLogFilter = "Log file (*.BIN)|*.BIN";
constexpr const char* kTextFilter = "Text file (*.TXT)|*.TXT";
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
    "frmCnv", "Conversione", 7275, 2625, Border::FixedToolWindow, true, kControls,
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
    CommonDialog1.SetDialogTitle("Scegli il file sorgente");
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    CommonDialog1.ShowOpen(View());
    View().SetText("Text1", CommonDialog1.FileName());
}

void frmCnv::Command4_Click() {
    CommonDialog1.SetFileName("");
    CommonDialog1.SetDialogTitle("Scegli il file destinazione");
    if (Chiamatoda == kTxtToBin) CommonDialog1.SetFilter(kLogFilter);
    if (Chiamatoda == kBinToTxt) CommonDialog1.SetFilter(kTextFilter);
    CommonDialog1.SetFilterIndex(1);
    CommonDialog1.ShowSave(View());
    View().SetText("Text2", CommonDialog1.FileName());
}

void frmCnv::ConvertBinToTxt() {
    const std::string source = View().Text("Text1");
    const std::string destination = View().Text("Text2");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReport(
        View(), [&] { vagliante::ConvertBinToTxt(source, destination, bar); }, kMsgConversionDone);
}

void frmCnv::ConvertTxtToBin() {
    const std::string source = View().Text("Text1");
    const std::string destination = View().Text("Text2");
    Progress& bar = View().Bar("ProgressBar1");
    ui::RunAndReport(
        View(), [&] { vagliante::ConvertTxtToBin(source, destination, bar); }, kMsgConversionDone);
}

}  // namespace vagliante
