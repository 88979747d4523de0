// The name that assistive technology should give a control or a menu entry
// of a window's description: its accessible name, else the caption of the
// label that names it, else its own caption, the access key's "&" left out. The tests
// of both renderers compare what the system reports with it.
#pragma once

#include <algorithm>
#include <string>

#include "ui/form_design.h"

namespace vagliante::test {

inline std::string WithoutAccessKey(std::string_view caption) {
    std::string text(caption);
    std::erase(text, '&');
    return text;
}

inline std::string AccessibleName(const ui::FormDesign& form, const ui::ControlDesign& control) {
    if (!control.accessible.name.empty()) return std::string(control.accessible.name);
    if (const ui::ControlDesign* label = ui::LabelOf(form, control.name))
        return WithoutAccessKey(label->caption);
    return WithoutAccessKey(control.caption);
}

// The same for a menu bar entry: its accessible name, else its caption.
inline std::string AccessibleName(const ui::MenuDesign& entry) {
    if (!entry.accessible.name.empty()) return std::string(entry.accessible.name);
    return WithoutAccessKey(entry.caption);
}

}  // namespace vagliante::test
