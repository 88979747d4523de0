#include "ui/form.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "platform/program_info.h"
#include "platform/run_error.h"
#include "platform/stop.h"
#include "ui/path_boxes.h"
#include "ui/scripts.h"

namespace vagliante::ui {

FormView& Form::View() const {
    if (!view_) throw std::logic_error("a handler ran without its window");
    return *view_;
}

bool Form::FileDropped(std::string_view control, std::string_view path) {
    if (design_.dropBox.empty()) return false;
    const std::optional<std::string> local = DroppedPath(path);
    if (!local) return false;
    const ControlDesign* target = FindControl(design_, control);
    const bool onBox = target && target->kind == ControlKind::TextBox;
    View().SetText(onBox ? target->name : design_.dropBox, *local);
    return true;
}

void RunAndReport(FormView& view, const std::function<std::string()>& work,
                  std::string_view doneText) {
    // A signal stops the run, or comes once its files are in place; either
    // way the program ends, once the run is reported.
    struct EndAfterReport {
        ~EndAfterReport() { EndProcessIfStopped(); }
    } endAfterReport;
    std::string failure;
    std::string details;
    try {
        const RunScope running;
        view.RunBusy([&] { details = work(); });
    } catch (const RunStopped&) {
        return;  // the user asked for it: no message
    } catch (const RunError& error) {
        failure = error.what();
    } catch (const std::bad_alloc&) {
        failure = "Errore 7: Memoria esaurita";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty()) {
        view.ShowMessage({failure, kProgramTitle, MessageIcon::Critical, {}});
        return;
    }
    while (!details.empty() && details.back() == '\n') details.pop_back();  // no blank last line
    view.ShowMessage(
        {std::string(doneText), kMessageTitle, MessageIcon::Information, std::move(details)});
}

void CommonDialog::Show(FormView& view, Kind kind) {
    std::optional<std::string> chosen = view.ShowFileDialog(
        {kind, fileName_, dialogTitle_, filter_, filterIndex_, defaultExt_, initDir_});
    if (chosen) fileName_ = std::move(*chosen);
}

std::vector<FilterPair> ParseFilter(std::string_view filter) {
    std::vector<FilterPair> pairs;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        std::size_t bar = filter.find('|', start);
        if (bar == std::string_view::npos) bar = filter.size();
        parts.emplace_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) pairs.push_back({parts[i], parts[i + 1]});
    return pairs;
}

namespace {
FileDialogScript& FileScript() {
    static FileDialogScript script;
    return script;
}
MessageScript& MsgScript() {
    static MessageScript script;
    return script;
}
}  // namespace

void SetFileDialogScript(FileDialogScript script) { FileScript() = std::move(script); }
void SetMessageScript(MessageScript script) { MsgScript() = std::move(script); }
const FileDialogScript& ActiveFileDialogScript() { return FileScript(); }
const MessageScript& ActiveMessageScript() { return MsgScript(); }

}  // namespace vagliante::ui
