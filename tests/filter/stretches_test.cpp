// The filters and the record listing read on several workers: the reports
// of the plain scan and selection (tests/fuzz/oracle.h), whatever the
// stretches and the number of workers, on logs whose records cross every
// stretch boundary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/filters.h"
#include "filter/scan_log.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

// The header's count and the lines below it.
void ExpectReport(const std::string& path, std::int64_t records,
                  const std::vector<std::string>& lines) {
    SCOPED_TRACE(path);
    const std::vector<std::string> got = SplitCrLf(ReadFile(path));
    ASSERT_GE(got.size(), 10u);
    EXPECT_EQ(got[5], "## Log records:     " + std::to_string(records));
    EXPECT_TRUE(std::equal(got.begin() + 10, got.end(), lines.begin(), lines.end()))
        << got.size() - 10 << " lines, " << lines.size() << " expected";
}

// The bar of a run: from empty, up without a step back to the end, and
// empty again.
void ExpectBar(const test::RecordingProgress& progress, std::int64_t length) {
    const std::vector<double>& values = progress.values;
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(values.front(), kProgressEmpty);
    EXPECT_EQ(values.back(), kProgressEmpty);
    EXPECT_EQ(values[values.size() - 2], static_cast<double>(length + 1));
    EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end() - 1));
}

bool SameSummary(const RunSummary& a, const RunSummary& b) {
    if (a.records != b.records || a.reports.size() != b.reports.size()) return false;
    for (std::size_t i = 0; i < a.reports.size(); ++i)
        if (a.reports[i].lines != b.reports[i].lines) return false;
    return a.leftOut.no1001 == b.leftOut.no1001 && a.leftOut.otherType == b.leftOut.otherType &&
           a.leftOut.otherSize == b.leftOut.otherSize &&
           a.leftOut.otherSizes == b.leftOut.otherSizes;
}

// Both filters and both listings of `bytes` read with `options`, against
// the plain scan and selection; each run's summary the same as with the
// default reading.
void ExpectAsPlain(const std::string& bytes, const std::vector<ScanOptions>& options) {
    TempDir dir;
    const std::string log = dir.File("LOG.BIN");
    WriteFile(log, bytes);
    const oracle::Scan update = oracle::ScanBytes(bytes, "8400");
    const oracle::Scan activation = oracle::ScanBytes(bytes, "8200");
    const std::vector<std::string> updateLines = oracle::SelectUpdate(update.lines);
    const oracle::ActivationLines activationLines = oracle::SelectActivation(activation.lines);
    NullProgress none;
    const RunSummary updateSummary = FilterUpdate(log, dir.File("REF.TXT"), none);
    const RunSummary activationSummary = FilterActivation(log, dir.File("REF.TXT"), none);
    const auto length = static_cast<std::int64_t>(bytes.size());
    for (const ScanOptions& option : options) {
        SCOPED_TRACE("stretches of " + std::to_string(option.stretch) + ", margin " +
                     std::to_string(option.margin) + ", " + std::to_string(option.workers) +
                     " workers");
        test::RecordingProgress updateBar, activationBar;
        EXPECT_TRUE(SameSummary(FilterUpdateWith(log, dir.File("UPD.TXT"), updateBar, option),
                                updateSummary));
        EXPECT_TRUE(
            SameSummary(FilterActivationWith(log, dir.File("ACT.TXT"), activationBar, option),
                        activationSummary));
        ExpectBar(updateBar, length);
        ExpectBar(activationBar, length);
        ExpectReport(dir.File("UPD.TXT"), update.recordCount, updateLines);
        ExpectReport(dir.File("ACT-5C.TXT"), activation.recordCount, activationLines.r5C);
        ExpectReport(dir.File("ACT-63-70.TXT"), activation.recordCount, activationLines.r63_70);
        ExpectReport(dir.File("ACT-63-71.TXT"), activation.recordCount, activationLines.r63_71);
        for (const oracle::Scan* scan : {&update, &activation}) {
            const char* marker = scan == &update ? "8400" : "8200";
            EXPECT_EQ(ScanLogWith(log, marker, dir.File("LIST.TXT"), none, option),
                      scan->recordCount);
            EXPECT_EQ(ReadFile(dir.File("LIST.TXT")), oracle::Listing(scan->lines)) << marker;
        }
    }
}

std::vector<ScanOptions> SmallStretches(std::vector<std::int64_t> stretches) {
    std::vector<ScanOptions> options;
    for (std::int64_t stretch : stretches)
        for (int workers : {1, 2, 8}) options.push_back({stretch, 0, workers});
    return options;
}

// Markers placed against stretches of 16 bytes: split across a boundary,
// back to back across one, at one, a record over stretches with no marker,
// one longer than the margin read past a stretch, and the last record open
// at the end, after a marker at L - 3 and the first bytes of one at L - 2.
TEST(StretchesTest, RecordsAcrossEveryKindOfBoundary) {
    std::string log(1200, '\x11');
    auto put = [&](std::size_t at, char first) {
        log[at] = first;
        log[at + 1] = '\0';
    };
    for (char first : {'\x82', '\x84'}) {
        const std::size_t shift = first == '\x82' ? 0 : 2;
        for (std::size_t at : {15, 30, 32, 96, 127, 140, 600, 1100}) put(at + shift, first);
    }
    put(1197, '\x82');   // L - 3
    log[1198] = '\x84';  // L - 2, without its second byte
    ExpectAsPlain(log, SmallStretches({16}));
}

// Real records of every size the filters know, with many stretch sizes:
// records cross boundaries at every offset.
TEST(StretchesTest, TheSameReportsWhateverTheStretchesAndTheWorkers) {
    samples::Rng rng(11);
    std::string log = samples::Filler(5, rng);
    while (log.size() < 12000) log += samples::MixedCatalogue(rng);
    log += samples::MakeActivation({0x6D, 300, 0x70, true, -1}, rng);  // open at the end
    ExpectAsPlain(log, SmallStretches({5, 64, 1000}));
}

// The default stretches, workers as the cores allow, on a log of several.
TEST(StretchesTest, ALogOfManyStretchesOnEveryCore) {
    samples::Rng rng(5);
    ExpectAsPlain(samples::RandomLog(3 << 20, rng), {ScanOptions{}});
}

}  // namespace
}  // namespace vagliante
