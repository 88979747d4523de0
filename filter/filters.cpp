#include "filter/filters.h"

#include <array>

#include "filter/remove_extra_bytes.h"
#include "filter/report.h"
#include "filter/scan_log.h"
#include "platform/files.h"
#include "platform/program_info.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Record lines longer than this are never reported whole, so a line of any
// length costs no more memory than this.
constexpr std::size_t kLineHead = 240;

// Writes one report line: LN, the two fields and the command, a blank after
// each field.
void WriteReportLine(OutputFile& report, std::string_view ln, std::string_view first,
                     std::string_view second, std::string_view command) {
    report.Write(ln);
    report.Write(first);
    report.Write(" ", 1);
    report.Write(second);
    report.Write(" ", 1);
    report.WriteLine(command);
}

// An empty destination, or one too short to give a report name, is refused
// before anything is read or written.
void RequireDestination(const std::string& destination, std::size_t minimumLength) {
    if (destination.size() < minimumLength) throw RunError(ErrorNumber::BadFileName, destination);
}

// Activation selection: "1001" at characters 27-30; type "66" of 210, 240
// or 220 characters into the 5C report; type "6D" of 224, more than 240 or
// 234 characters into 63-70 or 63-71 by characters 21-22.
enum class ActivationReport { k5C, k63_70, k63_71 };

class ActivationPass {
  public:
    explicit ActivationPass(std::array<OutputFile*, 3> reports) : reports_(reports) {}

    void Take(std::string_view head, std::int64_t length) {
        if (head.size() < 30 || head.substr(26, 4) != "1001") return;
        std::string_view type = head.substr(4, 2);
        if (type == "66") {
            if (length == 210)
                Write(ActivationReport::k5C, "5C ", head);
            else if (length == 240)
                Write(ActivationReport::k5C, "5C ", head.substr(0, 210));
            else if (length == 220)
                WriteShortened(ActivationReport::k5C, "5C ", head);
        } else if (type == "6D") {
            auto report =
                head.substr(20, 2) == "70" ? ActivationReport::k63_70 : ActivationReport::k63_71;
            if (length == 224)
                Write(report, "63 ", head);
            else if (length > 240)
                Write(report, "63 ", head.substr(0, 224));
            else if (length == 234)
                WriteShortened(report, "63 ", head);
        }
    }

  private:
    void Write(ActivationReport report, std::string_view ln, std::string_view line) {
        WriteReportLine(*reports_[static_cast<int>(report)], ln, line.substr(10, 8),
                        line.substr(18, 4), line.substr(26));
    }
    void WriteShortened(ActivationReport report, std::string_view ln, std::string_view line) {
        shortened_ = RemoveExtraBytes(line, "4740B6");
        Write(report, ln, shortened_);
    }

    std::array<OutputFile*, 3> reports_;
    std::string shortened_;
};

// Update selection, by length alone: 204 whole, 232 cut to 204, 214
// shortened by the "474126" rule.
class UpdatePass {
  public:
    explicit UpdatePass(OutputFile& report) : report_(report) {}

    void Take(std::string_view head, std::int64_t length) {
        if (length == 204)
            Write(head);
        else if (length == 232)
            Write(head.substr(0, 204));
        else if (length == 214) {
            shortened_ = RemoveExtraBytes(head, "474126");
            Write(shortened_);
        }
    }

  private:
    void Write(std::string_view line) {
        WriteReportLine(report_, "5C ", line.substr(6, 4), line.substr(10, 6), line.substr(20));
    }

    OutputFile& report_;
    std::string shortened_;
};

// Reads the work file back line by line into `pass`.
template <typename Pass>
void ReportPass(const WorkFile& work, Pass& pass) {
    InputFile lines(work.Path());
    LineReader reader(lines, kLineHead);
    while (reader.Next()) pass.Take(reader.Head(), reader.Length());
}

}  // namespace

void FilterActivation(const std::string& source, const std::string& destination,
                      Progress& progress) {
    progress.SetValue(kProgressEmpty);
    // The report names drop the last four characters of the destination;
    // something must be left of it.
    RequireDestination(destination, 5);
    const HeaderFacts facts = CollectHeaderFacts(source);
    WorkFile work;
    const std::int64_t recordCount = ScanLog(source, kActivationMarker, work, progress);

    const std::string base = destination.substr(0, destination.size() - 4);
    AtomicOutput report5C(base + "-5C.TXT");
    AtomicOutput report70(base + "-63-70.TXT");
    AtomicOutput report71(base + "-63-71.TXT");
    const std::string version = VersionText();
    WriteReportHeader(report5C.Stream(), kActivation5C, version, facts, recordCount);
    WriteReportHeader(report70.Stream(), kActivation63, version, facts, recordCount);
    WriteReportHeader(report71.Stream(), kActivation63, version, facts, recordCount);

    ActivationPass pass({&report5C.Stream(), &report70.Stream(), &report71.Stream()});
    ReportPass(work, pass);

    // All three are complete before any replaces an existing report.
    report5C.Finish();
    report70.Finish();
    report71.Finish();
    report5C.Publish();
    report70.Publish();
    report71.Publish();
}

void FilterUpdate(const std::string& source, const std::string& destination, Progress& progress) {
    progress.SetValue(kProgressEmpty);
    RequireDestination(destination, 1);
    const HeaderFacts facts = CollectHeaderFacts(source);
    WorkFile work;
    const std::int64_t recordCount = ScanLog(source, kUpdateMarker, work, progress);

    AtomicOutput report(destination);
    WriteReportHeader(report.Stream(), kUpdateReport, VersionText(), facts, recordCount);
    UpdatePass pass(report.Stream());
    ReportPass(work, pass);
    report.Commit();
}

}  // namespace vagliante
