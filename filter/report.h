// The report shape both filters share: a ten-line header (program and
// version, the log's name, size, date and record count, the column heading
// and a dash line), then one fixed-width line per reported command.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/output_file.h"

namespace vagliante {

// The facts about the source log that every header shows.
struct HeaderFacts {
    std::string logName;   // the log's short name
    std::string sizeText;  // its size, formatted
    std::string dateText;  // its creation date, formatted
};

// The facts of the log at `source`, fetched before the log is opened. A
// missing log gives empty facts, not an error: the scan reports it.
HeaderFacts CollectHeaderFacts(const std::string& source);

struct ReportKind {
    std::string_view heading;
    int dashLength;  // the width of the report's lines
};

inline constexpr ReportKind kActivation5C{"LN UA       PROV COMANDO", 201};
inline constexpr ReportKind kActivation63{"LN UA       PROV COMANDO", 215};
inline constexpr ReportKind kUpdateReport{"LN PROV PPUA   COMANDO", 199};

// Writes lines 1 to 10 of a report.
void WriteReportHeader(OutputFile& report, const ReportKind& kind, std::string_view versionText,
                       const HeaderFacts& facts, std::int64_t recordCount);

}  // namespace vagliante
