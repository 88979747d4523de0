// frmMain: the main window. It holds the source log and destination paths,
// the choice of filter, "Filtra" and the progress bar the filters drive; its
// menu opens the conversion window and the About window.
//
// The window is described once (kFrmMainDesign) and its handlers are written
// once, over the view a renderer gives it.
#pragma once

#include <string_view>

#include "ui/common_dialog.h"
#include "ui/form.h"

namespace vagliante {

struct ConversionMode;
extern const ui::FormDesign kFrmMainDesign;

class frmMain final : public ui::Form {
  public:
    static constexpr const char* kTitle = "Vagliante 1.2.1 - by Quadrivio";

    frmMain() : Form(kFrmMainDesign) {}

    ui::CommonDialog CommonDialog1;

    void Form_Load() override;
    void Click(std::string_view control) override;

  private:
    void Filtra();
    void OpenConversion(const ConversionMode& mode);
    void OpenAbout();
};

}  // namespace vagliante
