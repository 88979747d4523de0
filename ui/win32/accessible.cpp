#include "ui/win32/accessible.h"  // windows.h first

// The annotation's GUIDs, defined here rather than taken from oleacc.dll:
// the object comes from the system through COM.
#include <initguid.h>
#include <oleacc.h>

#include <string>

#include "platform/utf8.h"

namespace vagliante::ui::win32 {
namespace {

const MSAAPROPID kProperties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};

}  // namespace

Annotations::Annotations() {
    // On the windows' thread, as the system's dialogs want it.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(com);
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAccPropServices, reinterpret_cast<void**>(&services_))))
        services_ = nullptr;
}

Annotations::~Annotations() {
    if (services_) {
        for (HWND control : controls_)
            services_->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, kProperties, 2);
        for (const auto& [bar, child] : entries_)
            services_->ClearHmenuProps(bar, child, kProperties, 2);
        services_->Release();
    }
    if (comStarted_) ::CoUninitialize();
}

void Annotations::Control(HWND control, const AccessibleDesign& accessible) {
    if (!services_ || accessible.name.empty()) return;
    const std::wstring name = ToUtf16(accessible.name);
    const std::wstring description = ToUtf16(accessible.description);
    // E_NOTIMPL where annotation is missing: the control keeps its own.
    if (FAILED(services_->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                                         name.c_str())))
        return;
    if (!description.empty())
        services_->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                  description.c_str());
    controls_.push_back(control);
}

void Annotations::MenuEntry(HMENU bar, int position, const AccessibleDesign& accessible) {
    if (!services_ || accessible.name.empty()) return;
    // A menu's children are its entries, counted from 1.
    const auto child = static_cast<DWORD>(position + 1);
    const std::wstring name = ToUtf16(accessible.name);
    const std::wstring description = ToUtf16(accessible.description);
    if (FAILED(services_->SetHmenuPropStr(bar, child, PROPID_ACC_NAME, name.c_str()))) return;
    if (!description.empty())
        services_->SetHmenuPropStr(bar, child, PROPID_ACC_DESCRIPTION, description.c_str());
    entries_.emplace_back(bar, child);
}

bool HighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF LabelTextColour(const ControlDesign& label, bool highContrast) {
    if (highContrast || !label.font) return ::GetSysColor(COLOR_WINDOWTEXT);
    return RGB(label.colour.red, label.colour.green, label.colour.blue);
}

}  // namespace vagliante::ui::win32
