#include <gtest/gtest.h>

#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "filter/scan_log.h"
#include "platform/os_file.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using test::Bytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct ScanOutcome {
    std::string lines;
    std::int64_t recordCount;
    test::RecordingProgress progress;
};

ScanOutcome Scan(const std::string& log, std::string_view marker) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), log);
    ScanOutcome outcome;
    outcome.recordCount =
        ScanLog(dir.File("LOG.BIN"), marker, dir.File("LIST.TXT"), outcome.progress);
    outcome.lines = ReadFile(dir.File("LIST.TXT"));
    return outcome;
}

TEST(ScanLogTest, WorkedExampleKeepsTheRecordBetweenTwoMarkers) {
    auto out = Scan(Bytes({0x41, 0x82, 0x00, 0x66, 0x01, 0x82, 0x00, 0x6D, 0x02, 0x03, 0x04, 0x05}),
                    "8200");
    EXPECT_EQ(out.lines, "82006601\r\n");
    EXPECT_EQ(out.recordCount, 1);
}

TEST(ScanLogTest, MarkerPositionsNearTheEnd) {
    // L = 8; a marker at p = 5 = L - 3 is recognised, at L - 2 and L - 1 not.
    EXPECT_EQ(Scan(Bytes({0x82, 0x00, 0x11, 0x22, 0x82, 0x00, 0x33, 0x44}), "8200").lines,
              "82001122\r\n");
    EXPECT_EQ(Scan(Bytes({0x82, 0x00, 0x11, 0x22, 0x55, 0x82, 0x00, 0x44}), "8200").lines, "");
    EXPECT_EQ(Scan(Bytes({0x82, 0x00, 0x11, 0x22, 0x55, 0x66, 0x82, 0x00}), "8200").lines, "");
    // L = 12, the only other marker at L - 2: no record.
    auto out = Scan(Bytes({0x41, 0x82, 0x00, 0x66, 0x01, 0x6D, 0x02, 0x03, 0x04, 0x82, 0x00, 0x05}),
                    "8200");
    EXPECT_EQ(out.lines, "");
    EXPECT_EQ(out.recordCount, 0);
}

TEST(ScanLogTest, ShortAndMarkerlessLogsGiveNoRecord) {
    for (const std::string& log :
         {std::string(), Bytes({0x82}), Bytes({0x82, 0x00}), Bytes({0x82, 0x00, 0x82}),
          Bytes({0x82, 0x00, 0x01, 0x02, 0x03, 0x04}), std::string(5000, '\x41')}) {
        auto out = Scan(log, "8200");
        EXPECT_EQ(out.lines, "") << log.size();
        EXPECT_EQ(out.recordCount, 0);
    }
}

TEST(ScanLogTest, BackToBackMarkersGiveATwoByteRecord) {
    auto out = Scan(Bytes({0x82, 0x00, 0x82, 0x00, 0x01, 0x82, 0x00, 0x09, 0x09, 0x09}), "8200");
    EXPECT_EQ(out.lines, "8200\r\n820001\r\n");
    EXPECT_EQ(out.recordCount, 2);
}

TEST(ScanLogTest, TheOtherKindsMarkerDoesNotSplitARecord) {
    const std::string log =
        Bytes({0x82, 0x00, 0x84, 0x00, 0x01, 0x82, 0x00, 0x84, 0x00, 0x02, 0x84, 0x00, 0xAA, 0xBB});
    EXPECT_EQ(Scan(log, "8200").lines, "8200840001\r\n");
    EXPECT_EQ(Scan(log, "8400").lines, "8400018200\r\n840002\r\n");
}

TEST(ScanLogTest, RecordsSpanningReadBlocksStayWhole) {
    // A marker split across the 1 MiB block boundary, and records longer
    // than a block.
    std::string log(kIoBlock - 1, '\x11');
    log += Bytes({0x82, 0x00});
    log += std::string(kIoBlock + 3, '\x22');
    log += Bytes({0x82, 0x00, 0x33, 0x44, 0x55, 0x66});
    auto out = Scan(log, "8200");
    std::string expected = "8200";
    for (std::size_t i = 0; i < kIoBlock + 3; ++i) expected += "22";
    EXPECT_EQ(out.lines, expected + "\r\n");
    EXPECT_EQ(out.recordCount, 1);
}

TEST(ScanLogTest, ProgressRunsFromEmptyThroughOneToLengthPlusOneThenEmpty) {
    auto out = Scan(std::string(100, '\x82'), "8200");
    EXPECT_EQ(out.progress.maxima, std::vector<double>{101.0});
    ASSERT_GE(out.progress.values.size(), 4u);
    EXPECT_EQ(out.progress.values[0], kProgressEmpty);
    EXPECT_EQ(out.progress.values[1], 1.0);
    EXPECT_EQ(out.progress.values[out.progress.values.size() - 2], 101.0);
    EXPECT_EQ(out.progress.values.back(), kProgressEmpty);

    auto empty = Scan("", "8400");
    EXPECT_EQ(empty.progress.maxima, std::vector<double>{1.0});
}

// A huge open record at the end never reaches the listing.
TEST(ScanLogTest, DropsAnOpenRecordLongerThanABlock) {
    std::string log = Bytes({0x82, 0x00, 0x01, 0x82, 0x00});
    log += std::string(3 * kIoBlock, '\x11');
    const ScanOutcome out = Scan(log, "8200");
    EXPECT_EQ(out.lines, "820001\r\n");
    EXPECT_EQ(out.recordCount, 1);
}

// An existing listing is replaced whole, and kept as it was on failure.
TEST(ScanLogTest, ReplacesWholeOrNotAtAll) {
    TempDir dir;
    WriteFile(dir.File("LIST.TXT"), std::string(100000, 'x'));
    NullProgress none;
    EXPECT_EQ(
        test::FailureOf([&] { ScanLog(dir.File("NONE.BIN"), "8400", dir.File("LIST.TXT"), none); }),
        (test::Failure{53, dir.File("NONE.BIN")}));
    EXPECT_EQ(ReadFile(dir.File("LIST.TXT")), std::string(100000, 'x'));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LIST.TXT"});

    WriteFile(dir.File("LOG.BIN"), Bytes({0x84, 0x00, 0x84, 0x00}));
    EXPECT_EQ(ScanLog(dir.File("LOG.BIN"), "8400", dir.File("LIST.TXT"), none), 0);
    EXPECT_EQ(ReadFile(dir.File("LIST.TXT")), "");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"LIST.TXT", "LOG.BIN"}));
}

// The listing never takes the place of its own log.
TEST(ScanLogTest, RefusesItsOwnLogAsDestination) {
    TempDir dir;
    const std::string log = Bytes({0x82, 0x00, 0x01, 0x82, 0x00, 0x02, 0x03, 0x04});
    WriteFile(dir.File("LOG.BIN"), log);
    NullProgress none;
    EXPECT_EQ(
        test::ErrorOf([&] { ScanLog(dir.File("LOG.BIN"), "8200", dir.File("LOG.BIN"), none); }),
        55);
    EXPECT_EQ(ReadFile(dir.File("LOG.BIN")), log);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LOG.BIN"});
}

#ifndef _WIN32
// A pipe cannot take back what it was given: the open record at the end,
// longer than a block, never reaches it.
TEST(ScanLogTest, APipeGetsOnlyTheClosedRecords) {
    TempDir dir;
    std::string log = Bytes({0x84, 0x00, 0x01, 0x84, 0x00});
    log += std::string(3 * kIoBlock, '\x11');
    WriteFile(dir.File("LOG.BIN"), log);
    ASSERT_EQ(::mkfifo(dir.File("PIPE").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(dir.File("PIPE")); });
    NullProgress none;
    EXPECT_EQ(ScanLog(dir.File("LOG.BIN"), "8400", dir.File("PIPE"), none), 1);
    reader.join();
    EXPECT_EQ(received, "840001\r\n");
}
#endif

}  // namespace
}  // namespace vagliante
