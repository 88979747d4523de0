// Making a form's window: the window itself, its controls, menu, fonts
// and icons, placed and sized from the description's twips at the
// monitor's DPI, and the ids by which tests find the controls.
#include "ui/win32/win32_form.h"  // windows.h first

#include <commctrl.h>

#include <cmath>
#include <stdexcept>

#include "platform/utf8.h"

namespace vagliante::ui::win32 {
namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 500;
constexpr int kIconResource = 1;

DWORD uiThread = 0;  // the thread that made the first window

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

template <typename Function>
Function SystemFunction(const char* name) {
    FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// The DPI functions of Windows 10, looked up so that the program still
// starts on older systems, where the system DPI serves.
int WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = SystemFunction<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    HDC dc = ::GetDC(hwnd);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(hwnd, dc);
    return dpi > 0 ? dpi : 96;
}

void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = SystemFunction<AdjustFn>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rect, style, menu, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&rect, style, menu, exStyle);
}

struct Styles {
    DWORD style;
    DWORD exStyle;
};

// Fixed borders throughout: no sizing frame, no maximise or minimise box.
// (No WS_CLIPCHILDREN: a frame's inside is the window's own background.)
Styles StylesFor(Border border) {
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    switch (border) {
        case Border::FixedSingle:
            return {style, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT};
        case Border::FixedToolWindow:
            return {style, WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT};
        case Border::FixedDialog:
            return {style, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT};
    }
    return {style, WS_EX_CONTROLPARENT};
}

void RegisterFormClass(WNDPROC windowProc) {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = Instance();
    // No class icon: a window shows the program's icon only where its
    // description says so (SetIcons).
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    ::RegisterClassExW(&wc);
}

}  // namespace

int CaptionRoom(ControlKind kind, int width, int dpi) {
    switch (kind) {
        case ControlKind::Label:
            return width;
        case ControlKind::Button:
            return width - ::MulDiv(6, dpi, 96);  // the frame and focus rectangle
        case ControlKind::OptionButton:
            return width - ::MulDiv(18, dpi, 96);  // the round mark
        default:
            return -1;
    }
}

RECT PixelRect(const FormDesign& form, const ControlDesign& control, int dpi) {
    auto rect = [&](const ControlDesign& c) {
        const TwipsRect r = ClientRect(form, c);
        return RECT{TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
                    TwipsToPixels(r.left + r.width, dpi), TwipsToPixels(r.top + r.height, dpi)};
    };
    RECT place = rect(control);
    if (control.kind != ControlKind::Label) return place;
    // A label is drawn with its background; where its foot reaches into a
    // control below it (a text box under its caption), it stops at that
    // control's top, so that the control's border stays whole.
    for (const ControlDesign& other : form.controls) {
        if (other.kind == ControlKind::Label || other.kind == ControlKind::Frame) continue;
        const RECT below = rect(other);
        const bool across = below.left < place.right && place.left < below.right;
        if (across && below.top > place.top && below.top < place.bottom) place.bottom = below.top;
    }
    return place;
}

int ControlId(const FormDesign& form, std::string_view name) {
    for (std::size_t i = 0; i < form.controls.size(); ++i)
        if (form.controls[i].name == name) return kFirstControlId + static_cast<int>(i);
    return 0;
}

int MenuCommandId(const FormDesign& form, std::string_view name) {
    int id = kFirstMenuId;
    for (const MenuDesign& entry : form.menu) {
        if (entry.items.empty()) {
            if (entry.name == name) return id;
            ++id;
        }
        for (const MenuItemDesign& item : entry.items) {
            if (item.name == name) return id;
            ++id;
        }
    }
    return 0;
}

void Win32Form::Build() {
    RegisterFormClass(&Win32Form::WindowProc);
    if (uiThread == 0) uiThread = ::GetCurrentThreadId();
    const FormDesign& design = form_.Design();
    const Styles styles = StylesFor(design.border);
    hwnd_ = ::CreateWindowExW(styles.exStyle, kFormClass, ToUtf16(design.title).c_str(),
                              styles.style, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                              opener_ ? opener_->hwnd_ : nullptr, MakeMenu(), Instance(), nullptr);
    if (!hwnd_) throw std::runtime_error("the window could not be made");
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dpi_ = WindowDpi(hwnd_);
    if (design.icon) SetIcons();
    if (!design.dropBox.empty()) ::DragAcceptFiles(hwnd_, TRUE);
    MakeControls();
    Annotate();
    MakeFonts();
    Layout();
    // The focus and the access keys always shown, not only once the user
    // has pressed a key.
    ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                   0);
}

void Win32Form::Annotate() {
    const FormDesign& design = form_.Design();
    annotations_ = std::make_unique<Annotations>();
    for (const auto& state : controls_)
        annotations_->Control(state->hwnd, state->design->accessible);
    if (HMENU bar = ::GetMenu(hwnd_))
        for (std::size_t i = 0; i < design.menu.size(); ++i)
            annotations_->MenuEntry(bar, static_cast<int>(i), design.menu[i].accessible);
}

HMENU Win32Form::MakeMenu() const {
    const FormDesign& design = form_.Design();
    if (design.menu.empty()) return nullptr;
    HMENU bar = ::CreateMenu();
    for (const MenuDesign& entry : design.menu) {
        const std::wstring caption = ToUtf16(entry.caption);
        if (entry.items.empty()) {
            ::AppendMenuW(bar, MF_STRING, static_cast<UINT_PTR>(MenuCommandId(design, entry.name)),
                          caption.c_str());
            continue;
        }
        HMENU list = ::CreatePopupMenu();
        for (const MenuItemDesign& item : entry.items)
            ::AppendMenuW(list, MF_STRING, static_cast<UINT_PTR>(MenuCommandId(design, item.name)),
                          ToUtf16(item.caption).c_str());
        ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(list), caption.c_str());
    }
    return bar;
}

void Win32Form::SetIcons() {
    // The drawn icon at the sizes of the title bar and of the task bar, for
    // this window's DPI.
    const int small = ::MulDiv(16, dpi_, 96);
    const int big = ::MulDiv(32, dpi_, 96);
    for (auto [kind, size] : {std::pair{ICON_SMALL, small}, std::pair{ICON_BIG, big}}) {
        HANDLE icon = ::LoadImageW(Instance(), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size,
                                   size, LR_SHARED);
        if (icon) ::SendMessageW(hwnd_, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon));
    }
}

void Win32Form::MakeControls() {
    const FormDesign& design = form_.Design();
    for (const ControlDesign& control : design.controls) {
        auto state = std::make_unique<ControlState>();
        state->design = &control;
        state->id = ControlId(design, control.name);
        controls_.push_back(std::move(state));
    }
    for (const MenuDesign& entry : design.menu) {
        if (entry.items.empty())
            menuCommands_.emplace_back(MenuCommandId(design, entry.name), entry.name);
        for (const MenuItemDesign& item : entry.items)
            menuCommands_.emplace_back(MenuCommandId(design, item.name), item.name);
    }

    // Made in tab order, which is the order the dialog keys follow, a label
    // that names a box right before it (CreationOrder). Each
    // control starts a group of its own, but for the option buttons after
    // the first of a row: they form one group, and only the selected one is
    // a tab stop, as in the system's own dialogs.
    const ControlDesign* previous = nullptr;
    for (const ControlDesign* design_ : CreationOrder(design)) {
        ControlState& state = State(design_->name);
        const wchar_t* windowClass = L"BUTTON";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        const bool inGroup = design_->kind == ControlKind::OptionButton && previous &&
                             previous->kind == ControlKind::OptionButton;
        if (!inGroup) style |= WS_GROUP;
        switch (design_->kind) {
            case ControlKind::Label:
                windowClass = L"STATIC";
                style |= (design_->align == Align::Centre ? SS_CENTER : SS_LEFT) | SS_CENTERIMAGE;
                break;
            case ControlKind::TextBox:
                windowClass = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Button:
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case ControlKind::OptionButton:
                style |= BS_AUTORADIOBUTTON | (design_->selected ? WS_TABSTOP : 0);
                break;
            case ControlKind::Frame:
                style |= BS_GROUPBOX;
                break;
            case ControlKind::ProgressBar:
                windowClass = PROGRESS_CLASSW;
                break;
        }
        // A bar shows no text: its text is its name, which Active
        // Accessibility reads where annotation is missing.
        const std::string_view text =
            design_->kind == ControlKind::ProgressBar ? design_->accessible.name : design_->caption;
        state.hwnd = ::CreateWindowExW(
            exStyle, windowClass, ToUtf16(text).c_str(), style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(state.id)), Instance(), nullptr);
        if (!state.hwnd) throw std::runtime_error("a control could not be made");
        if (design_->kind == ControlKind::OptionButton && design_->selected)
            ::SendMessageW(state.hwnd, BM_SETCHECK, BST_CHECKED, 0);
        if (design_->kind == ControlKind::ProgressBar) {
            ::SendMessageW(state.hwnd, PBM_SETRANGE32, 0, ProgressBar::kSteps);
            state.bar = std::make_unique<ProgressBar>();
            ControlState* bar = &state;
            state.bar->SetListener([this, bar](int) {
                // The core reports from its worker: the bar is drawn by the
                // windows' thread, one message at a time.
                if (::GetCurrentThreadId() == uiThread)
                    DrawBar(*bar);
                else if (!bar->pending.exchange(true))
                    ::PostMessageW(hwnd_, kProgressMessage, static_cast<WPARAM>(bar->id), 0);
            });
        }
        previous = design_;
    }
    // A frame lies beneath the labels inside it.
    for (const auto& state : controls_)
        if (state->design->kind == ControlKind::Frame)
            ::SetWindowPos(state->hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32Form::MakeFonts() {
    // The system's dialog font (Tahoma) at 8 points, or, where a caption
    // would not fit its control, the largest size down to 6 points at which
    // every caption fits: a caption is never cut.
    for (int tenths = 80; tenths >= 60; tenths -= 5) {
        formFont_ =
            ::CreateFontW(-::MulDiv(tenths, dpi_, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg 2");
        if (tenths == 60 || CaptionsFit(formFont_)) break;
        ::DeleteObject(formFont_);
    }
    for (const auto& state : controls_) {
        const FontDesign* font = state->design->font;
        if (!font) continue;
        // "MS Sans Serif" is a bitmap font that does not scale with the DPI;
        // its TrueType drawing, "Microsoft Sans Serif", stands in for it.
        const std::wstring face =
            font->face == "MS Sans Serif" ? L"Microsoft Sans Serif" : ToUtf16(font->face);
        const int height = -static_cast<int>(std::lround(font->points * dpi_ / 72.0));
        state->font = ::CreateFontW(height, 0, 0, 0, font->bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                    FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    }
}

bool Win32Form::CaptionsFit(HFONT font) const {
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ previous = ::SelectObject(dc, font);
    bool fit = true;
    for (const auto& state : controls_) {
        if (state->design->font) continue;
        const int room =
            CaptionRoom(state->design->kind, TwipsToPixels(state->design->width, dpi_), dpi_);
        if (room < 0) continue;
        std::wstring text = ToUtf16(state->design->caption);
        std::erase(text, L'&');
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        if (size.cx > room) fit = false;
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(hwnd_, dc);
    return fit;
}

void Win32Form::FreeFonts() {
    for (const auto& state : controls_) {
        if (state->font) ::DeleteObject(state->font);
        state->font = nullptr;
    }
    if (formFont_) ::DeleteObject(formFont_);
    formFont_ = nullptr;
}

void Win32Form::Layout() {
    const FormDesign& design = form_.Design();
    auto px = [this](int twips) { return TwipsToPixels(twips, dpi_); };
    for (const auto& state : controls_) {
        const RECT r = PixelRect(design, *state->design, dpi_);
        ::MoveWindow(state->hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        ::SendMessageW(state->hwnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(state->font ? state->font : formFont_), TRUE);
    }
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    const bool menu = ::GetMenu(hwnd_) != nullptr;
    RECT rect{0, 0, px(design.width), px(design.height)};
    AdjustForDpi(rect, style, menu, exStyle, dpi_);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that took more (or less) room than allowed for.
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const int missing = px(design.height) - client.bottom;
    if (missing != 0)
        ::SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left,
                       rect.bottom - rect.top + missing,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::Centre() {
    HWND reference = opener_ ? opener_->hwnd_ : hwnd_;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(reference, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT window;
    ::GetWindowRect(hwnd_, &window);
    const RECT& work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - (window.right - window.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (window.bottom - window.top)) / 2;
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vagliante::ui::win32
