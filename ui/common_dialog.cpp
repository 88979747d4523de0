#include "ui/common_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace vagliante::ui {
namespace {

CommonDialog::Script& ActiveScript() {
    static CommonDialog::Script script;
    return script;
}

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

QStringList CommonDialog::NameFilters(const QString& filter) {
    QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + CaseVariants(parts[i + 1]) + ")";
    return filters;
}

void CommonDialog::SetScript(Script script) { ActiveScript() = std::move(script); }

void CommonDialog::ShowOpen(QWidget* parent) { Show(parent, Kind::Open); }
void CommonDialog::ShowSave(QWidget* parent) { Show(parent, Kind::Save); }

void CommonDialog::Show(QWidget* parent, Kind kind) {
    if (ActiveScript()) {
        std::optional<QString> answer =
            ActiveScript()({kind, fileName_, dialogTitle_, filter_, filterIndex_, defaultExt_});
        if (answer) fileName_ = *answer;
        return;
    }
    QFileDialog dialog(parent, dialogTitle_);
    dialog.setAcceptMode(kind == Kind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(kind == Kind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The description already names its patterns; do not show them twice.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters = NameFilters(filter_);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = filterIndex_ >= 1 && filterIndex_ <= filters.size() ? filterIndex_ - 1 : 0;
        dialog.selectNameFilter(filters[index]);
    }
    if (kind == Kind::Save && !defaultExt_.isEmpty()) dialog.setDefaultSuffix(defaultExt_);
    if (!fileName_.isEmpty()) dialog.selectFile(fileName_);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        fileName_ = dialog.selectedFiles().first();
}

}  // namespace vagliante::ui
