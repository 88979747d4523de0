#include "convert/frm_cnv.h"

#include "convert/convert.h"
#include "ui/path_boxes.h"

namespace vagliante {
namespace {

using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;

// The names of the controls that the handlers use.
constexpr ui::PathBoxes kBoxes = ui::kPathBoxes;
constexpr std::string_view kConverti = "Command1";
constexpr std::string_view kEsci = "Command2";

// Name, kind, caption, left, top, width, height, tab order.
constexpr ControlDesign kOwnControls[] = {
    {kConverti, ControlKind::Button, "Converti", 5520, 480, 1455, 375, 0},
    {kEsci, ControlKind::Button, "Esci", 5520, 960, 1455, 375, 4},
};

// Its path boxes (the labels' captions, the boxes' width, the "..." buttons'
// left, the bar's width, the boxes' tab order), then its own controls. A box
// is named by its label's caption of the moment, the mode's.
constexpr auto kControls =
    ui::WithPathBoxes({"File sorgente", "File destinazione", 4695, 4920, 4695, 7, 8}, kOwnControls);

}  // namespace

const ui::FormDesign kFrmCnvDesign = {
    "frmCnv", "Conversione",    7275,  2625, Border::FixedToolWindow, true, kControls,
    {},       kBoxes.sourceBox, kEsci,
};

const ConversionMode kBinToTxt = {
    "Conversione BIN->TXT", "File BIN sorgente", "File TXT destinazione",
    ui::kLogFilter,         ui::kTextFilter,     "TXT",
    ConvertBinToTxt,
};

const ConversionMode kTxtToBin = {
    "Conversione TXT->BIN", "File TXT sorgente", "File BIN destinazione",
    ui::kTextFilter,        ui::kLogFilter,      "BIN",
    ConvertTxtToBin,
};

void frmCnv::Click(std::string_view control) {
    const ConversionMode* mode = Chiamatoda;
    if (control == kConverti) Converti();
    if (control == kEsci) View().Close();
    if (control == kBoxes.sourceButton)
        ui::ChooseSource(View(), CommonDialog1, kBoxes, mode ? mode->sourceFilter : nullptr);
    if (control == kBoxes.destinationButton)
        ui::ChooseDestination(View(), CommonDialog1, kBoxes,
                              mode ? mode->destinationFilter : nullptr,
                              mode ? mode->destinationExt : nullptr);
}

void frmCnv::Form_Load() { View().Bar(kBoxes.bar).SetValue(kProgressEmpty); }

void frmCnv::Form_Activate() {
    if (!Chiamatoda) return;
    View().SetTitle(Chiamatoda->title);
    View().SetText(kBoxes.sourceLabel, Chiamatoda->sourceCaption);
    View().SetText(kBoxes.destinationLabel, Chiamatoda->destinationCaption);
}

void frmCnv::Converti() {
    if (!Chiamatoda) return;
    ui::RunOnPaths(
        View(), kBoxes,
        [convert = Chiamatoda->convert](const std::string& source, const std::string& destination,
                                        Progress& bar) {
            // The pairs that were not hexadecimal, if any, as the details.
            return ConversionDetails(convert(source, destination, bar));
        },
        kMsgConversionDone);
}

}  // namespace vagliante
