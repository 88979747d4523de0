#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "fileinfo/formatting.h"
#include "filter/filters.h"
#include "platform/os_file.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using oracle::Hex;
using samples::ActivationRecord;
using samples::UpdateRecord;
using test::ErrorOf;
using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

// The header's date text for a time of this computer's clock: the user's
// short date and the local time of day, as the regional settings print them.
std::string DateText(std::time_t time) {
    const std::tm local = *std::localtime(&time);
    SystemTime date;
    date.year = local.tm_year + 1900;
    date.month = local.tm_mon + 1;
    date.day = local.tm_mday;
    date.hour = local.tm_hour;
    date.minute = local.tm_min;
    date.second = local.tm_sec;
    return FormatFileDate(DateFromSystemTime(date));
}

// A run in a scratch folder.
class FilterRun : public ::testing::Test {
  protected:
    std::string Log(const std::string& bytes) {
        WriteFile(dir_.File("LOG.BIN"), bytes);
        return dir_.File("LOG.BIN");
    }
    // The report lines below the header of a report file.
    std::vector<std::string> Lines(const std::string& name) {
        auto lines = SplitCrLf(ReadFile(dir_.File(name)));
        return {lines.begin() + std::min<std::size_t>(10, lines.size()), lines.end()};
    }
    std::vector<std::string> Files() { return dir_.List(); }

    TempDir dir_;
    NullProgress progress_;
    samples::Rng rng_{7};
};

// ---- Report shape ----

TEST_F(FilterRun, ALogWithoutRecordsGivesTenLineReports) {
    // A second either way, for a file system clock a tick apart from this one.
    const std::time_t before = std::time(nullptr) - 1;
    const std::string log = Log(samples::Filler(1536, rng_));
    FilterActivation(log, dir_.File("OUT.TXT"), progress_);
    FilterUpdate(log, dir_.File("UPD.TXT"), progress_);
    const std::time_t after = std::time(nullptr) + 1;
    const std::string dateBefore = "## Log date:        " + DateText(before);
    const std::string dateAfter = "## Log date:        " + DateText(after);
    EXPECT_EQ(Files(), (std::vector<std::string>{"LOG.BIN", "OUT-5C.TXT", "OUT-63-70.TXT",
                                                 "OUT-63-71.TXT", "UPD.TXT"}));

    const std::map<std::string, std::pair<std::string, int>> kinds = {
        {"OUT-5C.TXT", {"LN UA       PROV COMANDO", 201}},
        {"OUT-63-70.TXT", {"LN UA       PROV COMANDO", 215}},
        {"OUT-63-71.TXT", {"LN UA       PROV COMANDO", 215}},
        {"UPD.TXT", {"LN PROV PPUA   COMANDO", 199}}};
    for (const auto& [name, kind] : kinds) {
        SCOPED_TRACE(name);
        const std::string text = ReadFile(dir_.File(name));
        // Every line ends in CR LF, and there is no bare LF.
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                  std::count(text.begin(), text.end(), '\r'));
        auto lines = SplitCrLf(text);
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[0], std::string(66, '#'));
        EXPECT_EQ(lines[1], "## Log generato da: Vagliante  Versione 1.2.1");
        EXPECT_EQ(lines[2], "## Log name:        LOG.BIN");
        EXPECT_EQ(lines[3], "## Log size:        1.50KB (1,536 bytes)");
        // The log was made a moment ago: its date is now, in the user's own form.
        EXPECT_TRUE(lines[4] == dateBefore || lines[4] == dateAfter)
            << lines[4] << " is neither " << dateBefore << " nor " << dateAfter;
        EXPECT_EQ(lines[5], "## Log records:     0");
        for (int i = 1; i <= 5; ++i) EXPECT_EQ(lines[i][19], ' ') << "value starts at column 21";
        EXPECT_EQ(lines[6], std::string(66, '#'));
        EXPECT_EQ(lines[7], "");
        EXPECT_EQ(lines[8], kind.first);
        EXPECT_EQ(lines[9], std::string(kind.second, '-'));
    }
}

TEST_F(FilterRun, EveryHeaderCountsEveryRecordLine) {
    std::string log;
    for (int i = 0; i < 105; ++i) log += samples::MakeActivation({0x66, 50, 0x70, true, -1}, rng_);
    log += samples::MakeActivation({0x66, 105, 0x70, true, -1}, rng_);  // 106th record
    log += samples::MakeActivation({0x66, 8, 0x70, true, -1}, rng_);    // open at the end
    FilterActivation(Log(log), dir_.File("OUT.TXT"), progress_);
    for (const char* name : {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"})
        EXPECT_EQ(SplitCrLf(ReadFile(dir_.File(name)))[5], "## Log records:     106") << name;
    EXPECT_EQ(Lines("OUT-5C.TXT").size(), 1u);
}

// ---- Activation selection ----

struct ActivationCase {
    const char* name;
    ActivationRecord record;
    const char* report;  // nullptr: not reported
    std::size_t width;
};

class ActivationSelection : public FilterRun,
                            public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(ActivationSelection, PutsTheRecordInItsReport) {
    const ActivationCase& c = GetParam();
    std::string log = samples::MakeActivation(c.record, rng_) +
                      samples::MakeActivation({0x66, 8, 0x70, false, -1}, rng_);
    FilterActivation(Log(log), dir_.File("OUT.TXT"), progress_);
    for (const char* report : {"5C", "63-70", "63-71"}) {
        auto lines = Lines(std::string("OUT-") + report + ".TXT");
        if (c.report && std::string(c.report) == report) {
            ASSERT_EQ(lines.size(), 1u) << report;
            EXPECT_EQ(lines[0].size(), c.width);
            EXPECT_EQ(lines[0].substr(0, 3), c.record.type == 0x66 ? "5C " : "63 ");
        } else {
            EXPECT_TRUE(lines.empty()) << report;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ActivationSelection,
    ::testing::Values(
        ActivationCase{"T66_105", {0x66, 105, 0x70, true, -1}, "5C", 201},
        ActivationCase{"T66_105_Without1001", {0x66, 105, 0x70, false, -1}, nullptr, 0},
        ActivationCase{"T66_110_PatternEarly", {0x66, 110, 0x70, true, 40}, "5C", 201},
        ActivationCase{"T66_110_PatternAbsent", {0x66, 110, 0x70, true, -1}, "5C", 201},
        // The pattern at character 213: only seven characters follow it.
        ActivationCase{"T66_110_PatternLate", {0x66, 110, 0x70, true, 106}, "5C", 204},
        ActivationCase{"T66_120", {0x66, 120, 0x71, true, -1}, "5C", 201},
        ActivationCase{"T66_121", {0x66, 121, 0x70, true, -1}, nullptr, 0},
        ActivationCase{"T66_104", {0x66, 104, 0x70, true, -1}, nullptr, 0},
        ActivationCase{"T6D_112_Prov70", {0x6D, 112, 0x70, true, -1}, "63-70", 215},
        ActivationCase{"T6D_112_Prov71", {0x6D, 112, 0x71, true, -1}, "63-71", 215},
        ActivationCase{"T6D_112_Prov00", {0x6D, 112, 0x00, true, -1}, "63-71", 215},
        ActivationCase{"T6D_112_Without1001", {0x6D, 112, 0x70, false, -1}, nullptr, 0},
        ActivationCase{"T6D_117_PatternEarly", {0x6D, 117, 0x70, true, 60}, "63-70", 215},
        ActivationCase{"T6D_117_PatternAbsent", {0x6D, 117, 0x71, true, -1}, "63-71", 215},
        ActivationCase{"T6D_117_PatternLate", {0x6D, 117, 0x70, true, 114}, "63-70", 220},
        ActivationCase{"T6D_120", {0x6D, 120, 0x70, true, -1}, nullptr, 0},
        ActivationCase{"T6D_121", {0x6D, 121, 0x70, true, -1}, "63-70", 215},
        ActivationCase{"T6D_140", {0x6D, 140, 0x71, true, -1}, "63-71", 215},
        ActivationCase{"T65_105", {0x65, 105, 0x70, true, -1}, nullptr, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilterRun, ActivationFieldsComeFromTheirCharacters) {
    const std::string r105 = samples::MakeActivation({0x66, 105, 0x70, true, -1}, rng_);
    const std::string r120 = samples::MakeActivation({0x66, 120, 0x70, true, -1}, rng_);
    const std::string r110 = samples::MakeActivation({0x66, 110, 0x70, true, 40}, rng_);
    const std::string r110bare = samples::MakeActivation({0x66, 110, 0x70, true, -1}, rng_);
    const std::string r121 = samples::MakeActivation({0x6D, 121, 0x71, true, -1}, rng_);
    FilterActivation(Log(r105 + r120 + r110 + r110bare + r121 +
                         samples::MakeActivation({0x66, 8, 0x70, false, -1}, rng_)),
                     dir_.File("OUT.TXT"), progress_);
    auto line = [](const std::string& ln, const std::string& h, std::size_t commandEnd) {
        return ln + h.substr(10, 8) + " " + h.substr(18, 4) + " " + h.substr(26, commandEnd - 26);
    };
    const std::string h105 = Hex(r105), h120 = Hex(r120), h110 = Hex(r110);
    const std::string cut110 = h110.substr(0, 81) + h110.substr(91);  // pattern at character 81
    const std::string bare = Hex(r110bare).substr(10);  // no pattern: the first ten go
    auto lines5C = Lines("OUT-5C.TXT");
    ASSERT_EQ(lines5C.size(), 4u);
    EXPECT_EQ(lines5C[0], line("5C ", h105, 210));
    EXPECT_EQ(lines5C[1], line("5C ", h120, 210));
    EXPECT_EQ(lines5C[2], line("5C ", cut110, 210));
    EXPECT_EQ(lines5C[3], line("5C ", bare, 210));
    // UA is then what were characters 21-28.
    EXPECT_EQ(lines5C[3].substr(3, 8), Hex(r110bare).substr(20, 8));
    auto lines71 = Lines("OUT-63-71.TXT");
    ASSERT_EQ(lines71.size(), 1u);
    EXPECT_EQ(lines71[0], line("63 ", Hex(r121), 224));
}

// Records whose marker straddles a read block's end, and a record longer
// than a block, are counted and reported whole by both reads of the log.
TEST_F(FilterRun, RecordsAcrossReadBlocksAreCountedAndReportedWhole) {
    std::string log = samples::Filler(kIoBlock - 1, rng_);  // the next marker is split
    const std::string split = samples::MakeActivation({0x66, 105, 0x70, true, -1}, rng_);
    const std::string huge = samples::MakeActivation({0x6D, kIoBlock + 500, 0x70, true, -1}, rng_);
    const std::string after = samples::MakeActivation({0x66, 105, 0x70, true, -1}, rng_);
    log += split + huge + after + samples::MakeActivation({0x66, 8, 0x70, false, -1}, rng_);
    FilterActivation(Log(log), dir_.File("OUT.TXT"), progress_);

    EXPECT_EQ(SplitCrLf(ReadFile(dir_.File("OUT-5C.TXT")))[5], "## Log records:     3");
    auto line = [](const std::string& ln, const std::string& h, std::size_t commandEnd) {
        return ln + h.substr(10, 8) + " " + h.substr(18, 4) + " " + h.substr(26, commandEnd - 26);
    };
    EXPECT_EQ(Lines("OUT-5C.TXT"), (std::vector<std::string>{line("5C ", Hex(split), 210),
                                                             line("5C ", Hex(after), 210)}));
    EXPECT_EQ(Lines("OUT-63-70.TXT"),
              std::vector<std::string>{line("63 ", Hex(huge.substr(0, 112)), 224)});
}

// ---- Update selection ----

struct UpdateCase {
    const char* name;
    UpdateRecord record;
    std::size_t width;  // 0: not reported
};

class UpdateSelection : public FilterRun, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateSelection, KeepsTheKnownSizes) {
    const UpdateCase& c = GetParam();
    FilterUpdate(Log(samples::MakeUpdate(c.record, rng_) + samples::MakeUpdate({8, -1}, rng_)),
                 dir_.File("UPD.TXT"), progress_);
    auto lines = Lines("UPD.TXT");
    EXPECT_EQ(SplitCrLf(ReadFile(dir_.File("UPD.TXT")))[5], "## Log records:     1");
    if (c.width == 0) {
        EXPECT_TRUE(lines.empty());
    } else {
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].size(), c.width);
        EXPECT_EQ(lines[0].substr(0, 3), "5C ");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, UpdateSelection,
    ::testing::Values(UpdateCase{"B102", {102, -1}, 199},
                      UpdateCase{"B107_PatternEarly", {107, 14}, 199},
                      UpdateCase{"B107_PatternAbsent", {107, -1}, 199},
                      // The pattern at character 207: its command has 187 characters.
                      UpdateCase{"B107_PatternLate", {107, 103}, 202},
                      UpdateCase{"B116", {116, -1}, 199}, UpdateCase{"B105", {105, -1}, 0},
                      UpdateCase{"B101", {101, -1}, 0}, UpdateCase{"B103", {103, -1}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilterRun, UpdateFieldsComeFromTheirCharacters) {
    const std::string r102 = samples::MakeUpdate({102, -1}, rng_);
    const std::string r116 = samples::MakeUpdate({116, -1}, rng_);
    const std::string rBare = samples::MakeUpdate({107, -1}, rng_);
    // 474126 starting at character 30, half a byte off the byte grid.
    std::string rOdd = samples::MakeUpdate({107, -1}, rng_);
    rOdd[14] = static_cast<char>((rOdd[14] & 0xF0) | 0x04);
    rOdd[15] = 0x74;
    rOdd[16] = 0x12;
    rOdd[17] = static_cast<char>(0x60 | (rOdd[17] & 0x0F));
    FilterUpdate(Log(r102 + r116 + rBare + rOdd + samples::MakeUpdate({8, -1}, rng_)),
                 dir_.File("UPD.TXT"), progress_);
    auto line = [](const std::string& h, std::size_t commandEnd) {
        return "5C " + h.substr(6, 4) + " " + h.substr(10, 6) + " " + h.substr(20, commandEnd - 20);
    };
    const std::string hOdd = Hex(rOdd);
    ASSERT_EQ(hOdd.substr(29, 6), "474126");
    auto lines = Lines("UPD.TXT");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], line(Hex(r102), 204));
    EXPECT_EQ(lines[1], line(Hex(r116), 204));
    // No pattern: PROV is what were characters 17-20, PPUA 21-26, COMANDO 31-214.
    const std::string hBare = Hex(rBare);
    EXPECT_EQ(lines[2],
              "5C " + hBare.substr(16, 4) + " " + hBare.substr(20, 6) + " " + hBare.substr(30));
    EXPECT_EQ(lines[3], line(hOdd.substr(0, 30) + hOdd.substr(40), 204));
}

// ---- Report names ----

TEST(ActivationReportNamesTest, DropTheLastFourCharactersWithinTheFileName) {
    EXPECT_EQ(ActivationReportNames("/data/REP.TXT"),
              (std::vector<std::string>{"/data/REP-5C.TXT", "/data/REP-63-70.TXT",
                                        "/data/REP-63-71.TXT"}));
    EXPECT_EQ(ActivationReportNames("REPORT")[0], "RE-5C.TXT");
    // Two- and four-byte characters count as one each.
    EXPECT_EQ(ActivationReportNames("ab\xC3\xA8\xC3\xA8\xF0\x9F\x93\x9Cz")[0], "ab-5C.TXT");
    for (const char* bad : {"/data/logs/a1", "/.TXT", ".TXT", "dir/", "", "ab/c.d", "/a", "a.tx"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf([&] { ActivationReportNames(bad); }), 52);
    }
}

TEST_F(FilterRun, UpdateReportIsTheDestinationItself) {
    FilterUpdate(Log(""), dir_.File("REPORT"), progress_);
    EXPECT_EQ(Files(), (std::vector<std::string>{"LOG.BIN", "REPORT"}));
}

TEST_F(FilterRun, DestinationsTooShortForAReportNameAreRefused) {
    const std::string log = Log("");
    EXPECT_EQ(ErrorOf([&] { FilterActivation(log, "a.tx", progress_); }), 52);
    EXPECT_EQ(ErrorOf([&] { FilterUpdate(log, "", progress_); }), 52);
    EXPECT_EQ(Files(), std::vector<std::string>{"LOG.BIN"});
}

TEST_F(FilterRun, TheCatalogueGivesOneLinePerKnownRecord) {
    const std::string log = Log(samples::MixedCatalogue(rng_));
    test::RecordingProgress progress;
    FilterActivation(log, dir_.File("OUT.TXT"), progress);
    FilterUpdate(log, dir_.File("UPD.TXT"), progress);
    EXPECT_EQ(Lines("OUT-5C.TXT").size(), 5u);
    EXPECT_EQ(Lines("OUT-63-70.TXT").size(), 3u);
    EXPECT_EQ(Lines("OUT-63-71.TXT").size(), 5u);
    EXPECT_EQ(Lines("UPD.TXT").size(), 5u);
    EXPECT_EQ(progress.values.front(), kProgressEmpty);
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
}

}  // namespace
}  // namespace vagliante
