#include "filter/run_summary.h"

namespace vagliante {
namespace {

void Line(std::string& text, std::string_view label, std::int64_t count, int indent = 0) {
    text.append(static_cast<std::size_t>(indent), ' ');
    text += label;
    text += ": ";
    text += std::to_string(count);
    text += '\n';
}

}  // namespace

std::string SummaryText(const RunSummary& summary) {
    std::string text;
    Line(text, "Record nel log", summary.records);
    for (const ReportLines& report : summary.reports)
        Line(text, "Righe scritte in " + report.path, report.lines);
    const LeftOut& left = summary.leftOut;
    Line(text, "Record esclusi", left.Total());
    // The update filter tests sizes alone: its other reasons cannot occur.
    if (summary.kind == FilterKind::Activation) {
        Line(text, "senza \"1001\" nei caratteri 27-30", left.no1001, 2);
        Line(text, "di tipo diverso da \"66\" e \"6D\"", left.otherType, 2);
    }
    Line(text, "di dimensione non prevista", left.otherSize, 2);
    for (const auto& [size, count] : left.otherSizes)
        Line(text, std::to_string(size) + " byte", count, 4);
    return text;
}

}  // namespace vagliante
