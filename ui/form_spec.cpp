#include "ui/form_spec.h"

#include <algorithm>

namespace vagliante::ui {

const ControlSpec* FindControl(const FormSpec& form, std::string_view name) {
    for (const ControlSpec& control : form.controls)
        if (control.name == name) return &control;
    return nullptr;
}

std::vector<const ControlSpec*> CreationOrder(const FormSpec& form) {
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& control : form.controls) order.push_back(&control);
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        return a->tabIndex < b->tabIndex;
    });
    return order;
}

std::vector<const ControlSpec*> TabOrder(const FormSpec& form) {
    std::vector<const ControlSpec*> order = CreationOrder(form);
    std::erase_if(order, [](const ControlSpec* c) { return !TakesFocus(c->kind); });
    return order;
}

TwipsRect ClientRect(const FormSpec& form, const ControlSpec& control) {
    TwipsRect rect{control.left, control.top, control.width, control.height};
    if (!control.container.empty()) {
        if (const ControlSpec* frame = FindControl(form, control.container)) {
            rect.left += frame->left;
            rect.top += frame->top;
        }
    }
    return rect;
}

bool IsMenuCommand(const FormSpec& form, std::string_view name) {
    for (const MenuSpec& menu : form.menu) {
        if (menu.name == name && menu.items.empty()) return true;
        for (const MenuItemSpec& item : menu.items)
            if (item.name == name) return true;
    }
    return false;
}

}  // namespace vagliante::ui
