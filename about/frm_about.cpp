#include "about/frm_about.h"

#include "about/sys_info.h"
#include "platform/program_info.h"

namespace vagliante {
namespace {

using ui::Align;
using ui::Border;
using ui::ControlDesign;
using ui::ControlKind;
using ui::FontDesign;
using ui::kBlack;
using ui::kRed;

// The names of the controls that the handlers use.
constexpr std::string_view kOk = "cmdOK";
constexpr std::string_view kSysInfo = "cmdSysInfo";
constexpr std::string_view kTitle = "lblTitle";
constexpr std::string_view kVersion = "lblVersion";

// "MS Sans Serif" is asked for by name; where it is missing the renderer's
// fallback keeps the size and the weight.
constexpr FontDesign kBold975{"MS Sans Serif", 9.75, true};
constexpr FontDesign kRegular975{"MS Sans Serif", 9.75, false};
constexpr FontDesign kBold12{"MS Sans Serif", 12, true};

// The labels lie in Frame1, positioned from its corner; top to bottom:
// title, version, "prodotto da", maker, web address. Title and version are
// set at load.
constexpr ControlDesign kControls[] = {
    {kOk, ControlKind::Button, "&Ok", 3960, 180, 1245, 345, 0},
    {kSysInfo, ControlKind::Button, "&System Info...", 3960, 600, 1245, 345, 1},
    {"Frame1", ControlKind::Frame, "", 120, 60, 3675, 1875, 2},
    {kTitle, ControlKind::Label, "", 150, 240, 3360, 255, 6, ui::AccessibleDesign(), "Frame1",
     false, &kBold975, kRed, Align::Centre},
    {kVersion, ControlKind::Label, "", 150, 540, 3360, 255, 7, ui::AccessibleDesign(), "Frame1",
     false, &kBold975, kRed, Align::Centre},
    {"Label2", ControlKind::Label, "prodotto da", 150, 900, 3360, 255, 3, ui::AccessibleDesign(),
     "Frame1", false, &kRegular975, kBlack, Align::Centre},
    {"lblDescription", ControlKind::Label, "Quadrivio", 150, 1140, 3360, 255, 5,
     ui::AccessibleDesign(), "Frame1", false, &kBold12, kBlack, Align::Centre},
    {"Label1", ControlKind::Label, "www.quadrivio.example", 150, 1440, 3360, 255, 4,
     ui::AccessibleDesign(), "Frame1", false, &kRegular975, kBlack, Align::Centre},
};

}  // namespace

const ui::FormDesign kFrmAboutDesign = {
    "frmAbout", "", 5355, 2070, Border::FixedDialog, false, kControls,
};

void frmAbout::Click(std::string_view control) {
    if (control == kOk) View().Close();
    if (control == kSysInfo) StartSysInfo();
}

void frmAbout::Form_Load() {
    View().SetTitle(AboutWindowTitle());
    View().SetText(kVersion, AboutVersionText());
    View().SetText(kTitle, AboutProgramTitle());
}

void frmAbout::StartSysInfo() {
    if (vagliante::StartSysInfo(registry_, launcher_) == SysInfoOutcome::Unavailable)
        View().ShowMessage({kSysInfoUnavailable, kProgramTitle, ui::MessageIcon::None, {}});
}

}  // namespace vagliante
