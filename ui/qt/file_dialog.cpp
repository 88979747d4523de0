#include <QFileDialog>
#include <QStringList>

#include "ui/qt/look.h"
#include "ui/scripts.h"

namespace vagliante::ui::qt {
namespace {

// "*.BIN" also matches "log.bin": the logs come from systems that ignore case.
QString CaseVariants(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
        out << p.trimmed();
        if (p.toLower() != p) out << p.trimmed().toLower();
        if (p.toUpper() != p) out << p.trimmed().toUpper();
    }
    out.removeDuplicates();
    return out.join(' ');
}

}  // namespace

QStringList NameFilters(std::string_view filter) {
    QStringList filters;
    for (const FilterPair& pair : ParseFilter(filter))
        filters << ToQt(pair.description) + " (" + CaseVariants(ToQt(pair.pattern)) + ")";
    return filters;
}

std::optional<std::string> ShowFileDialog(QWidget* parent, const FileDialogRequest& request) {
    if (ActiveFileDialogScript()) return ActiveFileDialogScript()(request);
    const bool open = request.kind == FileDialogKind::Open;
    QFileDialog dialog(parent, ToQt(request.dialogTitle), ToQt(request.initDir));
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The description already names its patterns; do not show them twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                              ? request.filterIndex - 1
                              : 0;
        dialog.selectNameFilter(filters[index]);
    }
    if (!open && !request.defaultExt.empty()) dialog.setDefaultSuffix(ToQt(request.defaultExt));
    if (!request.fileName.empty()) dialog.selectFile(ToQt(request.fileName));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return FromQt(dialog.selectedFiles().first());
    return std::nullopt;
}

}  // namespace vagliante::ui::qt
