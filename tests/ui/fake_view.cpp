#include "tests/ui/fake_view.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace vagliante::test {

using ui::ControlKind;

FakeView::FakeView(ui::Form& form) : form_(form), title_(form.Design().title) {
    for (const ui::ControlDesign& design : form.Design().controls) {
        State state{design.kind, std::string(design.caption), design.selected, true, nullptr};
        if (design.kind == ControlKind::ProgressBar)
            state.bar = std::make_unique<ui::ProgressBar>();
        controls_.emplace(std::string(design.name), std::move(state));
    }
    const std::vector<const ui::ControlDesign*> order = ui::TabOrder(form.Design());
    if (!order.empty()) focus_ = order.front()->name;
    form.Attach(this);
    form.Form_Load();
}

FakeView::~FakeView() { form_.Attach(nullptr); }

FakeView::State& FakeView::Control(std::string_view name) {
    auto found = controls_.find(name);
    if (found == controls_.end())
        throw std::out_of_range("no control " + std::string(name) + " in " +
                                std::string(form_.Design().name));
    return found->second;
}

FakeView::State& FakeView::Control(std::string_view name, ControlKind kind) {
    State& state = Control(name);
    if (state.kind != kind)
        throw std::logic_error(std::string(name) + " used as another kind of control");
    return state;
}

const FakeView::State& FakeView::Control(std::string_view name, ControlKind kind) const {
    return const_cast<FakeView*>(this)->Control(name, kind);
}

const FakeView::State& FakeView::Captioned(std::string_view name) const {
    const State& state = const_cast<FakeView*>(this)->Control(name);
    if (state.kind == ControlKind::ProgressBar)
        throw std::logic_error(std::string(name) + " has no text");
    return state;
}

void FakeView::Record(std::string event) {
    events.push_back(event);
    // A modal window's events show in its opener's log too.
    if (parent_) parent_->Record(std::move(event));
}

void FakeView::Click(std::string_view control) {
    if (closed_) throw std::logic_error("a click on a closed window");
    auto found = controls_.find(control);
    const bool button = found != controls_.end() && found->second.kind == ControlKind::Button;
    if (!button && !ui::IsMenuCommand(form_.Design(), control))
        throw std::out_of_range(std::string(control) + " is no button or menu command");
    session_.Click(control);
}

bool FakeView::Drop(std::string_view control, std::string_view path) {
    if (!control.empty()) Control(control);
    return session_.Drop(control, path);
}

void FakeView::Choose(std::string_view option) {
    Control(option, ControlKind::OptionButton);
    for (auto& [name, state] : controls_)
        if (state.kind == ControlKind::OptionButton) state.selected = name == option;
}

void FakeView::Type(std::string_view box, std::string_view text) {
    Control(box, ControlKind::TextBox).text = text;
}

void FakeView::Activate() { session_.Activate(); }

void FakeView::SetTitle(std::string_view title) { title_ = title; }

std::string FakeView::Text(std::string_view control) const { return Captioned(control).text; }

void FakeView::SetText(std::string_view control, std::string_view text) {
    const_cast<State&>(Captioned(control)).text = text;
}

bool FakeView::Selected(std::string_view option) const {
    return Control(option, ControlKind::OptionButton).selected;
}

ui::ProgressBar& FakeView::Bar(std::string_view control) {
    return *Control(control, ControlKind::ProgressBar).bar;
}

std::optional<std::string> FakeView::ShowFileDialog(const ui::FileDialogRequest& request) {
    Record("dialog");
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeView::ShowMessage(const ui::Message& message) {
    Record("message");
    messages.push_back(message);
}

void FakeView::RunBusy(const std::function<void()>& work) {
    Record("busy");
    session_.Run(work);
}

void FakeView::PumpEventsUntil(const std::atomic<bool>& done) {
    if (duringRun) duringRun();
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool FakeView::ControlEnabled(std::string_view control) const {
    return const_cast<FakeView*>(this)->Control(control).enabled;
}

void FakeView::EnableControl(std::string_view control, bool enabled) {
    Control(control).enabled = enabled;
}

std::unique_ptr<ui::LoadedForm> FakeView::Load(ui::Form& form) {
    Record("load " + std::string(form.Design().name));
    auto window = std::make_unique<FakeView>(form);
    window->parent_ = this;
    return window;
}

void FakeView::CloseWindow() {
    Record("close");
    closed_ = true;
}

void FakeView::ShowModal() {
    Record("modal " + std::string(form_.Design().name));
    shownModal_ = true;
    if (parent_) parent_->underModal_ = true;
    Activate();
    FakeView* opener = parent_;
    while (opener && !opener->onModal) opener = opener->parent_;
    if (opener) opener->onModal(*this);
    if (parent_) parent_->underModal_ = false;
}

}  // namespace vagliante::test
