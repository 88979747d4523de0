#include "app/frm_main.h"

#include "about/frm_about.h"
#include "convert/frm_cnv.h"
#include "filter/filters.h"
#include "platform/progress.h"
#include "ui/path_boxes.h"

namespace vagliante {
namespace {

using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;
using ui::MenuDesign;
using ui::MenuItemDesign;

// The names of the controls and menu commands that the handlers use.
constexpr ui::PathBoxes kBoxes = ui::kPathBoxes;
constexpr std::string_view kFiltra = "Command1";
constexpr std::string_view kEsci = "Command2";
constexpr std::string_view kUpdate = "Option1";
constexpr std::string_view kActivation = "Option2";
constexpr std::string_view kBinToTxtItem = "T1";
constexpr std::string_view kTxtToBinItem = "T2";
constexpr std::string_view kAboutEntry = "INF";

// Name, kind, caption, left, top, width, height, tab order; the first
// option is selected at start.
constexpr ControlDesign kOwnControls[] = {
    {kFiltra, ControlKind::Button, "Filtra", 6840, 480, 1455, 375, 0},
    {kEsci, ControlKind::Button, "Esci", 6840, 960, 1455, 375, 4},
    {kUpdate, ControlKind::OptionButton, "Aggiornamento", 6840, 1560, 1455, 255, 7, {}, {}, true},
    {kActivation, ControlKind::OptionButton, "Attivazione", 6840, 1920, 1215, 255, 8},
};

// Its path boxes (the labels' captions, the boxes' width, the "..." buttons'
// left, the bar's width, the boxes' tab order), then its own controls.
constexpr auto kControls = ui::WithPathBoxes(
    {"File .bin sorgente", "File .txt destinazione", 5895, 6120, 5775, 9, 10}, kOwnControls);

constexpr MenuItemDesign kToolsItems[] = {
    {kBinToTxtItem, "Conversione &BIN->TXT"},
    {kTxtToBinItem, "Conversione &TXT->BIN"},
};

// "&?" says nothing of what it opens: its accessible name does.
constexpr ui::AccessibleDesign kAboutAccessible = {
    {},
    "Informazioni su Vagliante",
    "Apre la finestra con il titolo, la versione e il produttore del programma"};

constexpr MenuDesign kMenu[] = {
    {"T0", "T&ools", kToolsItems},
    {kAboutEntry, "&?", {}, kAboutAccessible},
};

// A filter's run, its summary (what went into each report, what was left
// out and why) as the completion message's details.
template <RunSummary (*filter)(const std::string&, const std::string&, Progress&)>
std::string Summarised(const std::string& source, const std::string& destination, Progress& bar) {
    return SummaryText(filter(source, destination, bar));
}

}  // namespace

const ui::FormDesign kFrmMainDesign = {
    "frmMain", frmMain::kTitle,  8655,  2625, Border::FixedSingle, true, kControls,
    kMenu,     kBoxes.sourceBox, kEsci,
};

void frmMain::Click(std::string_view control) {
    if (control == kFiltra) Filtra();
    if (control == kEsci) View().Close();
    if (control == kBoxes.sourceButton)
        ui::ChooseSource(View(), CommonDialog1, kBoxes, ui::kLogFilter);
    // A name typed without extension gets ".TXT", so the activation filter's
    // cut of the last four characters never eats letters of the name.
    if (control == kBoxes.destinationButton)
        ui::ChooseDestination(View(), CommonDialog1, kBoxes, ui::kTextFilter, "TXT");
    if (control == kBinToTxtItem) OpenConversion(kBinToTxt);
    if (control == kTxtToBinItem) OpenConversion(kTxtToBin);
    if (control == kAboutEntry) OpenAbout();
}

void frmMain::Form_Load() { View().Bar(kBoxes.bar).SetValue(kProgressEmpty); }

// The option read first, then the other, each at that moment.
void frmMain::Filtra() {
    if (View().Selected(kUpdate))
        ui::RunOnPaths(View(), kBoxes, Summarised<FilterUpdate>, kMsgUpdateDone);
    if (View().Selected(kActivation))
        ui::RunOnPaths(View(), kBoxes, Summarised<FilterActivation>, kMsgActivationDone);
}

void frmMain::OpenConversion(const ConversionMode& mode) {
    // Load first, then set the mode, then show: the captions follow the mode
    // when the window is activated.
    frmCnv form;
    std::unique_ptr<ui::LoadedForm> window = View().Load(form);
    form.Chiamatoda = &mode;
    window->ShowModal();
}

void frmMain::OpenAbout() {
    frmAbout form;
    View().Load(form)->ShowModal();
}

}  // namespace vagliante
