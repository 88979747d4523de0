// CommonDialog: the open/save file dialog a window shares between its "..."
// buttons, with the properties the handlers set (initial name, title,
// filter, filter index) and those a handler may add (the extension of a
// typed name, the folder the dialog opens in).
//
// A filter is a text of "description|pattern" pairs separated by "|", as in
// "Log file (*.BIN)|*.BIN". The dialog itself is the renderer's; tests
// install a script that answers in place of the user (ui/scripts.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vagliante::ui {

class FormView;

// The filters the windows' "..." buttons offer.
inline constexpr const char* kLogFilter = "Log file (*.BIN)|*.BIN";
inline constexpr const char* kTextFilter = "Text file (*.TXT)|*.TXT";

enum class FileDialogKind { Open, Save };

// What a dialog is shown with: what the renderer and a test script get.
struct FileDialogRequest {
    FileDialogKind kind;
    std::string fileName;
    std::string dialogTitle;
    std::string filter;
    int filterIndex;         // 1-based: the pair shown first
    std::string defaultExt;  // added to a typed name without one (save only)
    std::string initDir;     // empty: the system's choice
};

struct FilterPair {
    std::string description;
    std::string pattern;  // one or more patterns separated by ";"
};

// The pairs of a filter text; a description without its pattern is dropped.
std::vector<FilterPair> ParseFilter(std::string_view filter);

class CommonDialog {
  public:
    using Kind = FileDialogKind;
    using Request = FileDialogRequest;

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string name) { fileName_ = std::move(name); }
    const std::string& DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(std::string title) { dialogTitle_ = std::move(title); }
    const std::string& Filter() const { return filter_; }
    void SetFilter(std::string filter) { filter_ = std::move(filter); }
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }
    const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(std::string ext) { defaultExt_ = std::move(ext); }
    const std::string& InitDir() const { return initDir_; }
    void SetInitDir(std::string folder) { initDir_ = std::move(folder); }

    // Modal, over the window `view`. Afterwards FileName() is the chosen
    // full path, or unchanged when the user cancelled.
    void ShowOpen(FormView& view) { Show(view, Kind::Open); }
    void ShowSave(FormView& view) { Show(view, Kind::Save); }

  private:
    void Show(FormView& view, Kind kind);

    std::string fileName_;
    std::string dialogTitle_;
    std::string filter_;
    int filterIndex_ = 0;
    std::string defaultExt_;
    std::string initDir_;
};

}  // namespace vagliante::ui
