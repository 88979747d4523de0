// Both filters over arbitrary bytes: the header's record count and every
// report line against the plain scan and selection; no file left behind.
#include <cstdint>
#include <string>
#include <vector>

#include "filter/filters.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/oracle.h"

using namespace vagliante;

namespace {

void CheckReport(const std::string& path, std::int64_t count, std::size_t width,
                 const std::vector<std::string>& want, const char* name) {
    std::vector<std::string> lines = fuzz::SplitCrLf(fuzz::ReadAll(path));
    if (lines.size() < 10) fuzz::Fail(std::string(name) + ": header");
    fuzz::Expect(lines[5], "## Log records:     " + std::to_string(count), name);
    fuzz::Expect(lines[9], std::string(width, '-'), name);
    std::vector<std::string> body(lines.begin() + 10, lines.end());
    fuzz::Expect(body, want, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log(reinterpret_cast<const char*>(data), size);
    const std::string& dir = fuzz::Scratch();
    const std::string source = dir + "/LOG.BIN";
    fuzz::WriteAll(source, log);
    NullProgress progress;

    oracle::Scan update = oracle::ScanBytes(log, "8400");
    FilterUpdate(source, dir + "/UPD.TXT", progress);
    CheckReport(dir + "/UPD.TXT", update.recordCount, 199, oracle::SelectUpdate(update.lines),
                "update report");

    oracle::Scan activation = oracle::ScanBytes(log, "8200");
    oracle::ActivationLines want = oracle::SelectActivation(activation.lines);
    FilterActivation(source, dir + "/ACT.TXT", progress);
    CheckReport(dir + "/ACT-5C.TXT", activation.recordCount, 201, want.r5C, "5C report");
    CheckReport(dir + "/ACT-63-70.TXT", activation.recordCount, 215, want.r63_70, "63-70 report");
    CheckReport(dir + "/ACT-63-71.TXT", activation.recordCount, 215, want.r63_71, "63-71 report");

    // Only the log and the reports: no temporary file, no work file.
    fuzz::Expect(fuzz::Entries(dir),
                 std::vector<std::string>{"ACT-5C.TXT", "ACT-63-70.TXT", "ACT-63-71.TXT", "LOG.BIN",
                                          "UPD.TXT"},
                 "files left in the folder");
    return 0;
}
