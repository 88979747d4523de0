#include "ui/win32/win32_form.h"  // windows.h first

#include <commctrl.h>

#include <stdexcept>

#include "platform/utf8.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/message_loop.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vagliante::ui::win32 {
namespace {

constexpr UINT kRunDoneMessage = WM_APP + 2;
constexpr int kBusyCursor = 32650;  // IDC_APPSTARTING: busy, yet Esci may be clicked

std::string WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return ToUtf8(text);
}

void SetWindowTextUtf8(HWND hwnd, std::string_view text) {
    ::SetWindowTextW(hwnd, ToUtf16(text).c_str());
}

}  // namespace

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
    annotations_.reset();  // before the windows they name go
    if (hwnd_) {
        if (opener_ && !closed_) ::EnableWindow(opener_->hwnd_, TRUE);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    FreeFonts();
}

void Win32Form::FocusFirst() {
    const std::vector<const ControlDesign*> order = TabOrder(form_.Design());
    if (!order.empty()) FocusControl(order.front()->name);
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

void Win32Form::CloseWindow() {
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

bool Win32Form::ControlEnabled(std::string_view control) const {
    return ::IsWindowEnabled(State(control).hwnd) != FALSE;
}

void Win32Form::EnableControl(std::string_view control, bool enabled) {
    ::EnableWindow(State(control).hwnd, enabled ? TRUE : FALSE);
}

void Win32Form::EnableMenu(bool enabled) {
    HMENU menu = ::GetMenu(hwnd_);
    if (!menu) return;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i)
        ::EnableMenuItem(menu, static_cast<UINT>(i),
                         MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    ::DrawMenuBar(hwnd_);
}

std::string Win32Form::FocusedControl() const {
    const ControlState* focused = StateOf(::GetFocus());
    return focused ? std::string(focused->design->name) : std::string();
}

void Win32Form::FocusControl(std::string_view control) {
    if (control.empty()) {
        ::SetFocus(hwnd_);
        return;
    }
    lastFocus_ = State(control).hwnd;
    ::SetFocus(lastFocus_);
}

void Win32Form::ShowBusyCursor(bool busy) {
    if (busy)
        cursorBeforeRun_ = ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(kBusyCursor)));
    else
        ::SetCursor(cursorBeforeRun_);
}

void Win32Form::PumpEventsUntil(const std::atomic<bool>& done) {
    // The windows repaint, the bar moves, and the exit button and the close
    // box stay live. The end of the program is kept for after the run.
    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (!done) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            quit = true;
            quitCode = message.wParam;
            continue;
        }
        DispatchFormMessage(message);
    }
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
}

void Win32Form::WakeUp() { ::PostMessageW(hwnd_, kRunDoneMessage, 0, 0); }

void Win32Form::Dropped(HDROP drop) {
    std::wstring path(::DragQueryFileW(drop, 0, nullptr, 0), L'\0');
    if (!path.empty()) ::DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
    POINT at{};
    ::DragQueryPoint(drop, &at);  // in the client area
    ::DragFinish(drop);
    if (path.empty()) return;
    const ControlState* on = StateOf(::ChildWindowFromPointEx(hwnd_, at, CWP_SKIPINVISIBLE));
    session_.Drop(on ? on->design->name : std::string_view(), ToUtf8(path));
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
            const int id = LOWORD(wParam);
            if (lParam == 0 && id == IDOK) {
                // Enter presses the focused button, as Space does; in a text
                // box it presses nothing (no button is the default one).
                const ControlState* focused = StateOf(::GetFocus());
                if (focused && focused->design->kind == ControlKind::Button &&
                    ::IsWindowEnabled(focused->hwnd))
                    session_.Click(focused->design->name);
                return 0;
            }
            if (lParam == 0) {  // a menu command; Esc (IDCANCEL) answers nothing
                for (const auto& [commandId, name] : menuCommands_)
                    if (commandId == id) session_.Click(name);
                return 0;
            }
            ControlState* state = StateOf(reinterpret_cast<HWND>(lParam));
            if (!state || HIWORD(wParam) != BN_CLICKED) return 0;
            if (state->design->kind == ControlKind::OptionButton) OptionChosen(*state);
            if (state->design->kind == ControlKind::Button) session_.Click(state->design->name);
            return 0;
        }
        case WM_CLOSE:
            session_.Close();
            return 0;
        case WM_DROPFILES:
            Dropped(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends: the system ends the program once this
            // returns, so a run is stopped and waited for as it unwinds,
            // leaving every file as it was.
            if (wParam) RunSession::StopAndWait();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
                return 0;
            }
            session_.Activate();
            if (HIWORD(wParam) == 0 && !session_.Running()) {  // not minimised; a run keeps it here
                if (lastFocus_ && ::IsWindow(lastFocus_))
                    ::SetFocus(lastFocus_);
                else
                    FocusFirst();
            }
            return 0;
        case WM_SETFOCUS:
            if (!session_.Running() && lastFocus_ && ::IsWindow(lastFocus_)) ::SetFocus(lastFocus_);
            return 0;
        case WM_CTLCOLORSTATIC: {
            // The design's colours, but for the system's in high contrast.
            HDC dc = reinterpret_cast<HDC>(wParam);
            const ControlState* state = StateOf(reinterpret_cast<HWND>(lParam));
            ::SetTextColor(dc, state ? LabelTextColour(*state->design, HighContrast())
                                     : ::GetSysColor(COLOR_WINDOWTEXT));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
        case WM_THEMECHANGED:
            // High contrast turned on or off, other colours: the common
            // controls hear of it from their window, and all is drawn anew.
            if (message == WM_SYSCOLORCHANGE)
                for (const auto& state : controls_)
                    ::SendMessageW(state->hwnd, WM_SYSCOLORCHANGE, wParam, lParam);
            ::RedrawWindow(hwnd_, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            break;
        case WM_SETCURSOR:
            if (RunSession::Busy()) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(kBusyCursor)));
                return TRUE;
            }
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

}  // namespace vagliante::ui::win32
