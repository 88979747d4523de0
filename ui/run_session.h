// RunSession: how every window of the program behaves around its handlers,
// written once for the Qt and the Win32 renderer and the tests' fake view.
//
// A handler runs a core operation (FormView::RunBusy) on a worker thread
// while the window goes on handling the user's events, and the window looks
// busy meanwhile: every control that takes the focus but the exit button is
// disabled, and so is the menu; no control holds the focus (a key held down
// cannot reach the exit button); the busy cursor shows. Afterwards all is as
// before. One run goes on at a time in the whole program; during it
//  - only an exit button answers a click;
//  - closing the running window (its exit button, its close box) stops the
//    run at its next block, and the window closes once the handler that
//    started the run has ended; no other window closes;
//  - no window takes a dropped file, and neither does one under a modal
//    window at any time.
// A failure that a handler did not catch becomes a message, and the program
// goes on.
//
// The renderer passes the user's events on to the session, and does what it
// asks through a few primitives of its toolkit (Primitives).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vagliante::ui {

class Form;
class FormView;

class RunSession {
  public:
    // What the session asks of the renderer's window.
    class Primitives {
      public:
        virtual bool ControlEnabled(std::string_view control) const = 0;
        virtual void EnableControl(std::string_view control, bool enabled) = 0;
        virtual void EnableMenu(bool enabled) = 0;
        // The control that has the keyboard focus; empty for none.
        virtual std::string FocusedControl() const = 0;
        // Gives the focus to a control, or (an empty name) to the window.
        virtual void FocusControl(std::string_view control) = 0;
        virtual void ShowBusyCursor(bool busy) = 0;
        // Handles the user's events until `done` is set, or until the
        // program is ending. WakeUp, called from the worker once `done` is
        // set, ends the wait.
        virtual void PumpEventsUntil(const std::atomic<bool>& done) = 0;
        virtual void WakeUp() = 0;
        // Whether a modal window of the program lies over this one.
        virtual bool UnderModal() const = 0;
        // Closes the window now: the session lets it.
        virtual void CloseWindow() = 0;

      protected:
        ~Primitives() = default;
    };

    // For the window `view` of `form`, drawn by `window` (all three usually
    // the renderer's one object).
    RunSession(Form& form, FormView& view, Primitives& window)
        : form_(form), view_(view), window_(window) {}
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    // The user's events, as the renderer passes them on.
    void Click(std::string_view control);  // a button or a menu command
    void Activate();
    bool TakesDrops() const;  // whether a dropped file would be taken now
    // A file (a path, or a file: address) dropped on `control`, empty for
    // the window itself; whether the window took it.
    bool Drop(std::string_view control, std::string_view path);
    // The user asks to close the window: whether it may close now.
    bool MayClose();

    // The renderer's FormView::RunBusy and FormView::Close.
    void Run(const std::function<void()>& work);
    void Close();

    // Whether this window's handler has a run going on.
    bool Running() const;
    // Whether a run goes on in any window.
    static bool Busy();
    // The program is ending (the desktop session ends): stops the run, if
    // any, and returns once it has unwound, leaving every file as it was.
    static void StopAndWait();

  private:
    void Guarded(const std::function<void()>& handler);
    void Begin();
    void End();
    void RequestStop();

    Form& form_;
    FormView& view_;
    Primitives& window_;
    bool closeAfterRun_ = false;
    std::string focusBeforeRun_;
    std::vector<std::string_view> disabledForRun_;
    const std::atomic<bool>* runDone_ = nullptr;  // set by the worker as it ends
};

}  // namespace vagliante::ui
