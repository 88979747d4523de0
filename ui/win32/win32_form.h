// Win32Form: the Win32 renderer of a form. It makes native controls from
// the form's description (STATIC, EDIT, BUTTON, the common controls'
// progress bar, a menu bar), sized from twips at the monitor's DPI,
// implements the form's view over them and passes the user's events to the
// form's handlers.
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

class Win32Form final : public FormView, public LoadedForm {
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

    // FormView
    std::string Title() const override;
    void SetTitle(std::string_view title) override;
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    bool Selected(std::string_view option) const override;
    ProgressBar& Bar(std::string_view control) override;
    std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
    void ShowMessage(const Message& message) override;
    void RunBusy(const std::function<void()>& work) override;
    std::unique_ptr<LoadedForm> Load(Form& form) override;
    void Close() override;

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

    Win32Form(Form& form, Win32Form* opener);
    void Build();
    void MakeControls();
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
    // A button or menu command chosen: its handler, then the closing that
    // was asked during its run.
    void Chosen(std::string_view control);
    // While a run is busy the window looks it: its controls but the exit
    // button are disabled, and so is its menu; the window itself holds the
    // focus (a key held down cannot reach the exit button). Afterwards all
    // is as before.
    void BeginRun();
    void EndRun();
    void StopRun();  // asks the run to stop at its next block
    void Dropped(HDROP drop);
    ControlState& State(std::string_view name) const;
    ControlState* StateOf(HWND hwnd) const;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Form& form_;
    Win32Form* opener_;
    HWND hwnd_ = nullptr;
    HFONT formFont_ = nullptr;
    int dpi_ = 96;
    bool closed_ = false;
    bool running_ = false;                        // this window's handler runs busy
    bool closeAfterRun_ = false;                  // closed during the run
    const std::atomic<bool>* runDone_ = nullptr;  // the worker has ended
    HWND focusBeforeRun_ = nullptr;
    std::vector<HWND> disabledForRun_;
    HWND lastFocus_ = nullptr;
    std::vector<std::unique_ptr<ControlState>> controls_;
    std::vector<std::pair<int, std::string>> menuCommands_;
};

// Dispatches one message of the thread's queue: keyboard navigation (Tab,
// the arrows in the option group, access letters) for a form's window.
void DispatchFormMessage(MSG& message);

// Runs the program's message loop until the main window closes; returns the
// exit status.
int RunMessageLoop();

// The file named on the command line `commandLine` (the program's own
// name first; a log dropped on the program's icon arrives so), as a full
// path; empty without one.
std::string FileArgument(const wchar_t* commandLine);

// The filter "Log file (*.BIN)|*.BIN" in the form the file dialogs take:
// "Log file (*.BIN)\0*.BIN\0", ended by a second NUL.
std::wstring FilterForApi(std::string_view filter);

// A message's details as a task dialog shows them: the task dialog does not
// scroll, so details of more than `maxLines` lines (a log with records of
// many sizes) keep their first lines and say how many more there are.
std::string ExpandedInformation(const std::string& details, std::size_t maxLines = 24);

// The system's file dialog and message box (or the test scripts).
std::optional<std::string> ShowFileDialog(HWND owner, const FileDialogRequest& request);
void ShowMessageBox(HWND owner, const Message& message);

}  // namespace vagliante::ui::win32
