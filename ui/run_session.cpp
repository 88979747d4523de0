#include "ui/run_session.h"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

#include "platform/program_info.h"
#include "platform/run_error.h"
#include "ui/form.h"

namespace vagliante::ui {
namespace {
RunSession* running = nullptr;  // the session whose run goes on (the windows' thread only)
}

bool RunSession::Busy() { return running != nullptr; }

bool RunSession::Running() const { return running == this; }

void RunSession::StopAndWait() {
    if (!running || !running->runDone_) return;
    running->RequestStop();
    while (!*running->runDone_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void RunSession::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        view_.ShowMessage({error.what(), kProgramTitle, MessageIcon::Critical, {}});
    }
}

void RunSession::Click(std::string_view control) {
    if (Busy() && control != form_.Design().exitButton) return;
    Guarded([&] { form_.Click(control); });
    if (closeAfterRun_ && !Running()) {
        closeAfterRun_ = false;
        Close();
    }
}

void RunSession::Activate() {
    Guarded([&] { form_.Form_Activate(); });
}

bool RunSession::TakesDrops() const {
    return !form_.Design().dropBox.empty() && !Busy() && !window_.UnderModal();
}

bool RunSession::Drop(std::string_view control, std::string_view path) {
    if (!TakesDrops()) return false;
    bool taken = false;
    Guarded([&] { taken = form_.FileDropped(control, path); });
    return taken;
}

bool RunSession::MayClose() {
    if (Running()) {
        RequestStop();
        closeAfterRun_ = true;
        return false;
    }
    return !Busy();  // another window's run (a modal one over this) ends first
}

void RunSession::Close() {
    if (MayClose()) window_.CloseWindow();
}

void RunSession::RequestStop() {
    for (const ControlDesign& control : form_.Design().controls)
        if (control.kind == ControlKind::ProgressBar) view_.Bar(control.name).RequestStop();
}

void RunSession::Run(const std::function<void()>& work) {
    if (running) throw std::logic_error("a run started inside another");
    running = this;
    Begin();
    std::atomic<bool> done{false};
    runDone_ = &done;
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
            window_.WakeUp();
        });
    } catch (...) {
        // No thread for the run (no memory left for its stack): the window
        // as before, and the failure as error 7.
        runDone_ = nullptr;
        End();
        RethrowWithErrorNumber();
    }
    window_.PumpEventsUntil(done);
    if (!done) RequestStop();  // the program ends: the run unwinds at its next block
    worker.join();
    runDone_ = nullptr;
    End();
    if (failure) std::rethrow_exception(failure);
}

void RunSession::Begin() {
    closeAfterRun_ = false;
    const FormDesign& design = form_.Design();
    for (const ControlDesign& control : design.controls)
        if (control.kind == ControlKind::ProgressBar) view_.Bar(control.name).ClearStop();
    // The focus off the controls first, so that disabling them does not
    // hand it on to the exit button.
    focusBeforeRun_ = window_.FocusedControl();
    window_.FocusControl({});
    disabledForRun_.clear();
    for (const ControlDesign& control : design.controls) {
        if (!TakesFocus(control.kind) || control.name == design.exitButton) continue;
        if (!window_.ControlEnabled(control.name)) continue;
        window_.EnableControl(control.name, false);
        disabledForRun_.push_back(control.name);
    }
    if (!design.menu.empty()) window_.EnableMenu(false);
    window_.ShowBusyCursor(true);
}

void RunSession::End() {
    window_.ShowBusyCursor(false);
    for (std::string_view control : disabledForRun_) window_.EnableControl(control, true);
    disabledForRun_.clear();
    const FormDesign& design = form_.Design();
    if (!design.menu.empty()) window_.EnableMenu(true);
    running = nullptr;
    if (!focusBeforeRun_.empty() && window_.ControlEnabled(focusBeforeRun_)) {
        window_.FocusControl(focusBeforeRun_);
    } else {
        const std::vector<const ControlDesign*> order = TabOrder(design);
        if (!order.empty()) window_.FocusControl(order.front()->name);
    }
}

}  // namespace vagliante::ui
