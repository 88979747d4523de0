// What the Qt windows tell assistive technology beyond their captions: a
// control's accessible name and description, and a menu bar entry's, which
// Qt would otherwise name after its caption ("&?" as "?").
#pragma once

#include "ui/form_design.h"

class QAction;
class QWidget;

namespace vagliante::ui::qt {

// Tells `window` to assistive technology as a dialog (the modal windows) or
// as a main window; Qt would tell a plain widget as a mere filler.
void SetWindowRole(QWidget* window, bool dialog);

// The name and description of a control's design.
void SetAccessible(QWidget* widget, const AccessibleDesign& accessible);

// The name and description of a menu bar entry's design, where it has them.
void SetAccessible(QAction* action, const AccessibleDesign& accessible);

}  // namespace vagliante::ui::qt
