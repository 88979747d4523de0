// FakeView: a window without any toolkit, for testing a form's handlers.
//
// It holds the state of every control of the form's description, answers
// the file dialogs from a script, records messages and what the handlers
// asked for, and passes the user's events on to the form's run session as
// the renderers do, giving it the primitives it asks for; a run goes on a
// worker thread. A handler that names a control the description lacks, or
// uses a control as another kind, fails the test.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/run_session.h"

namespace vagliante::test {

class FakeView final : public ui::FormView,
                       public ui::LoadedForm,
                       public ui::RunSession::Primitives {
  public:
    // Makes the window for `form` and runs its Form_Load.
    explicit FakeView(ui::Form& form);
    ~FakeView() override;

    // What the user does.
    void Click(std::string_view control);  // a button or a menu command
    void Choose(std::string_view option);  // selects an option, clears the others
    void Type(std::string_view box, std::string_view text);
    void Activate();
    // A file dropped on `control` (empty: on the window itself); whether the
    // window took it.
    bool Drop(std::string_view control, std::string_view path);

    ui::Form& form() const { return form_; }
    bool closed() const { return closed_; }
    bool shownModal() const { return shownModal_; }
    bool menuEnabled() const { return menuEnabled_; }
    bool busyCursor() const { return busyCursor_; }

    // Dialog answers, in order; nothing is a cancelled dialog. With none
    // left, a dialog is cancelled.
    std::deque<std::optional<std::string>> answers;
    std::vector<ui::FileDialogRequest> requests;
    std::vector<ui::Message> messages;
    // What the handlers did, in order: "dialog", "message", "busy",
    // "load <form>", "modal <form>", "close".
    std::vector<std::string> events;
    // Runs when a window loaded by this one is shown modally, before it
    // returns (the window's user at work). Windows loaded by a modal window
    // use its parent's hook.
    std::function<void(FakeView& modal)> onModal;
    // Runs on the window's thread while a run is busy on its worker (the
    // user at work meanwhile), once per run.
    std::function<void()> duringRun;

    // FormView
    std::string Title() const override { return title_; }
    void SetTitle(std::string_view title) override;
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    bool Selected(std::string_view option) const override;
    ui::ProgressBar& Bar(std::string_view control) override;
    std::optional<std::string> ShowFileDialog(const ui::FileDialogRequest& request) override;
    void ShowMessage(const ui::Message& message) override;
    void RunBusy(const std::function<void()>& work) override;
    std::unique_ptr<ui::LoadedForm> Load(ui::Form& form) override;
    void Close() override { session_.Close(); }

    // LoadedForm
    void ShowModal() override;

    // RunSession::Primitives
    bool ControlEnabled(std::string_view control) const override;
    void EnableControl(std::string_view control, bool enabled) override;
    void EnableMenu(bool enabled) override { menuEnabled_ = enabled; }
    std::string FocusedControl() const override { return focus_; }
    void FocusControl(std::string_view control) override { focus_ = control; }
    void ShowBusyCursor(bool busy) override { busyCursor_ = busy; }
    void PumpEventsUntil(const std::atomic<bool>& done) override;
    void WakeUp() override {}
    bool UnderModal() const override { return underModal_; }
    void CloseWindow() override;

  private:
    struct State {
        ui::ControlKind kind;
        std::string text;
        bool selected = false;
        bool enabled = true;
        std::unique_ptr<ui::ProgressBar> bar;
    };
    State& Control(std::string_view name);
    State& Control(std::string_view name, ui::ControlKind kind);
    const State& Control(std::string_view name, ui::ControlKind kind) const;
    const State& Captioned(std::string_view name) const;
    void Record(std::string event);

    ui::Form& form_;
    ui::RunSession session_{form_, *this, *this};
    FakeView* parent_ = nullptr;
    std::string title_;
    std::map<std::string, State, std::less<>> controls_;
    std::string focus_;
    bool menuEnabled_ = true;
    bool busyCursor_ = false;
    bool underModal_ = false;
    bool closed_ = false;
    bool shownModal_ = false;
};

}  // namespace vagliante::test
