// Form: a window's handlers, written once against FormView, the small view
// interface that each renderer (Qt on Linux, Win32 on Windows) implements
// and a fake view implements in the tests.
//
// A renderer makes the window's controls from the form's description
// (FormDesign), attaches itself, runs Form_Load, and passes the user's events
// on: Form_Activate when the window becomes active, Click with the name of
// the button or menu command chosen.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/common_dialog.h"
#include "ui/form_design.h"
#include "ui/message.h"
#include "ui/progress_bar.h"

namespace vagliante::ui {

class Form;

// A window made for a form and loaded (its Form_Load has run), not shown.
class LoadedForm {
  public:
    virtual ~LoadedForm() = default;
    // Shows the window modally over the one that loaded it and returns when
    // it has been closed.
    virtual void ShowModal() = 0;
};

class FormView {
  public:
    virtual ~FormView() = default;

    // The title bar text.
    virtual std::string Title() const = 0;
    virtual void SetTitle(std::string_view title) = 0;

    // The text of a text box, or the caption of a label, button or option.
    virtual std::string Text(std::string_view control) const = 0;
    virtual void SetText(std::string_view control, std::string_view text) = 0;

    // Whether an option button is selected.
    virtual bool Selected(std::string_view option) const = 0;

    // A progress bar, also the core's Progress (usable from any thread).
    virtual ProgressBar& Bar(std::string_view control) = 0;

    // The modal file dialog: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) = 0;

    // A modal message box; returns when the user has pressed OK.
    virtual void ShowMessage(const Message& message) = 0;

    // Runs `work` to its end on a worker thread while the window repaints
    // and takes no input; rethrows what `work` threw.
    virtual void RunBusy(const std::function<void()>& work) = 0;

    // Makes a window of this program for `form`, owned by this one, and runs
    // its Form_Load. `form` must outlive the returned window.
    virtual std::unique_ptr<LoadedForm> Load(Form& form) = 0;

    // Unloads the window: closes and destroys it. Closing the main window
    // ends the program.
    virtual void Close() = 0;
};

class Form {
  public:
    explicit Form(const FormDesign& design) : design_(design) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const FormDesign& Design() const { return design_; }

    // Set by the renderer once the controls are there, cleared (nullptr)
    // before they go.
    void Attach(FormView* view) { view_ = view; }

    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    // The user chose the button or menu command `control`.
    virtual void Click(std::string_view control) = 0;

    // A file dropped on the control `control` (a name, or empty for the
    // window itself), or named when the program was started: a text box
    // takes its path, anywhere else the window's drop box does (dropBox in
    // the design). A file manager may name it by its file: address, which
    // gives the local path it names (DroppedPath). Returns whether the
    // window took it: one without a drop box takes none, nor does any an
    // address of no local file.
    bool FileDropped(std::string_view control, std::string_view path);

  protected:
    FormView& View() const;

  private:
    const FormDesign& design_;
    FormView* view_ = nullptr;
};

// Runs a core operation busy (FormView::RunBusy), then shows the completion
// message `doneText` with the text the operation returns as its details
// (none when empty), or instead the error: a failure's number, description
// and path. A stopped run shows nothing. The window goes on either way,
// unless a signal came during the run (StopOnSignals): the program then
// ends once the run is reported, the completion message shown if the files
// were already in place.
void RunAndReport(FormView& view, const std::function<std::string()>& work,
                  std::string_view doneText);

}  // namespace vagliante::ui
