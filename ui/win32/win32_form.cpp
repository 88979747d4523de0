#include "ui/win32/win32_form.h"

#include <commctrl.h>

#include <cmath>
#include <exception>
#include <stdexcept>
#include <thread>

#include "platform/program_info.h"
#include "platform/utf8.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vagliante::ui::win32 {
namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 500;
constexpr UINT kProgressMessage = WM_APP + 1;  // wParam: the bar's control id
constexpr UINT kRunDoneMessage = WM_APP + 2;
constexpr int kIconResource = 1;

bool busy = false;   // a core operation is running (the windows' thread only)
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

std::string WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return ToUtf8(text);
}

void SetWindowTextUtf8(HWND hwnd, std::string_view text) {
    ::SetWindowTextW(hwnd, ToUtf16(text).c_str());
}

bool IsFormWindow(HWND hwnd) {
    wchar_t name[32] = {};
    return ::GetClassNameW(hwnd, name, 32) > 0 && std::wstring_view(name) == kFormClass;
}

// Input that a window must not take while a run is busy: keys and mouse
// clicks. Moving the window by its title bar stays possible.
bool IsUserInput(const MSG& message) {
    const UINT m = message.message;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST) return true;
    if (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) return true;
    if (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK)
        return m != WM_NCMOUSEMOVE && !(m == WM_NCLBUTTONDOWN && message.wParam == HTCAPTION);
    return false;
}

// A handler's failure that no handler caught is shown, not let through the
// system's frames.
template <typename Work>
void Guarded(HWND owner, Work work) {
    try {
        work();
    } catch (const std::exception& error) {
        ShowMessageBox(owner, {error.what(), kProgramTitle, MessageIcon::Critical, {}});
    }
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

Win32Form::Win32Form(Form& form, Win32Form* opener) : form_(form), opener_(opener) {}

std::unique_ptr<Win32Form> Win32Form::Create(Form& form, Win32Form* opener) {
    std::unique_ptr<Win32Form> window(new Win32Form(form, opener));
    window->Build();
    form.Attach(window.get());
    form.Form_Load();
    return window;
}

Win32Form::~Win32Form() {
    form_.Attach(nullptr);
    if (hwnd_) {
        if (opener_ && !closed_) ::EnableWindow(opener_->hwnd_, TRUE);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    FreeFonts();
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
    MakeControls();
    MakeFonts();
    Layout();
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

    // Made in tab order, which is the order the dialog keys follow. Each
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
        state.hwnd = ::CreateWindowExW(
            exStyle, windowClass, ToUtf16(design_->caption).c_str(), style, 0, 0, 0, 0, hwnd_,
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

void Win32Form::FocusFirst() {
    const std::vector<const ControlDesign*> order = TabOrder(form_.Design());
    if (order.empty()) return;
    lastFocus_ = State(order.front()->name).hwnd;
    ::SetFocus(lastFocus_);
}

void Win32Form::Show() {
    Centre();
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::SetForegroundWindow(hwnd_);
    FocusFirst();
}

void Win32Form::ShowModal() {
    HWND owner = opener_ ? opener_->hwnd_ : nullptr;
    Centre();
    if (owner) ::EnableWindow(owner, FALSE);
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::SetForegroundWindow(hwnd_);
    ::SetActiveWindow(hwnd_);
    FocusFirst();
    MSG message;
    while (!closed_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {  // the program ends: leave the quit to the outer loop
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        DispatchFormMessage(message);
    }
    if (owner) ::EnableWindow(owner, TRUE);
    ::ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::Close() {
    if (closed_) return;
    closed_ = true;
    // The opener takes input again before this window goes, so that the
    // system gives it the activation back.
    if (opener_) ::EnableWindow(opener_->hwnd_, TRUE);
    ::ShowWindow(hwnd_, SW_HIDE);
    if (!opener_) ::PostQuitMessage(0);
}

Win32Form::ControlState& Win32Form::State(std::string_view name) const {
    for (const auto& state : controls_)
        if (state->design->name == name) return *state;
    throw std::out_of_range("no control " + std::string(name) + " in " +
                            std::string(form_.Design().name));
}

Win32Form::ControlState* Win32Form::StateOf(HWND hwnd) const {
    for (const auto& state : controls_)
        if (state->hwnd == hwnd) return state.get();
    return nullptr;
}

HWND Win32Form::Control(std::string_view name) const {
    for (const auto& state : controls_)
        if (state->design->name == name) return state->hwnd;
    return nullptr;
}

std::string Win32Form::Title() const { return WindowText(hwnd_); }

void Win32Form::SetTitle(std::string_view title) { SetWindowTextUtf8(hwnd_, title); }

std::string Win32Form::Text(std::string_view control) const {
    const ControlState& state = State(control);
    if (state.bar) throw std::logic_error(std::string(control) + " has no text");
    return WindowText(state.hwnd);
}

void Win32Form::SetText(std::string_view control, std::string_view text) {
    ControlState& state = State(control);
    if (state.bar) throw std::logic_error(std::string(control) + " has no text");
    SetWindowTextUtf8(state.hwnd, text);
}

bool Win32Form::Selected(std::string_view option) const {
    const ControlState& state = State(option);
    return state.design->kind == ControlKind::OptionButton &&
           ::SendMessageW(state.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

ProgressBar& Win32Form::Bar(std::string_view control) {
    ControlState& state = State(control);
    if (!state.bar) throw std::logic_error(std::string(control) + " is no progress bar");
    return *state.bar;
}

void Win32Form::DrawBar(ControlState& control) {
    control.pending = false;
    ::SendMessageW(control.hwnd, PBM_SETPOS, static_cast<WPARAM>(control.bar->Step()), 0);
    ::UpdateWindow(control.hwnd);
}

void Win32Form::OptionChosen(ControlState& option) {
    // The selected option is the group's tab stop.
    for (const auto& state : controls_) {
        if (state->design->kind != ControlKind::OptionButton) continue;
        LONG_PTR style = ::GetWindowLongPtrW(state->hwnd, GWL_STYLE);
        style = state.get() == &option ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP});
        ::SetWindowLongPtrW(state->hwnd, GWL_STYLE, style);
    }
}

std::optional<std::string> Win32Form::ShowFileDialog(const FileDialogRequest& request) {
    return win32::ShowFileDialog(hwnd_, request);
}

void Win32Form::ShowMessage(const Message& message) { ShowMessageBox(hwnd_, message); }

void Win32Form::RunBusy(const std::function<void()>& work) {
    if (busy) throw std::logic_error("a run started inside another");
    busy = true;
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    HWND window = hwnd_;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        ::PostMessageW(window, kRunDoneMessage, 0, 0);  // wakes the loop below
    });
    // The windows repaint and the bar moves; keys and clicks are dropped.
    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (!done) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {  // kept for after the run
            quit = true;
            quitCode = message.wParam;
            continue;
        }
        if (IsUserInput(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    worker.join();
    ::SetCursor(previous);
    busy = false;
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    if (failure) std::rethrow_exception(failure);
}

std::unique_ptr<LoadedForm> Win32Form::Load(Form& form) { return Create(form, this); }

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT Win32Form::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            if (busy) return 0;
            const int id = LOWORD(wParam);
            if (lParam == 0) {  // a menu command
                for (const auto& [commandId, name] : menuCommands_) {
                    if (commandId != id) continue;
                    const std::string chosen = name;
                    Guarded(hwnd_, [&] { form_.Click(chosen); });
                    return 0;
                }
                return 0;  // Enter (IDOK) and Esc (IDCANCEL): no button answers them
            }
            ControlState* state = StateOf(reinterpret_cast<HWND>(lParam));
            if (!state || HIWORD(wParam) != BN_CLICKED) return 0;
            if (state->design->kind == ControlKind::OptionButton) OptionChosen(*state);
            if (state->design->kind == ControlKind::Button) {
                const std::string chosen(state->design->name);
                Guarded(hwnd_, [&] { form_.Click(chosen); });
            }
            return 0;
        }
        case WM_CLOSE:
            // A run ends with its message; the window closes only after that.
            if (!busy) Close();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
                return 0;
            }
            Guarded(hwnd_, [&] { form_.Form_Activate(); });
            if (HIWORD(wParam) == 0) {  // not minimised
                if (lastFocus_ && ::IsWindow(lastFocus_))
                    ::SetFocus(lastFocus_);
                else
                    FocusFirst();
            }
            return 0;
        case WM_SETFOCUS:
            if (lastFocus_ && ::IsWindow(lastFocus_)) ::SetFocus(lastFocus_);
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const ControlState* state = StateOf(reinterpret_cast<HWND>(lParam));
            if (state && state->design->font) {
                const Colour c = state->design->colour;
                ::SetTextColor(dc, RGB(c.red, c.green, c.blue));
            } else {
                ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            }
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR:
            if (busy) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
                return TRUE;
            }
            break;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE && busy) return 0;
            break;
        case kProgressMessage:
            for (const auto& state : controls_)
                if (state->bar && state->id == static_cast<int>(wParam)) DrawBar(*state);
            return 0;
        case kRunDoneMessage:
            return 0;
        case WM_DPICHANGED: {
            // Moved onto a monitor of another DPI: the same twips, new pixels.
            dpi_ = HIWORD(wParam);
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            FreeFonts();
            MakeFonts();
            Layout();
            if (form_.Design().icon) SetIcons();
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void DispatchFormMessage(MSG& message) {
    HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && IsFormWindow(root) && ::IsDialogMessageW(root, &message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

int RunMessageLoop() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) DispatchFormMessage(message);
    return static_cast<int>(message.wParam);
}

}  // namespace vagliante::ui::win32
