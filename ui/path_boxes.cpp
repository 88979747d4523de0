#include "ui/path_boxes.h"

#include "platform/run_error.h"
#include "ui/box_path.h"
#include "ui/form.h"

namespace vagliante::ui {
namespace {

void Choose(FormView& view, CommonDialog& dialog, FileDialogKind kind, std::string_view box,
            std::string_view otherBox, const char* title, const char* filter,
            const char* defaultExt) {
    dialog.SetFileName("");
    dialog.SetDialogTitle(title);
    if (filter) dialog.SetFilter(filter);
    dialog.SetFilterIndex(1);
    if (defaultExt) dialog.SetDefaultExt(defaultExt);
    dialog.SetInitDir(DialogFolder(view.Text(box), view.Text(otherBox)));
    if (kind == FileDialogKind::Open)
        dialog.ShowOpen(view);
    else
        dialog.ShowSave(view);
    view.SetText(box, dialog.FileName());
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// A path read from a box, with the caption of the label that names the box
// for the message about an empty box. Read on the window's thread; the path
// may be taken on any.
class BoxPath {
  public:
    BoxPath(const FormView& view, std::string_view box, std::string_view label)
        : path_(PathFromBox(view.Text(box))), caption_(view.Text(label)) {}

    // The path; for an empty (or blank) box, error 52 saying which box it is.
    const std::string& Path() const {
        if (IsBlank(path_))
            throw RunError(ErrorNumber::BadFileName, "il campo \"" + caption_ + "\" è vuoto");
        return path_;
    }

  private:
    std::string path_;
    std::string caption_;
};

}  // namespace

void ChooseSource(FormView& view, CommonDialog& dialog, const PathBoxes& boxes,
                  const char* filter) {
    Choose(view, dialog, FileDialogKind::Open, boxes.sourceBox, boxes.destinationBox,
           "Scegli il file sorgente", filter, nullptr);
}

void ChooseDestination(FormView& view, CommonDialog& dialog, const PathBoxes& boxes,
                       const char* filter, const char* defaultExt) {
    Choose(view, dialog, FileDialogKind::Save, boxes.destinationBox, boxes.sourceBox,
           "Scegli il file destinazione", filter, defaultExt);
}

void RunOnPaths(FormView& view, const PathBoxes& boxes, const PathOperation& operation,
                std::string_view doneText) {
    const BoxPath source(view, boxes.sourceBox, boxes.sourceLabel);
    const BoxPath destination(view, boxes.destinationBox, boxes.destinationLabel);
    Progress& bar = view.Bar(boxes.bar);
    RunAndReport(
        view,
        [&] {
            const std::string& from = source.Path();
            return operation(from, destination.Path(), bar);
        },
        doneText);
}

}  // namespace vagliante::ui
