#include "ui/form_design.h"

#include <algorithm>

namespace vagliante::ui {

const ControlDesign* FindControl(const FormDesign& form, std::string_view name) {
    for (const ControlDesign& control : form.controls)
        if (control.name == name) return &control;
    return nullptr;
}

const ControlDesign* LabelOf(const FormDesign& form, std::string_view control) {
    for (const ControlDesign& label : form.controls)
        if (!control.empty() && label.accessible.labelFor == control) return &label;
    return nullptr;
}

std::vector<const ControlDesign*> CreationOrder(const FormDesign& form) {
    std::vector<const ControlDesign*> byTab;
    for (const ControlDesign& control : form.controls)
        if (control.accessible.labelFor.empty()) byTab.push_back(&control);
    std::stable_sort(
        byTab.begin(), byTab.end(),
        [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
    std::vector<const ControlDesign*> order;
    for (const ControlDesign* control : byTab) {
        if (const ControlDesign* label = LabelOf(form, control->name)) order.push_back(label);
        order.push_back(control);
    }
    return order;
}

std::vector<const ControlDesign*> TabOrder(const FormDesign& form) {
    std::vector<const ControlDesign*> order = CreationOrder(form);
    std::erase_if(order, [](const ControlDesign* c) { return !TakesFocus(c->kind); });
    return order;
}

TwipsRect ClientRect(const FormDesign& form, const ControlDesign& control) {
    TwipsRect rect{control.left, control.top, control.width, control.height};
    if (!control.container.empty()) {
        if (const ControlDesign* frame = FindControl(form, control.container)) {
            rect.left += frame->left;
            rect.top += frame->top;
        }
    }
    return rect;
}

bool IsMenuCommand(const FormDesign& form, std::string_view name) {
    for (const MenuDesign& menu : form.menu) {
        if (menu.name == name && menu.items.empty()) return true;
        for (const MenuItemDesign& item : menu.items)
            if (item.name == name) return true;
    }
    return false;
}

}  // namespace vagliante::ui
