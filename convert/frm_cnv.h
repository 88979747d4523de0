// frmCnv: the conversion window, in mode "B2T" (binary to text) or "T2B"
// (text to binary). It collects the two paths and starts the conversion of
// its mode; the conversions themselves live in convert/convert.h.
#pragma once

#include <string>
#include <string_view>

#include "convert/convert.h"
#include "platform/progress.h"
#include "ui/common_dialog.h"
#include "ui/form.h"

namespace vagliante {

extern const ui::FormDesign kFrmCnvDesign;

// A mode of the window: the captions it shows once activated, the filters
// its two dialogs offer, and the conversion that "Converti" runs.
struct ConversionMode {
    std::string_view title;
    std::string_view sourceCaption;       // of the source box's label
    std::string_view destinationCaption;  // of the destination box's label
    const char* sourceFilter;
    const char* destinationFilter;
    const char* destinationExt;  // added to a destination typed without one
    ConversionSummary (*convert)(const std::string& source, const std::string& destination,
                                 Progress& progress);
};

extern const ConversionMode kBinToTxt;  // "B2T"
extern const ConversionMode kTxtToBin;  // "T2B"

class frmCnv final : public ui::Form {
  public:
    frmCnv() : Form(kFrmCnvDesign) {}

    // The mode, set by the main window between loading and showing. Without
    // one the window keeps its design captions, its dialogs keep the filter
    // last set, and "Converti" does nothing.
    const ConversionMode* Chiamatoda = nullptr;

    ui::CommonDialog CommonDialog1;

    void Form_Load() override;
    void Form_Activate() override;
    void Click(std::string_view control) override;

  private:
    void Converti();
};

}  // namespace vagliante
