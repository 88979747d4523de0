// How outputs replace files: what is kept of the old file, links, pipes and
// devices, the activation reports as one set, signals, names at the limits,
// sources that change or stream, and the messages of the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/convert.h"
#include "filter/filters.h"
#include "platform/run_error.h"
#include "platform/stop.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace vagliante {
namespace {

namespace fs = std::filesystem;
using faults::Catalogue;
using faults::Cli;
using faults::LargeLog;
using faults::Leftovers;
using faults::RunShell;
using faults::Shell;
using faults::Work;
using test::ErrorOf;
using test::Quoted;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::vector<std::string> kActivationKinds = {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"};

// A caller that runs `action` when the run shows its `at`-th value (the
// empty bar not counted).
class ActingProgress final : public Progress {
  public:
    ActingProgress(int at, std::function<void()> action) : at_(at), action_(std::move(action)) {}
    void SetMax(double) override {}
    void SetValue(double value) override {
        if (value != kProgressEmpty && ++seen_ == at_) action_();
    }
    int Seen() const { return seen_; }

  private:
    int at_;
    std::function<void()> action_;
    int seen_ = 0;
};

// The number of the value a run of `work` shows at step `k` of its final
// phase: the bar moves once per output flushed, then once per output put in
// place, and shows its end after those (the last step is the end itself).
int FinalPhaseValue(Work work, const std::string& source, const std::string& destination,
                    int outputs, int k) {
    ActingProgress count(0, [] {});
    work(source, destination, count);
    return count.Seen() - 2 * outputs - 1 + k;
}

#ifndef _WIN32
// A shell script in `dir`, as a command line that runs it (so that its
// "$" are left to it).
std::string Script(const TempDir& dir, const std::string& text) {
    WriteFile(dir.File("script.sh"), text);
    return "sh " + Quoted(dir.File("script.sh"));
}
#endif

// ---- The source is never destroyed ----

TEST(SourceAsOutputTest, AFilterRefusesItsOwnLogUnderAnyNameAndAConversionStillWorks) {
    TempDir dir;
    const std::string log = Catalogue();
    WriteFile(dir.File("LOG.BIN"), log);
    test::MakeFolder(dir.File("sub"));
    NullProgress none;
    std::vector<std::string> spellings = {dir.File("LOG.BIN"), dir.File("sub/../LOG.BIN"),
                                          dir.File("./LOG.BIN")};
#ifdef _WIN32
    std::string backslashed = dir.File("LOG.BIN");
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    spellings.push_back(backslashed);
    spellings.push_back(dir.File("log.bin"));  // names are compared without case
#else
    fs::create_symlink(dir.File("LOG.BIN"), dir.File("LINK.TXT"));
    fs::create_hard_link(dir.File("LOG.BIN"), dir.File("HARD.TXT"));
    spellings.push_back(dir.File("LINK.TXT"));
    spellings.push_back(dir.File("HARD.TXT"));
#endif
    for (const std::string& name : spellings) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ErrorOf([&] { FilterUpdate(dir.File("LOG.BIN"), name, none); }), 55);
    }
#ifdef _WIN32
    // Whatever the letters.
    WriteFile(dir.File("È.BIN"), log);
    EXPECT_EQ(ErrorOf([&] { FilterUpdate(dir.File("È.BIN"), dir.File("è.bin"), none); }), 55);
#endif
    // The log named as one of the three activation reports.
    WriteFile(dir.File("X-63-70.TXT"), log);
    EXPECT_EQ(ErrorOf([&] { FilterActivation(dir.File("X-63-70.TXT"), dir.File("X.TXT"), none); }),
              55);
    EXPECT_FALSE(fs::exists(dir.File("X-5C.TXT")));
    EXPECT_EQ(ReadFile(dir.File("LOG.BIN")), log);
    EXPECT_EQ(ReadFile(dir.File("X-63-70.TXT")), log);
    EXPECT_TRUE(Leftovers(dir.Path()).empty());

    // A conversion onto its own source reads it whole first.
    ConvertBinToTxt(dir.File("X-63-70.TXT"), dir.File("X-63-70.TXT"), none);
    ConvertTxtToBin(dir.File("X-63-70.TXT"), dir.File("X-63-70.TXT"), none);
    EXPECT_EQ(ReadFile(dir.File("X-63-70.TXT")), log);
}

// ---- The activation reports' names ----

TEST(ReportNameTest, TheCutStaysInTheDestinationsFolderAndCountsCharacters) {
    TempDir dir;
    test::MakeFolder(dir.File("logs"));
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    NullProgress none;
    // The last four characters hold a separator: refused before the log is
    // even opened (it does not exist here).
    EXPECT_EQ(ErrorOf([&] { FilterActivation(dir.File("NONE.BIN"), dir.File("logs/a1"), none); }),
              52);
    EXPECT_EQ(fs::directory_iterator(dir.File("logs")) == fs::directory_iterator(), true);

    // Four characters, not four bytes: "è" and "ò" are two bytes each.
    FilterActivation(dir.File("LOG.BIN"), dir.File("logs/prova\xC3\xA8\xC3\xA8\xC3\xB2\xC3\xB2"),
                     none);
    for (const std::string& kind : kActivationKinds)
        EXPECT_TRUE(fs::exists(fs::u8path(dir.File("logs/prova" + kind)))) << kind;
}

// A destination name may be as long as the file system allows (255 bytes):
// the temporary name is shortened to fit, never cut inside a character.
TEST(ReportNameTest, NamesUpToTheSystemsLimitWork) {
    TempDir dir;
    const std::string log = Catalogue();
    WriteFile(dir.File("LOG.BIN"), log);
    NullProgress none;
    const std::string longest(255, 'N');
    // A name of two-byte characters, cut in the middle of none of them.
    std::string accented;
    while (accented.size() < 250) accented += "\xC3\xA8";
    accented += ".TXT";
    std::vector<std::string> names = {longest, std::string(243, 'M')};
#ifndef _WIN32
    // (Under Wine a Windows name is a UTF-8 name of the Linux file system,
    // whose limit is in bytes: there two-byte characters fit half as many.)
    names.push_back(accented);
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        const std::string dest = dir.File(name);
        FilterUpdate(dir.File("LOG.BIN"), dest, none);
        FilterUpdate(dir.File("LOG.BIN"), dest, none);  // replacing it too
        ConvertBinToTxt(dir.File("LOG.BIN"), dest, none);
        EXPECT_EQ(fs::file_size(test::FsPath(dest)), 2 * log.size());
        fs::remove(test::FsPath(dest));
    }
    // The longest report name, "-63-70.TXT", at the limit.
    const std::string stem(245, 'A');
    FilterActivation(dir.File("LOG.BIN"), dir.File(stem + ".TXT"), none);
    for (const std::string& kind : kActivationKinds)
        EXPECT_TRUE(fs::exists(test::FsPath(dir.File(stem + kind))));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(test::FsPath(dir.Path())), fs::directory_iterator()),
        4);

#ifndef _WIN32
    // Past the system's limits: a bad file name, naming the path.
    const std::string tooLong = dir.File(std::string(256, 'L'));
    EXPECT_EQ(test::FailureOf([&] { ConvertBinToTxt(dir.File("LOG.BIN"), tooLong, none); }),
              (test::Failure{52, tooLong}));
    std::string deep = dir.Path();
    while (deep.size() < 40000) deep += "/" + std::string(200, 'd');
    EXPECT_EQ(ErrorOf([&] { ConvertBinToTxt(dir.File("LOG.BIN"), deep + "/OUT.TXT", none); }), 52);
    EXPECT_EQ(ErrorOf([&] { FilterUpdate(deep + "/LOG.BIN", dir.File("OUT.TXT"), none); }), 52);
    EXPECT_EQ(dir.List().size(), 4u);
#endif
}

// ---- The three activation reports change together ----

class ActivationSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_.File("LOG.BIN"), LargeLog(3));
        for (const std::string& kind : kActivationKinds)
            WriteFile(dir_.File("REP" + kind), "earlier");
    }
    // The value shown after the second of the three renames.
    int AfterSecondRename() {
        return FinalPhaseValue(test::WithoutSummary<FilterActivation>, dir_.File("LOG.BIN"),
                               dir_.File("TRY.TXT"), 3, 5);
    }
    void ExpectAllEarlier() {
        for (const std::string& kind : kActivationKinds)
            EXPECT_EQ(ReadFile(dir_.File("REP" + kind)), "earlier") << kind;
        EXPECT_TRUE(Leftovers(dir_.Path()).empty());
        for (const std::string& kind : kActivationKinds) test::RemoveFile(dir_.File("TRY" + kind));
    }
    TempDir dir_;
};

TEST_F(ActivationSetTest, AStopBetweenTheRenamesLeavesAllThreeAsTheyWere) {
    // Steps 1 to 3 of the final phase come after each report is flushed, 4
    // and 5 after the first and the second rename, 6 after the third.
    for (int k : {1, 3, 4, 5, 6}) {
        SCOPED_TRACE(k);
        const int at = FinalPhaseValue(test::WithoutSummary<FilterActivation>, dir_.File("LOG.BIN"),
                                       dir_.File("TRY.TXT"), 3, k);
        ActingProgress progress(at, [] { RequestStop(SIGTERM); });
        EXPECT_THROW(FilterActivation(dir_.File("LOG.BIN"), dir_.File("REP.TXT"), progress),
                     RunStopped);
        ClearStop();
        ExpectAllEarlier();
    }
}

#ifndef _WIN32
// On Windows, a report another program holds: windows_files_test.cpp.
TEST_F(ActivationSetTest, AReplaceThatFailsPutsTheOthersBack) {
    // The third report is made immutable once the run has begun: only its
    // rename fails.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for chattr";
    const std::string third = dir_.File("REP-63-71.TXT");
    bool immutable = false;
    ActingProgress progress(AfterSecondRename(), [&] {
        immutable = test::RunCommandLine("chattr +i " + Quoted(third) + " 2>/dev/null") == 0;
    });
    const int error =
        ErrorOf([&] { FilterActivation(dir_.File("LOG.BIN"), dir_.File("REP.TXT"), progress); });
    if (!immutable) GTEST_SKIP() << "chattr +i does not work here";
    test::RunCommandLine("chattr -i " + Quoted(third));
    EXPECT_EQ(error, 70);
    ExpectAllEarlier();
}

// In a sticky folder (as /tmp is) a user may write a report of another user
// but not rename over it: the third rename fails, the first two go back.
TEST(ActivationSetStickyTest, AThirdRenameRefusedInAStickyFolderPutsTheOthersBack) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as the user nobody";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 01777);
    WriteFile(dir.File("LOG.BIN"), LargeLog(13));
    for (const std::string& kind : kActivationKinds) {
        WriteFile(dir.File("REP" + kind), "earlier");
        ::chmod(dir.File("REP" + kind).c_str(), 0666);
        if (kind != "-63-71.TXT") ::chown(dir.File("REP" + kind).c_str(), 65534, 65534);
    }
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (RunShell(dir, asNobody + Cli() + " --version").status != 0)
        GTEST_SKIP() << "cannot run vagliante-cli as nobody here";
    Shell run = RunShell(dir, asNobody + Cli() + " attivazione " + Quoted(dir.File("LOG.BIN")) +
                                  " " + Quoted(dir.File("REP.TXT")));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "vagliante-cli: Errore 70: Permesso negato: " + dir.File("REP-63-71.TXT") + "\n");
    for (const std::string& kind : kActivationKinds)
        EXPECT_EQ(ReadFile(dir.File("REP" + kind)), "earlier") << kind;
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}
#endif

// Two runs that write the same three names at once, each from its own
// log, leave the three reports of one of them, never a mix.
TEST(ActivationSetConcurrencyTest, TwoRunsOnTheSameNamesLeaveOneRunsSet) {
    TempDir dir;
    WriteFile(dir.File("A.BIN"), Catalogue(1));
    WriteFile(dir.File("B.BIN"), Catalogue(2));
    NullProgress none;
    FilterActivation(dir.File("A.BIN"), dir.File("REFA.TXT"), none);
    FilterActivation(dir.File("B.BIN"), dir.File("REFB.TXT"), none);
    auto set = [&](const std::string& stem) {
        std::string all;
        for (const std::string& kind : kActivationKinds)
            all += ReadFile(dir.File(stem + kind)) + "|";
        return all;
    };
    const std::string a = set("REFA"), b = set("REFB");
    ASSERT_NE(a, b);
    for (int round = 0; round < 40; ++round) {
        std::atomic<int> failures{0};
        auto run = [&](const char* log) {
            NullProgress progress;
            try {
                FilterActivation(dir.File(log), dir.File("OUT.TXT"), progress);
            } catch (const RunError&) {
                ++failures;
            }
        };
        std::thread first(run, "A.BIN"), second(run, "B.BIN");
        first.join();
        second.join();
        ASSERT_EQ(failures, 0);
        const std::string got = set("OUT");
        ASSERT_TRUE(got == a || got == b) << "round " << round << ": a mixed set";
    }
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// ---- Progress covers the putting in place ----

TEST(FinalPhaseTest, TheBarReachesItsEndOnlyWithTheFilesInPlace) {
    TempDir dir;
    const std::string log = LargeLog(9);
    WriteFile(dir.File("LOG.BIN"), log);
    const double end = static_cast<double>(log.size() + 1);
    struct Checking final : Progress {
        std::function<bool()> inPlace;
        double end = 0;
        std::vector<double> values;
        bool inPlaceAtEnd = false;
        void SetMax(double) override {}
        void SetValue(double value) override {
            values.push_back(value);
            if (value == end) inPlaceAtEnd = inPlace();
        }
    };
    struct Case {
        Work work;
        std::string output;
    };
    for (const Case& c : {Case{test::WithoutSummary<FilterUpdate>, "OUT.TXT"},
                          Case{test::WithoutSummary<FilterActivation>, "OUT-63-71.TXT"},
                          Case{test::WithoutSummary<ConvertBinToTxt>, "OUT.TXT"}}) {
        WriteFile(dir.File("OUT.TXT"), "earlier");
        WriteFile(dir.File("OUT-63-71.TXT"), "earlier");
        Checking progress;
        progress.end = end;
        progress.inPlace = [&] { return ReadFile(dir.File(c.output)) != "earlier"; };
        c.work(dir.File("LOG.BIN"), dir.File("OUT.TXT"), progress);
        ASSERT_GE(progress.values.size(), 4u);
        EXPECT_EQ(progress.values.back(), kProgressEmpty);
        EXPECT_EQ(progress.values[progress.values.size() - 2], end);
        // The files were in place when the bar showed its end, and the bar
        // moved, without emptying, while they were put there.
        EXPECT_TRUE(progress.inPlaceAtEnd);
        EXPECT_NE(std::find_if(progress.values.begin(), progress.values.end(),
                               [](double v) { return v != std::floor(v); }),
                  progress.values.end())
            << "no value for the final phase";
        EXPECT_TRUE(std::is_sorted(progress.values.begin() + 1, progress.values.end() - 1));
    }
}

// ---- A source that changes or streams ----

// A log cut by another program while a run reads it. The filters read a log
// twice, to count its records and to select them: logs of 5 and 10 MiB cut
// in the count and in the selection.
TEST(ChangingSourceTest, ALogCutDuringARunIsAnErrorAndReplacesNothing) {
    TempDir dir;
    const std::string small = LargeLog(4), large = LargeLog(4, 10);
    const Work update = test::WithoutSummary<FilterUpdate>;
    const Work activation = test::WithoutSummary<FilterActivation>;
    struct Case {
        Work work;
        const std::string& log;
        int at;  // the value shown when the log is cut
    };
    for (const Case& c :
         {Case{update, small, 3}, Case{update, small, 7}, Case{activation, small, 3},
          Case{activation, small, 7}, Case{test::WithoutSummary<ConvertBinToTxt>, small, 2},
          Case{test::WithoutSummary<ConvertTxtToBin>, small, 2}, Case{update, large, 2},
          Case{update, large, 9}, Case{activation, large, 2}, Case{activation, large, 9}}) {
        SCOPED_TRACE(std::to_string(c.log.size() >> 20) + " MiB, cut at " + std::to_string(c.at));
        WriteFile(dir.File("LOG.BIN"), c.log);
        WriteFile(dir.File("OUT.TXT"), "earlier");
        for (const std::string& kind : kActivationKinds)
            WriteFile(dir.File("OUT" + kind), "earlier");
        ActingProgress progress(
            c.at, [&] { fs::resize_file(dir.File("LOG.BIN"), c.log.size() / 2 + 7); });
        EXPECT_EQ(
            test::FailureOf([&] { c.work(dir.File("LOG.BIN"), dir.File("OUT.TXT"), progress); }),
            (test::Failure{62, dir.File("LOG.BIN")}));
        EXPECT_GE(progress.Seen(), c.at);
        EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), "earlier");
        for (const std::string& kind : kActivationKinds)
            EXPECT_EQ(ReadFile(dir.File("OUT" + kind)), "earlier");
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
    }
}

TEST(ChangingSourceTest, ALogGrowingDuringARunIsReadToItsFirstLength) {
    TempDir dir;
    const std::string more = Catalogue(6);
    NullProgress none;
    for (const std::string& log : {LargeLog(5), LargeLog(5, 10)})
        for (Work work :
             {test::WithoutSummary<FilterUpdate>, test::WithoutSummary<ConvertBinToTxt>}) {
            WriteFile(dir.File("LOG.BIN"), log);
            work(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);
            ActingProgress progress(3, [&] {
                std::ofstream(dir.File("LOG.BIN"), std::ios::binary | std::ios::app) << more;
            });
            work(dir.File("LOG.BIN"), dir.File("OUT.TXT"), progress);
            // The header's size is the log's at the start: the reports agree
            // but for nothing.
            EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), ReadFile(dir.File("REF.TXT")));
        }
}

#ifndef _WIN32

// ---- What the replaced file had is kept ----

struct FileFacts {
    mode_t mode;
    uid_t uid;
    gid_t gid;
};
FileFacts FactsOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return {static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
}

TEST(KeptAttributesTest, AReplacedReportKeepsModeOwnerGroupAttributesAndAcl) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the report another owner";
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    NullProgress none;
    const std::string report = dir.File("OUT.TXT");
    for (Work work : {test::WithoutSummary<FilterUpdate>, test::WithoutSummary<ConvertBinToTxt>}) {
        WriteFile(report, "earlier");
        ASSERT_EQ(::chown(report.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(report.c_str(), 02640), 0);
        ASSERT_EQ(::setxattr(report.c_str(), "user.origin", "site-7", 6, 0), 0);
        const bool acl =
            test::RunCommandLine("setfacl -m u:daemon:r " + Quoted(report) + " 2>/dev/null") == 0;
        work(dir.File("LOG.BIN"), report, none);
        EXPECT_NE(ReadFile(report), "earlier");
        const FileFacts facts = FactsOf(report);
        EXPECT_EQ(facts.mode, 02640u);
        EXPECT_EQ(facts.uid, 65534u);
        EXPECT_EQ(facts.gid, 65534u);
        char value[16] = {};
        EXPECT_EQ(::getxattr(report.c_str(), "user.origin", value, sizeof value), 6);
        EXPECT_STREQ(value, "site-7");
        if (acl) {
            Shell got = RunShell(dir, "getfacl -c " + Quoted(report));
            EXPECT_NE(got.out.find("user:daemon:r--"), std::string::npos) << got.out;
        }
        ::chmod(report.c_str(), 0644);
        test::RunCommandLine("setfacl -b " + Quoted(report) + " 2>/dev/null");
    }
    // A report with no write permission at all is not replaced, even by root.
    ::chmod(report.c_str(), 0444);
    const std::string before = ReadFile(report);
    EXPECT_EQ(ErrorOf([&] { FilterUpdate(dir.File("LOG.BIN"), report, none); }), 70);
    EXPECT_EQ(ReadFile(report), before);
    EXPECT_EQ(FactsOf(report).mode, 0444u);
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(KeptAttributesTest, ANewReportGetsTheUmaskAndTheTemporaryFileIsPrivate) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), LargeLog(7));
    const mode_t old = ::umask(027);
    mode_t temporaryMode = 0;
    ActingProgress progress(3, [&] {
        const auto left = Leftovers(dir.Path());
        if (left.size() == 1) temporaryMode = FactsOf(dir.File(left[0])).mode;
    });
    FilterUpdate(dir.File("LOG.BIN"), dir.File("NEW.TXT"), progress);
    ::umask(old);
    EXPECT_EQ(temporaryMode, 0600u);
    EXPECT_EQ(FactsOf(dir.File("NEW.TXT")).mode, 0640u);
}

// As an unprivileged user, the owner and a group the user is not in cannot
// be kept: the group's rights are dropped rather than handed to the user's
// own group.
TEST(KeptAttributesTest, AGroupThatCannotBeKeptLosesItsRights) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as the user nobody";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0777);
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    WriteFile(dir.File("OUT.TXT"), "earlier");
    ::chmod(dir.File("OUT.TXT").c_str(), 0666);  // root's, writable by all
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (RunShell(dir, asNobody + Cli() + " --version").status != 0)
        GTEST_SKIP() << "cannot run vagliante-cli as nobody here";
    Shell run = RunShell(dir, asNobody + Cli() + " aggiornamento " + Quoted(dir.File("LOG.BIN")) +
                                  " " + Quoted(dir.File("OUT.TXT")));
    EXPECT_EQ(run.status, 0) << run.out;
    const FileFacts facts = FactsOf(dir.File("OUT.TXT"));
    EXPECT_EQ(facts.uid, 65534u);
    EXPECT_EQ(facts.mode, 0606u);
}

// ---- Links, pipes, devices ----

TEST(OutputKindTest, ALinkIsFollowedAndAHardLinkIsBroken) {
    TempDir dir;
    test::MakeFolder(dir.File("real"));
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    WriteFile(dir.File("real/OUT.TXT"), "earlier");
    fs::create_symlink("real/OUT.TXT", dir.File("LINK.TXT"));
    fs::create_symlink("real/NEW.TXT", dir.File("DANGLING.TXT"));
    NullProgress none;
    FilterUpdate(dir.File("LOG.BIN"), dir.File("LINK.TXT"), none);
    FilterUpdate(dir.File("LOG.BIN"), dir.File("DANGLING.TXT"), none);
    EXPECT_TRUE(fs::is_symlink(dir.File("LINK.TXT")));
    EXPECT_TRUE(fs::is_symlink(dir.File("DANGLING.TXT")));
    EXPECT_NE(ReadFile(dir.File("real/OUT.TXT")), "earlier");
    EXPECT_EQ(ReadFile(dir.File("real/NEW.TXT")), ReadFile(dir.File("real/OUT.TXT")));
    EXPECT_TRUE(Leftovers(dir.File("real")).empty());
    EXPECT_TRUE(Leftovers(dir.Path()).empty());

    // The three activation reports through links, each to another folder.
    test::MakeFolder(dir.File("other"));
    for (const std::string& kind : kActivationKinds) {
        WriteFile(dir.File("other/T" + kind), "earlier");
        fs::create_symlink(dir.File("other/T" + kind), dir.File("A" + kind));
    }
    FilterActivation(dir.File("LOG.BIN"), dir.File("A.TXT"), none);
    for (const std::string& kind : kActivationKinds) {
        EXPECT_TRUE(fs::is_symlink(dir.File("A" + kind)));
        EXPECT_NE(ReadFile(dir.File("other/T" + kind)), "earlier");
    }

    // A second name of the same file keeps the old content.
    fs::create_hard_link(dir.File("real/OUT.TXT"), dir.File("SECOND.TXT"));
    const std::string before = ReadFile(dir.File("SECOND.TXT"));
    ConvertBinToTxt(dir.File("LOG.BIN"), dir.File("real/OUT.TXT"), none);
    EXPECT_EQ(ReadFile(dir.File("SECOND.TXT")), before);
    EXPECT_NE(ReadFile(dir.File("real/OUT.TXT")), before);
}

TEST(OutputKindTest, PipesAndDevicesAreWrittenDirectlyAndOtherKindsRefused) {
    TempDir dir;
    const std::string log = Catalogue();
    WriteFile(dir.File("LOG.BIN"), log);
    NullProgress none;
    ConvertBinToTxt(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);

    // A FIFO: read by another thread while the conversion writes it.
    ASSERT_EQ(::mkfifo(dir.File("FIFO").c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadFile(dir.File("FIFO")); });
    ConvertBinToTxt(dir.File("LOG.BIN"), dir.File("FIFO"), none);
    reader.join();
    EXPECT_EQ(got, ReadFile(dir.File("REF.TXT")));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("FIFO").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // The null device stays the null device.
    FilterUpdate(dir.File("LOG.BIN"), "/dev/null", none);
    ConvertBinToTxt(dir.File("LOG.BIN"), "/dev/null", none);
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));

    // A socket is no place for a report.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.File("SOCK");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(ErrorOf([&] { ConvertBinToTxt(dir.File("LOG.BIN"), socketPath, none); }), 75);
    ::close(fd);
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// A report that goes to a pipe, which cannot be gone back over, is the one
// that a file gets.
TEST(OutputKindTest, ALargeLogsReportsThroughFifosEqualThoseInFiles) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), LargeLog(12, 9));
    NullProgress none;
    FilterUpdate(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);
    FilterActivation(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);
    std::vector<std::string> names = {"FIFO.TXT"};
    for (const std::string& kind : kActivationKinds) names.push_back("FIFO" + kind);
    for (const std::string& name : names) ASSERT_EQ(::mkfifo(dir.File(name).c_str(), 0600), 0);
    // Read by other threads while the filters write them.
    auto throughFifos = [&](std::vector<std::string> fifos, const std::function<void()>& run) {
        std::vector<std::string> got(fifos.size());
        std::vector<std::thread> readers;
        for (std::size_t i = 0; i < fifos.size(); ++i)
            readers.emplace_back([&, i] { got[i] = ReadFile(dir.File(fifos[i])); });
        run();
        for (std::thread& reader : readers) reader.join();
        return got;
    };
    const auto update = throughFifos(
        {"FIFO.TXT"}, [&] { FilterUpdate(dir.File("LOG.BIN"), dir.File("FIFO.TXT"), none); });
    EXPECT_TRUE(update[0] == ReadFile(dir.File("REF.TXT")));
    const auto activation = throughFifos({names[1], names[2], names[3]}, [&] {
        FilterActivation(dir.File("LOG.BIN"), dir.File("FIFO.TXT"), none);
    });
    for (std::size_t i = 0; i < kActivationKinds.size(); ++i)
        EXPECT_TRUE(activation[i] == ReadFile(dir.File("REF" + kActivationKinds[i])))
            << kActivationKinds[i];
}

// As root, the issue that started it all: /dev/stdout was replaced by a file.
TEST(OutputKindTest, StandardOutputIsWrittenNotReplaced) {
    TempDir dir;
    const std::string log = Catalogue();
    WriteFile(dir.File("LOG.BIN"), log);
    NullProgress none;
    ConvertBinToTxt(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);
    const std::string ref = ReadFile(dir.File("REF.TXT"));
    const std::string bin = Quoted(dir.File("LOG.BIN"));
    const std::string out = Quoted(dir.File("OUT.TXT"));
    const std::string err = Quoted(dir.File("ERR.TXT"));
    // Under any name, the data alone on standard output, the message on stderr.
    for (std::string destination : {"/dev/stdout", "/proc/self/fd/1", "/dev/fd/1"}) {
        SCOPED_TRACE(destination);
        EXPECT_EQ(test::RunCommandLine(Cli() + " bin2txt " + bin + " " + destination + " >" + out +
                                       " 2>" + err),
                  0);
        EXPECT_TRUE(ReadFile(dir.File("OUT.TXT")) == ref);
        EXPECT_EQ(ReadFile(dir.File("ERR.TXT")), "Conversione conclusa\n");
    }
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
    // "-" for standard input and output, through pipes.
    EXPECT_EQ(test::RunCommandLine("cat " + bin + " | " + Cli() + " bin2txt - - 2>" + err +
                                   " | cat >" + out),
              0);
    EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), ref);
    EXPECT_EQ(ReadFile(dir.File("ERR.TXT")), "Conversione conclusa\n");
    EXPECT_EQ(test::RunCommandLine("cat " + Quoted(dir.File("REF.TXT")) + " | " + Cli() +
                                   " txt2bin - " + out),
              0);
    EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), log);
    // Appending to a file given as standard output keeps what was there.
    WriteFile(dir.File("OUT.TXT"), "head:");
    EXPECT_EQ(test::RunCommandLine(Cli() + " bin2txt " + bin + " - >>" + out + " 2>/dev/null"), 0);
    EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), "head:" + ref);
}

// ---- Sources that are not regular files ----

TEST(StreamSourceTest, ConversionsReadPipesWholeAndFiltersRefuseThem) {
    TempDir dir;
    samples::Rng rng(8);
    const std::string bytes = samples::RandomLog(3 * (1 << 20) + 77, rng);
    WriteFile(dir.File("IN.BIN"), bytes);
    NullProgress none;
    ConvertBinToTxt(dir.File("IN.BIN"), dir.File("REF.TXT"), none);

    ASSERT_EQ(::mkfifo(dir.File("FIFO").c_str(), 0600), 0);
    std::thread writer([&] {
        // Written in small pieces, as a slow program would.
        std::ofstream fifo(dir.File("FIFO"), std::ios::binary);
        for (std::size_t at = 0; at < bytes.size(); at += 4093)
            fifo.write(bytes.data() + at,
                       static_cast<std::streamsize>(std::min<std::size_t>(4093, bytes.size() - at)))
                .flush();
    });
    ConvertBinToTxt(dir.File("FIFO"), dir.File("OUT.TXT"), none);
    writer.join();
    EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), ReadFile(dir.File("REF.TXT")));

    // A pipe is read in full blocks, not in the pieces its writer gives.
    if (test::RunCommandLine("strace -V >/dev/null 2>&1") == 0) {
        Shell run =
            RunShell(dir, Script(dir, "head -c 4194304 /dev/urandom | strace -e trace=read " +
                                          Cli() + " bin2txt - " + Quoted(dir.File("PIPE.TXT")) +
                                          " 2>&1 | grep -c '^read(0,'"));
        EXPECT_LT(std::atoi(run.out.c_str()), 200) << "reads of standard input";
        EXPECT_EQ(fs::file_size(dir.File("PIPE.TXT")), 2u * 4194304u);
    }

    // A FIFO with no writer and an endless device: refused at once.
    for (const std::string& source : {dir.File("FIFO"), std::string("/dev/zero")})
        for (Work work :
             {test::WithoutSummary<FilterUpdate>, test::WithoutSummary<FilterActivation>}) {
            SCOPED_TRACE(source);
            EXPECT_EQ(ErrorOf([&] { work(source, dir.File("OUT.TXT"), none); }), 75);
        }
    EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), ReadFile(dir.File("REF.TXT")));
}

// ---- Signals ----

class SignalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::chmod(dir_.Path().c_str(), 0755);
        WriteFile(dir_.File("OUT.TXT"), "earlier");
        ASSERT_EQ(::mkfifo(dir_.File("IN").c_str(), 0600), 0);
    }
    // Starts `command` in the background with a source FIFO that a writer
    // holds open after a first part, waits until `ready` is in the folder,
    // sends `signal` and gives the command's exit status.
    int Interrupt(const std::string& command, int signal) {
        const std::string script =
            "(exec 3>" + Quoted(dir_.File("IN")) +
            "; head -c 3000000 /dev/zero >&3; exec sleep 30) & w=$!; env --default-signal " +
            command + " & p=$!; i=0; while [ $i -lt 200 ] && ! ls " + Quoted(dir_.Path()) +
            " | grep -q '" + ready_ + "'; do sleep 0.05; i=$((i+1)); done; kill -" +
            std::to_string(signal) + " $p; wait $p; s=$?; kill $w; echo $s";
        Shell run = RunShell(dir_, Script(dir_, script));
        return std::atoi(run.out.c_str() + run.out.rfind('\n', run.out.size() - 2) + 1);
    }
    TempDir dir_;
    std::string ready_ = "vagliante-";
};

TEST_F(SignalTest, ARunStoppedBySignalRemovesItsTemporaryFileAndEndsWith128PlusN) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const int status = Interrupt(
            Cli() + " bin2txt " + Quoted(dir_.File("IN")) + " " + Quoted(dir_.File("OUT.TXT")),
            signal);
        EXPECT_EQ(status, 128 + signal);
        EXPECT_EQ(ReadFile(dir_.File("OUT.TXT")), "earlier");
        EXPECT_TRUE(Leftovers(dir_.Path()).empty());
    }
}

// In a batch the signal stops every running source, and no other starts.
TEST_F(SignalTest, ABatchStopsEverySourceAndStartsNoOther) {
    // A second name for the FIFO: both sources wait on its writer.
    ASSERT_EQ(::symlink(dir_.File("IN").c_str(), dir_.File("IN2").c_str()), 0);
    WriteFile(dir_.File("LOG.BIN"), Catalogue());
    ready_ = "IN2.TXT.~vagliante-";
    const int status = Interrupt(Cli() + " bin2txt -j 2 -o " + Quoted(dir_.Path()) + " " +
                                     Quoted(dir_.File("IN")) + " " + Quoted(dir_.File("IN2")) +
                                     " " + Quoted(dir_.File("LOG.BIN")),
                                 SIGINT);
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_TRUE(Leftovers(dir_.Path()).empty());
    for (const char* output : {"IN.TXT", "IN2.TXT", "LOG.TXT"})
        EXPECT_FALSE(std::filesystem::exists(dir_.File(output))) << output;
}

TEST(FileSizeLimitTest, IsAnErrorAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), LargeLog(2));  // reports of several MiB
    WriteFile(dir.File("OUT.TXT"), "earlier");
    for (const char* command : {"bin2txt", "aggiornamento"}) {
        SCOPED_TRACE(command);
        Shell run =
            RunShell(dir, Script(dir, "ulimit -f 1024; " + Cli() + " " + command + " " +
                                          Quoted(dir.File("LOG.BIN")) + " " +
                                          Quoted(dir.File("OUT.TXT")) + "; echo status=$?"));
        EXPECT_NE(run.out.find("vagliante-cli: Errore 61: Disco pieno: " + dir.File("OUT.TXT")),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("status=1"), std::string::npos) << run.out;
        EXPECT_EQ(ReadFile(dir.File("OUT.TXT")), "earlier");
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
    }
    // An endless device as source, in full blocks, up to the limit.
    Shell run = RunShell(dir, Script(dir, "ulimit -f 8192; " + Cli() + " bin2txt /dev/zero " +
                                              Quoted(dir.File("OUT.TXT"))));
    EXPECT_EQ(run.out, "vagliante-cli: Errore 61: Disco pieno: " + dir.File("OUT.TXT") + "\n");
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// ---- Durability, seen from the system calls ----

TEST(DurabilityTest, DataIsSyncedBeforeTheRenameAndTheFolderAfter) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    WriteFile(dir.File("OUT.TXT"), "earlier");
    if (test::RunCommandLine("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
    for (const char* command : {"aggiornamento", "bin2txt"}) {
        SCOPED_TRACE(command);
        Shell run = RunShell(dir, "strace -f -e trace=fdatasync,fsync,renameat2,rename " + Cli() +
                                      " " + command + " " + Quoted(dir.File("LOG.BIN")) + " " +
                                      Quoted(dir.File("OUT.TXT")));
        const auto sync = run.out.find("fdatasync(");
        const auto swap = run.out.find("renameat2(");
        const auto folder = run.out.find("fsync(", swap == std::string::npos ? 0 : swap);
        ASSERT_NE(sync, std::string::npos) << run.out;
        ASSERT_NE(swap, std::string::npos) << run.out;
        EXPECT_LT(sync, swap);
        EXPECT_NE(folder, std::string::npos) << run.out;
    }
}

// ---- Messages ----

TEST(MessageTest, OutOfMemoryAndOddPathsGiveOneClearLine) {
    TempDir dir;
#ifndef VAGLIANTE_ASAN
    samples::Rng rng(12);
    WriteFile(dir.File("LOG.BIN"), samples::RandomLog(3 << 20, rng));
    // Little address space: the run cannot get its buffers or threads.
    Shell run = RunShell(
        dir, Script(dir, "ulimit -v 12000; " + Cli() + " bin2txt " + Quoted(dir.File("LOG.BIN")) +
                             " " + Quoted(dir.File("OUT.TXT"))));
    EXPECT_EQ(run.out, "vagliante-cli: Errore 7: Memoria esaurita\n");
    EXPECT_FALSE(fs::exists(dir.File("OUT.TXT")));
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
#endif

    const std::string odd = dir.File("a\nb\tc\\d.BIN");
    try {
        NullProgress none;
        FilterUpdate(odd, dir.File("OUT.TXT"), none);
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.Text(),
                  "Errore 53: Impossibile trovare il file: " + dir.File("a\\nb\\tc\\\\d.BIN"));
        EXPECT_EQ(e.Path(), odd);
    }
}

#endif  // !_WIN32

#ifdef _WIN32

// Windows keeps a replaced file's hidden attribute, and refuses a
// read-only one, which keeps its attribute too.
TEST(KeptAttributesTest, HiddenIsKeptAndReadOnlyRefused) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    NullProgress none;
    const std::string report = dir.File("OUT.TXT");
    for (Work work : {test::WithoutSummary<FilterUpdate>, test::WithoutSummary<ConvertBinToTxt>}) {
        WriteFile(report, "earlier");
        ASSERT_TRUE(::SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_HIDDEN));
        work(dir.File("LOG.BIN"), report, none);
        EXPECT_NE(ReadFile(report), "earlier");
        EXPECT_TRUE(::GetFileAttributesA(report.c_str()) & FILE_ATTRIBUTE_HIDDEN);
        ::SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    WriteFile(report, "earlier");
    ASSERT_TRUE(::SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ErrorOf([&] { FilterUpdate(dir.File("LOG.BIN"), report, none); }), 70);
    EXPECT_TRUE(::GetFileAttributesA(report.c_str()) & FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFile(report), "earlier");
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

#endif  // _WIN32

}  // namespace
}  // namespace vagliante
