// Win32Form: the Win32 renderer of a form. It makes native controls from
// the form's description (STATIC, EDIT, BUTTON, the common controls'
// progress bar, a menu bar), sized from twips at the monitor's DPI,
// implements the form's view over them and passes the user's events on to
// the form's run session, which it gives the primitives it asks for.
//
// Control ids follow the description (ControlId, MenuCommandId), so that
// tests find every control by its name.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form.h"
#include "ui/run_session.h"
#include "ui/win32/accessible.h"

namespace vagliante::ui::win32 {

// The id of a control, or of a menu command, named in the description; 0
// when there is none of that name.
int ControlId(const FormDesign& form, std::string_view name);
int MenuCommandId(const FormDesign& form, std::string_view name);

// Where a control lies in its window's client area at `dpi`, in pixels:
// its twips, but for a label that reaches into a control below it, which
// stops where that control starts.
RECT PixelRect(const FormDesign& form, const ControlDesign& control, int dpi);

// The pixels a caption may take in a control of `width` pixels: all of a
// label, a button's inside, an option button's beside its mark; -1 for a
// control without a caption.
int CaptionRoom(ControlKind kind, int width, int dpi);

// The window class of every form, for tests that look windows up.
inline constexpr const wchar_t* kFormClass = L"VaglianteForm";

class Win32Form final : public FormView, public LoadedForm, private RunSession::Primitives {
  public:
    // Makes the window and its controls for `form`, attaches itself and runs
    // Form_Load. The window is not shown. With an opener, the window is
    // owned by it: above it, and without a task bar entry of its own.
    static std::unique_ptr<Win32Form> Create(Form& form, Win32Form* opener = nullptr);
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    HWND Handle() const { return hwnd_; }
    HWND Control(std::string_view name) const;
    Form& Logic() const { return form_; }
    // The window's dots per inch, by which twips become pixels.
    int Dpi() const { return dpi_; }

    // Shows the window as the program's main window: centred, the focus on
    // the first control of the tab order.
    void Show();

    // FormView, over the controls
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    bool Selected(std::string_view option) const override;
    ProgressBar& Bar(std::string_view control) override;
    // FormView, over the window
    std::string Title() const override;
    void SetTitle(std::string_view title) override;
    std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
    void ShowMessage(const Message& message) override;
    void RunBusy(const std::function<void()>& work) override { session_.Run(work); }
    void Close() override { session_.Close(); }
    std::unique_ptr<LoadedForm> Load(Form& form) override;

    // LoadedForm
    void ShowModal() override;

  private:
    struct ControlState {
        const ControlDesign* design;
        int id;
        HWND hwnd = nullptr;
        HFONT font = nullptr;  // its own, when the description gives one
        std::unique_ptr<ProgressBar> bar;
        std::atomic<bool> pending{false};  // a redraw posted from the worker
    };
    static constexpr UINT kProgressMessage = WM_APP + 1;  // wParam: the bar's control id

    Win32Form(Form& form, Win32Form* opener);
    // Making the window (controls.cpp).
    void Build();
    void MakeControls();
    void Annotate();
    void SetIcons();
    HMENU MakeMenu() const;
    void Layout();  // positions, sizes and fonts at dpi_
    void MakeFonts();
    bool CaptionsFit(HFONT font) const;
    void FreeFonts();
    void Centre();

    void FocusFirst();
    void DrawBar(ControlState& control);
    void OptionChosen(ControlState& option);
    void Dropped(HDROP drop);
    ControlState& State(std::string_view name) const;
    ControlState* StateOf(HWND hwnd) const;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // RunSession::Primitives, over the controls
    bool ControlEnabled(std::string_view control) const override;
    void EnableControl(std::string_view control, bool enabled) override;
    std::string FocusedControl() const override;
    void FocusControl(std::string_view control) override;
    void EnableMenu(bool enabled) override;
    // RunSession::Primitives, over the window and the message loop
    bool UnderModal() const override { return !::IsWindowEnabled(hwnd_); }
    void ShowBusyCursor(bool busy) override;
    void PumpEventsUntil(const std::atomic<bool>& done) override;
    void WakeUp() override;
    void CloseWindow() override;

    Form& form_;
    RunSession session_{form_, *this, *this};
    Win32Form* opener_;
    HWND hwnd_ = nullptr;
    HFONT formFont_ = nullptr;
    int dpi_ = 96;
    bool closed_ = false;
    HWND lastFocus_ = nullptr;
    HCURSOR cursorBeforeRun_ = nullptr;
    std::vector<std::unique_ptr<ControlState>> controls_;
    std::vector<std::pair<int, std::string>> menuCommands_;
    std::unique_ptr<Annotations> annotations_;
};

}  // namespace vagliante::ui::win32
