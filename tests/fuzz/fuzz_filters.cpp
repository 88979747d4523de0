// Both filters over arbitrary bytes, read on up to three workers in small
// stretches that records cross: the header's record count, every report
// line and the run's summary against the plain scan and selection; no file
// left behind.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "filter/filters.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/oracle.h"

using namespace vagliante;

namespace {

void CheckReport(const std::string& path, std::int64_t count, std::size_t width,
                 const std::vector<std::string>& want, const char* name) {
    std::vector<std::string> lines = test::SplitCrLf(test::ReadFile(path));
    if (lines.size() < 10) fuzz::Fail(std::string(name) + ": header");
    fuzz::Expect(lines[5], "## Log records:     " + std::to_string(count), name);
    fuzz::Expect(lines[9], std::string(width, '-'), name);
    std::vector<std::string> body(lines.begin() + 10, lines.end());
    fuzz::Expect(body, want, name);
}

// The reason each record line gives no report line, from its text: the
// selection's rules in their order, restated.
LeftOut LeftOutOf(const std::vector<std::string>& records, bool activation) {
    LeftOut out;
    for (const std::string& r : records) {
        const std::size_t n = r.size();
        bool taken;
        if (!activation) {
            taken = n == 204 || n == 214 || n == 232;
        } else if (oracle::Mid(r, 27, 4) != "1001") {
            ++out.no1001;
            continue;
        } else if (oracle::Mid(r, 5, 2) == "66") {
            taken = n == 210 || n == 220 || n == 240;
        } else if (oracle::Mid(r, 5, 2) == "6D") {
            taken = n == 224 || n == 234 || n > 240;
        } else {
            ++out.otherType;
            continue;
        }
        if (!taken) {
            ++out.otherSize;
            ++out.otherSizes[static_cast<std::int64_t>(n / 2)];
        }
    }
    return out;
}

void CheckSummary(const RunSummary& got, const oracle::Scan& scan,
                  const std::vector<std::size_t>& lines, bool activation, const char* name) {
    const LeftOut want = LeftOutOf(scan.lines, activation);
    fuzz::Expect(got.records, scan.recordCount, name);
    fuzz::Expect(got.reports.size(), lines.size(), name);
    for (std::size_t i = 0; i < lines.size(); ++i)
        fuzz::Expect(got.reports[i].lines, static_cast<std::int64_t>(lines[i]), name);
    fuzz::Expect(got.leftOut.no1001, want.no1001, name);
    fuzz::Expect(got.leftOut.otherType, want.otherType, name);
    fuzz::Expect(got.leftOut.otherSize, want.otherSize, name);
    fuzz::Expect(got.leftOut.otherSizes, want.otherSizes, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log(reinterpret_cast<const char*>(data), size);
    const std::string& dir = fuzz::Scratch();
    const std::string source = dir + "/LOG.BIN";
    test::WriteFile(source, log);
    NullProgress progress;
    const ScanOptions options = fuzz::SmallStretches(size);

    oracle::Scan update = oracle::ScanBytes(log, "8400");
    const std::vector<std::string> updateLines = oracle::SelectUpdate(update.lines);
    const RunSummary updateSummary = FilterUpdateWith(source, dir + "/UPD.TXT", progress, options);
    CheckReport(dir + "/UPD.TXT", update.recordCount, 199, updateLines, "update report");
    CheckSummary(updateSummary, update, {updateLines.size()}, false, "update summary");

    oracle::Scan activation = oracle::ScanBytes(log, "8200");
    oracle::ActivationLines want = oracle::SelectActivation(activation.lines);
    const RunSummary activationSummary =
        FilterActivationWith(source, dir + "/ACT.TXT", progress, options);
    CheckReport(dir + "/ACT-5C.TXT", activation.recordCount, 201, want.r5C, "5C report");
    CheckReport(dir + "/ACT-63-70.TXT", activation.recordCount, 215, want.r63_70, "63-70 report");
    CheckReport(dir + "/ACT-63-71.TXT", activation.recordCount, 215, want.r63_71, "63-71 report");
    CheckSummary(activationSummary, activation,
                 {want.r5C.size(), want.r63_70.size(), want.r63_71.size()}, true,
                 "activation summary");

    // Only the log and the reports: no temporary file.
    fuzz::Expect(fuzz::Entries(dir),
                 std::vector<std::string>{"ACT-5C.TXT", "ACT-63-70.TXT", "ACT-63-71.TXT", "LOG.BIN",
                                          "UPD.TXT"},
                 "files left in the folder");
    return 0;
}
