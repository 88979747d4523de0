// CommonDialog: the open/save file dialog the windows share, with the
// properties the handlers set (initial name, title, filter, filter index).
//
// A filter is a text of "description|pattern" pairs separated by "|", as in
// "Log file (*.BIN)|*.BIN". Tests install a script that answers in place of
// the user, so that no test ever waits on a real dialog.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vagliante::ui {

class CommonDialog {
public:
    enum class Kind { Open, Save };

    // What a dialog was shown with; passed to the test script.
    struct Request {
        Kind kind;
        QString fileName;
        QString dialogTitle;
        QString filter;
        int filterIndex;
        QString defaultExt;
    };
    // Returns the chosen path, or nothing for a cancelled dialog.
    using Script = std::function<std::optional<QString>(const Request&)>;

    const QString& FileName() const { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }
    const QString& DialogTitle() const { return dialogTitle_; }
    void SetDialogTitle(const QString& title) { dialogTitle_ = title; }
    const QString& Filter() const { return filter_; }
    void SetFilter(const QString& filter) { filter_ = filter; }
    // 1-based index of the filter pair shown first.
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }
    // Extension added to a typed name that has none (save dialog only).
    const QString& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const QString& ext) { defaultExt_ = ext; }

    // Modal. Afterwards FileName() is the chosen full path, or unchanged when
    // the user cancelled.
    void ShowOpen(QWidget* parent);
    void ShowSave(QWidget* parent);

    // Installs (or, with an empty function, removes) the test script.
    static void SetScript(Script script);

    // The Qt name filters for a "description|pattern" filter text.
    static QStringList NameFilters(const QString& filter);

private:
    void Show(QWidget* parent, Kind kind);

    QString fileName_;
    QString dialogTitle_;
    QString filter_;
    int filterIndex_ = 0;
    QString defaultExt_;
};

}  // namespace vagliante::ui
