// What a filter run counts: every record either gives a report line or is
// left out by the first rule that drops it.
#include <gtest/gtest.h>

#include <map>

#include "filter/filters.h"
#include "platform/os_file.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using samples::ActivationRecord;
using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

// The sizes in bytes each activation type takes, as the selection states them.
bool ActivationTakes(std::uint8_t type, std::size_t size) {
    if (type == 0x66) return size == 105 || size == 110 || size == 120;
    return size == 112 || size == 117 || size > 120;
}

// Report lines below a report's ten header lines.
std::int64_t ReportLineCount(const std::string& path) {
    return static_cast<std::int64_t>(SplitCrLf(ReadFile(path)).size()) - 10;
}

void ExpectBalanced(const RunSummary& summary) {
    std::int64_t lines = 0;
    for (const ReportLines& report : summary.reports) {
        lines += report.lines;
        EXPECT_EQ(ReportLineCount(report.path), report.lines) << report.path;
    }
    std::int64_t bySize = 0;
    for (const auto& [size, count] : summary.leftOut.otherSizes) bySize += count;
    EXPECT_EQ(bySize, summary.leftOut.otherSize);
    EXPECT_EQ(lines + summary.leftOut.Total(), summary.records);
}

class SummaryTest : public ::testing::Test {
  protected:
    std::string Log(const std::string& bytes) {
        WriteFile(dir_.File("LOG.BIN"), bytes);
        return dir_.File("LOG.BIN");
    }
    // A last marker of each kind, so that no record of the test is the open
    // one at the end.
    std::string ActivationClosed(const std::string& log) {
        return log + samples::MakeActivation({0x66, 8, 0x70, false, -1}, rng_);
    }
    std::string UpdateClosed(const std::string& log) {
        return log + samples::MakeUpdate({8, -1}, rng_);
    }

    TempDir dir_;
    NullProgress progress_;
    samples::Rng rng_{11};
};

TEST_F(SummaryTest, ActivationLeavesOutByTheFirstRuleThatFails) {
    std::string log = samples::Filler(5, rng_);
    std::int64_t records = 0, lines5C = 0, lines70 = 0, lines71 = 0;
    std::int64_t no1001 = 0, otherType = 0;
    std::map<std::int64_t, std::int64_t> otherSizes;
    auto add = [&](const ActivationRecord& r) {
        log += samples::MakeActivation(r, rng_);
        ++records;
    };
    // Every size around the known ones, for both types and both PROV endings.
    for (std::uint8_t type : {0x66, 0x6D}) {
        for (std::size_t size = 100; size <= 125; ++size) {
            const std::uint8_t prov = size % 2 ? 0x70 : 0x71;
            // Patterns for the sizes that are shortened, as real logs carry them.
            const int pattern = (size == 110 || size == 117) ? 40 : -1;
            add({type, size, prov, true, pattern});
            if (!ActivationTakes(type, size))
                ++otherSizes[static_cast<std::int64_t>(size)];
            else if (type == 0x66)
                ++lines5C;
            else
                ++(prov == 0x70 ? lines70 : lines71);
        }
    }
    // No "1001": whatever the type and size, that is the reason counted.
    for (const ActivationRecord& r :
         std::vector<ActivationRecord>{{0x66, 105, 0x70, false, -1},
                                       {0x6D, 112, 0x70, false, -1},
                                       {0x65, 121, 0x70, false, -1},
                                       {0x66, 14, 0x70, true, -1},  // too short for 27-30
                                       {0x6D, 3, 0x70, true, -1}}) {
        add(r);
        ++no1001;
    }
    log += test::Bytes({0x82, 0x00});  // back to back: a record of two bytes
    ++records;
    ++no1001;
    // Other types, even of a size the known types take.
    for (std::uint8_t type : {0x65, 0x6E, 0x00, 0x67}) {
        add({type, 105, 0x70, true, -1});
        ++otherType;
    }
    // Fifteen bytes hold the "1001" and nothing more.
    add({0x66, 15, 0x70, true, -1});
    ++otherSizes[15];

    const RunSummary summary =
        FilterActivation(Log(ActivationClosed(log)), dir_.File("OUT.TXT"), progress_);
    EXPECT_EQ(summary.kind, FilterKind::Activation);
    EXPECT_EQ(summary.log, dir_.File("LOG.BIN"));
    EXPECT_EQ(summary.records, records);
    ASSERT_EQ(summary.reports.size(), 3u);
    EXPECT_EQ(summary.reports[0].path, dir_.File("OUT-5C.TXT"));
    EXPECT_EQ(summary.reports[1].path, dir_.File("OUT-63-70.TXT"));
    EXPECT_EQ(summary.reports[2].path, dir_.File("OUT-63-71.TXT"));
    EXPECT_EQ(summary.reports[0].lines, lines5C);
    EXPECT_EQ(summary.reports[1].lines, lines70);
    EXPECT_EQ(summary.reports[2].lines, lines71);
    EXPECT_EQ(summary.leftOut.no1001, no1001);
    EXPECT_EQ(summary.leftOut.otherType, otherType);
    EXPECT_EQ(summary.leftOut.otherSizes, otherSizes);
    EXPECT_EQ(otherSizes.count(120), 1u);  // type "6D" of exactly 120 bytes
    ExpectBalanced(summary);
}

TEST_F(SummaryTest, UpdateLeavesOutEverySizeButThree) {
    std::string log;
    std::int64_t records = 0, lines = 0;
    std::map<std::int64_t, std::int64_t> otherSizes;
    for (std::size_t size = 95; size <= 125; ++size) {
        log += samples::MakeUpdate({size, size == 107 ? 30 : -1}, rng_);
        ++records;
        if (size == 102 || size == 107 || size == 116)
            ++lines;
        else
            ++otherSizes[static_cast<std::int64_t>(size)];
    }
    log += test::Bytes({0x84, 0x00}) + samples::MakeUpdate({3, -1}, rng_);
    records += 2;
    ++otherSizes[2];
    ++otherSizes[3];

    const RunSummary summary =
        FilterUpdate(Log(UpdateClosed(log)), dir_.File("UPD.TXT"), progress_);
    EXPECT_EQ(summary.kind, FilterKind::Update);
    EXPECT_EQ(summary.records, records);
    ASSERT_EQ(summary.reports.size(), 1u);
    EXPECT_EQ(summary.reports[0].path, dir_.File("UPD.TXT"));
    EXPECT_EQ(summary.reports[0].lines, lines);
    EXPECT_EQ(summary.leftOut.no1001, 0);
    EXPECT_EQ(summary.leftOut.otherType, 0);
    EXPECT_EQ(summary.leftOut.otherSizes, otherSizes);
    ExpectBalanced(summary);
}

// Sizes are those of whole records, however long, not of the part the
// selection reads.
TEST_F(SummaryTest, LongRecordsCountByTheirWholeSize) {
    const std::size_t huge = kIoBlock + 333;
    const std::string activation = samples::MakeActivation({0x66, 600, 0x70, true, -1}, rng_) +
                                   samples::MakeActivation({0x66, huge, 0x70, true, -1}, rng_) +
                                   samples::MakeActivation({0x6D, huge, 0x70, true, -1}, rng_) +
                                   samples::MakeActivation({0x66, 4095, 0x70, true, -1}, rng_) +
                                   samples::MakeActivation({0x66, 4096, 0x70, true, -1}, rng_);
    const std::string update =
        samples::MakeUpdate({huge, -1}, rng_) + samples::MakeUpdate({600, -1}, rng_);
    // The activation scan drops the update records as the open record at its
    // end; the update scan ignores all before its first marker.
    const std::string source = Log(ActivationClosed(activation) + UpdateClosed(update));

    const RunSummary act = FilterActivation(source, dir_.File("OUT.TXT"), progress_);
    EXPECT_EQ(act.records, 5);
    EXPECT_EQ(act.reports[1].lines, 1);  // "6D" longer than 120 bytes is taken
    EXPECT_EQ(act.leftOut.otherSizes,
              (std::map<std::int64_t, std::int64_t>{
                  {600, 1}, {4095, 1}, {4096, 1}, {static_cast<std::int64_t>(huge), 1}}));
    ExpectBalanced(act);

    const RunSummary upd = FilterUpdate(source, dir_.File("UPD.TXT"), progress_);
    EXPECT_EQ(upd.leftOut.otherSizes, (std::map<std::int64_t, std::int64_t>{
                                          {600, 1}, {static_cast<std::int64_t>(huge), 1}}));
    ExpectBalanced(upd);
}

TEST_F(SummaryTest, CataloguesAndRandomLogsBalance) {
    for (const std::string& bytes :
         {samples::MixedCatalogue(rng_), samples::RandomLog(200000, rng_), std::string()}) {
        const std::string source = Log(bytes);
        ExpectBalanced(FilterActivation(source, dir_.File("OUT.TXT"), progress_));
        ExpectBalanced(FilterUpdate(source, dir_.File("UPD.TXT"), progress_));
    }
}

TEST(SummaryTextTest, ActivationLinesInItalian) {
    RunSummary summary;
    summary.kind = FilterKind::Activation;
    summary.log = "C:\\LOG\\A.BIN";
    summary.records = 20;
    summary.reports = {
        {"C:\\LOG\\OUT-5C.TXT", 6}, {"C:\\LOG\\OUT-63-70.TXT", 4}, {"C:\\LOG\\OUT-63-71.TXT", 0}};
    summary.leftOut = {3, 2, 5, {{121, 4}, {1048909, 1}}};
    EXPECT_EQ(SummaryText(summary),
              "Record nel log: 20\n"
              "Righe scritte in C:\\LOG\\OUT-5C.TXT: 6\n"
              "Righe scritte in C:\\LOG\\OUT-63-70.TXT: 4\n"
              "Righe scritte in C:\\LOG\\OUT-63-71.TXT: 0\n"
              "Record esclusi: 10\n"
              "  senza \"1001\" nei caratteri 27-30: 3\n"
              "  di tipo diverso da \"66\" e \"6D\": 2\n"
              "  di dimensione non prevista: 5\n"
              "    121 byte: 4\n"
              "    1048909 byte: 1\n");
}

TEST(SummaryTextTest, UpdateShowsOnlyTheSizeReason) {
    RunSummary summary;
    summary.kind = FilterKind::Update;
    summary.records = 0;
    summary.reports = {{"UPD.TXT", 0}};
    EXPECT_EQ(SummaryText(summary),
              "Record nel log: 0\n"
              "Righe scritte in UPD.TXT: 0\n"
              "Record esclusi: 0\n"
              "  di dimensione non prevista: 0\n");
}

}  // namespace
}  // namespace vagliante
