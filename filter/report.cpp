#include "filter/report.h"

#include <string>

#include "fileinfo/cfileinfo.h"
#include "fileinfo/formatting.h"

namespace vagliante {

HeaderFacts CollectHeaderFacts(const std::string& source) {
    HeaderFacts facts;
    CFileInfo info;
    info.SetFullPathName(source);
    facts.dateText = info.FormatFileDate(info.CreationTime());
    // The true size: the low 32 bits alone would print a 3 GB log as negative.
    const std::int64_t size =
        (static_cast<std::int64_t>(static_cast<std::uint32_t>(info.FileSizeHigh())) << 32) |
        static_cast<std::uint32_t>(info.FileSize());
    facts.sizeText = FormatFileSize(size);
    facts.logName = info.ShortName();
    return facts;
}

void WriteReportHeader(OutputFile& report, const ReportKind& kind, std::string_view versionText,
                       const HeaderFacts& facts, std::int64_t recordCount) {
    const std::string hashes(66, '#');
    auto labelled = [&](std::string_view label, std::string_view value) {
        report.Write(label);
        report.WriteLine(value);
    };
    report.WriteLine(hashes);
    labelled("## Log generato da: ", versionText);
    labelled("## Log name:        ", facts.logName);
    labelled("## Log size:        ", facts.sizeText);
    labelled("## Log date:        ", facts.dateText);
    labelled("## Log records:     ", std::to_string(recordCount));
    report.WriteLine(hashes);
    report.WriteLine("");
    report.WriteLine(kind.heading);
    report.WriteLine(std::string(static_cast<std::size_t>(kind.dashLength), '-'));
}

}  // namespace vagliante
