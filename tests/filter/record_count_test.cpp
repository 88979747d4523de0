// The count every header shows, on logs large enough for it to be estimated
// first and put right once the selection has counted the records.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filter/filters.h"
#include "filter/record_count.h"
#include "filter/scan_log.h"
#include "platform/input_file.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(RecordEstimateTest, IsTakenOnlyWhenItsDigitsAreClear) {
    EXPECT_EQ(DecimalDigits(0), 1);
    EXPECT_EQ(DecimalDigits(9), 1);
    EXPECT_EQ(DecimalDigits(10), 2);
    EXPECT_EQ(DecimalDigits(999'999), 6);
    EXPECT_EQ(DecimalDigits(1'000'000), 7);
    const std::int64_t mib = kMiB;
    // 5,000 markers in a MiB of a 256 MiB log: 1,280,000 markers.
    EXPECT_EQ(EstimateRecords({5000, mib}, 256 * mib), std::optional<std::int64_t>(1'279'999));
    // Too few markers to say anything of the rest.
    EXPECT_EQ(EstimateRecords({63, mib}, 256 * mib), std::nullopt);
    EXPECT_EQ(EstimateRecords({5000, 0}, 256 * mib), std::nullopt);
    // About a million: six digits or seven.
    EXPECT_EQ(EstimateRecords({3907, mib}, 256 * mib), std::nullopt);
    EXPECT_EQ(EstimateRecords({3750, mib}, 256 * mib), std::nullopt);
    // Comfortably below and above it.
    EXPECT_EQ(DecimalDigits(*EstimateRecords({3600, mib}, 256 * mib)), 6);
    EXPECT_EQ(DecimalDigits(*EstimateRecords({4200, mib}, 256 * mib)), 7);
}

TEST(RecordEstimateTest, ASampleOfAnEvenLogIsCloseToItsCount) {
    TempDir dir;
    samples::Rng rng(3);
    const std::string log = samples::RandomLog(9 * kMiB, rng);
    WriteFile(dir.File("LOG.BIN"), log);
    InputFile in(dir.File("LOG.BIN"));
    for (const char* marker : {"8200", "8400"}) {
        SCOPED_TRACE(marker);
        const Marker bytes = ParseMarker(marker);
        const std::int64_t records = CountRecords(in, in.Length(), bytes, [](std::int64_t) {});
        const LogSample sample = SampleLog(in, in.Length(), bytes);
        EXPECT_EQ(sample.bytes, 16 * 65536);
        const auto estimate = EstimateRecords(sample, in.Length());
        ASSERT_TRUE(estimate.has_value());
        EXPECT_NEAR(static_cast<double>(*estimate), static_cast<double>(records), records * 0.05);
    }
    // A log smaller than a stretch is its own sample.
    WriteFile(dir.File("SMALL.BIN"), log.substr(0, 5000));
    InputFile small(dir.File("SMALL.BIN"));
    const Marker update = ParseMarker("8400");
    EXPECT_EQ(SampleLog(small, small.Length(), update).bytes, 5000);
    EXPECT_EQ(SampleLog(small, small.Length(), update).markers,
              CountRecords(small, small.Length(), update, [](std::int64_t) {}) + 1);
}

// The reports of a log as the record listing and the plain selection rules
// give them.
struct Expected {
    std::int64_t updateRecords = 0;
    std::vector<std::string> update;
    std::int64_t activationRecords = 0;
    oracle::ActivationLines activation;
};

Expected FromListing(const std::string& log, const TempDir& dir) {
    NullProgress none;
    Expected want;
    ScanLog(log, "8400", dir.File("LIST84.TXT"), none);
    const std::vector<std::string> updates = SplitCrLf(ReadFile(dir.File("LIST84.TXT")));
    want.updateRecords = static_cast<std::int64_t>(updates.size());
    want.update = oracle::SelectUpdate(updates);
    ScanLog(log, "8200", dir.File("LIST82.TXT"), none);
    const std::vector<std::string> activations = SplitCrLf(ReadFile(dir.File("LIST82.TXT")));
    want.activationRecords = static_cast<std::int64_t>(activations.size());
    want.activation = oracle::SelectActivation(activations);
    return want;
}

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
    ASSERT_GE(values.size(), 4u);
    EXPECT_EQ(values.front(), kProgressEmpty);
    EXPECT_EQ(values.back(), kProgressEmpty);
    EXPECT_EQ(values[values.size() - 2], static_cast<double>(length + 1));
    EXPECT_TRUE(std::is_sorted(values.begin() + 1, values.end() - 1));
}

void ExpectReports(const TempDir& dir, const std::string& log) {
    const Expected want = FromListing(log, dir);
    const auto length = static_cast<std::int64_t>(ReadFile(log).size());
    test::RecordingProgress update, activation;
    FilterUpdate(log, dir.File("UPD.TXT"), update);
    FilterActivation(log, dir.File("ACT.TXT"), activation);
    ExpectBar(update, length);
    ExpectBar(activation, length);
    ExpectReport(dir.File("UPD.TXT"), want.updateRecords, want.update);
    ExpectReport(dir.File("ACT-5C.TXT"), want.activationRecords, want.activation.r5C);
    ExpectReport(dir.File("ACT-63-70.TXT"), want.activationRecords, want.activation.r63_70);
    ExpectReport(dir.File("ACT-63-71.TXT"), want.activationRecords, want.activation.r63_71);
}

// The digits of a log's estimate against those of its count, per marker.
bool EstimateHasTheCountsDigits(const std::string& log, const char* marker) {
    InputFile in(log);
    const Marker bytes = ParseMarker(marker);
    const auto estimate = EstimateRecords(SampleLog(in, in.Length(), bytes), in.Length());
    EXPECT_TRUE(estimate.has_value()) << marker;
    const std::int64_t records = CountRecords(in, in.Length(), bytes, [](std::int64_t) {});
    return estimate && DecimalDigits(*estimate) == DecimalDigits(records);
}

TEST(LargeLogTest, AnEstimateWithTheCountsDigitsIsPutRight) {
    TempDir dir;
    samples::Rng rng(5);
    WriteFile(dir.File("LOG.BIN"), samples::RandomLog(9 * kMiB, rng));
    const std::string log = dir.File("LOG.BIN");
    ASSERT_TRUE(EstimateHasTheCountsDigits(log, "8400"));
    ASSERT_TRUE(EstimateHasTheCountsDigits(log, "8200"));
    ExpectReports(dir, log);
}

// Records only where the sample looks, filler everywhere else: an estimate
// ten times too high, so the reports are written again with the count. And
// the other way: few records where the sample looks, many elsewhere.
TEST(LargeLogTest, AnEstimateWithOtherDigitsGivesReportsWrittenAgain) {
    TempDir dir;
    for (bool dense : {true, false}) {
        SCOPED_TRACE(dense ? "records where the sample looks" : "records elsewhere");
        samples::Rng rng(dense ? 8 : 9);
        const std::size_t length = 9 * kMiB, stretch = 65536;
        std::string bytes = dense ? samples::Filler(length, rng) : samples::RandomLog(length, rng);
        bytes.resize(length);
        for (std::size_t i = 0; i < 16; ++i) {
            // The stretches a sample reads: sixteen, evenly from start to end.
            const std::size_t start = (length - stretch) * i / 15;
            std::string records = samples::RandomLog(dense ? stretch - 300 : 1500, rng);
            // Closed by a marker of each kind, then filler to the stretch's end.
            records += samples::MakeActivation({}, rng).substr(0, 2) +
                       samples::MakeUpdate({}, rng).substr(0, 2);
            records += samples::Filler(stretch - records.size(), rng);
            records.resize(std::min(records.size(), length - start - 100));
            bytes.replace(start + 100, records.size(), records);
        }
        WriteFile(dir.File("LOG.BIN"), bytes);
        const std::string log = dir.File("LOG.BIN");
        ASSERT_FALSE(EstimateHasTheCountsDigits(log, "8400"));
        ASSERT_FALSE(EstimateHasTheCountsDigits(log, "8200"));
        ExpectReports(dir, log);
    }
}

}  // namespace
}  // namespace vagliante
