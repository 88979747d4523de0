// What the Win32 windows tell assistive technology beyond their controls'
// own texts, and how they follow the system's high-contrast colours.
//
// A text box is named by the label made right before it (CreationOrder):
// Active Accessibility names an edit control after the static text that
// precedes it, and reads it as it stands, so the conversion window's labels
// of the mode name their boxes too. What no caption says (the "..."
// buttons, the bar, the "?" entry) is given by dynamic annotation
// (IAccPropServices), which both Active Accessibility clients (NVDA, JAWS)
// and UI Automation (Narrator) read: the system's own controls keep all
// else they tell. Where annotation is missing (Wine answers E_NOTIMPL), the
// controls keep their captions' names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <utility>
#include <vector>

#include "ui/form_design.h"

struct IAccPropServices;

namespace vagliante::ui::win32 {

// The accessible names and descriptions of one window's controls and menu
// entries, from their designs; cleared when it goes, before the window.
class Annotations {
  public:
    Annotations();
    ~Annotations();
    Annotations(const Annotations&) = delete;
    Annotations& operator=(const Annotations&) = delete;

    void Control(HWND control, const AccessibleDesign& accessible);
    // The entry at 0-based `position` of the menu bar `bar`.
    void MenuEntry(HMENU bar, int position, const AccessibleDesign& accessible);

  private:
    IAccPropServices* services_ = nullptr;
    bool comStarted_ = false;
    std::vector<HWND> controls_;
    std::vector<std::pair<HMENU, DWORD>> entries_;
};

// Whether the user has turned high contrast on: the windows then draw with
// the system's colours only.
bool HighContrast();

// The colour a label's text is drawn in: its design's, but in high contrast
// the system's text colour.
COLORREF LabelTextColour(const ControlDesign& label, bool highContrast);

}  // namespace vagliante::ui::win32
