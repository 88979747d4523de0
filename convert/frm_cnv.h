// frmCnv: the conversion window, in mode "B2T" (binary to text) or "T2B"
// (text to binary). It collects the two paths and starts the conversion of
// its mode; the conversions themselves live in convert/convert.h.
#pragma once

#include <string>
#include <string_view>

#include "ui/common_dialog.h"
#include "ui/form.h"

namespace vagliante {

extern const ui::FormDesign kFrmCnvDesign;

class frmCnv final : public ui::Form {
  public:
    frmCnv() : Form(kFrmCnvDesign) {}

    // The mode, set by the main window between loading and showing.
    std::string Chiamatoda;

    ui::CommonDialog CommonDialog1;

    void Form_Load() override;
    void Form_Activate() override;
    void Click(std::string_view control) override;

  private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    void ConvertBinToTxt();
    void ConvertTxtToBin();
};

}  // namespace vagliante
