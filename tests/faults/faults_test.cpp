// What happens when things go wrong: every failure is a clear error, and an
// existing report, the folder and the temporary folder are as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/convert.h"
#include "fileinfo/formatting.h"
#include "filter/filters.h"
#include "platform/run_error.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vagliante {
namespace {

using faults::Catalogue;
using faults::Cli;
using faults::RunShell;
using faults::Shell;
using faults::Work;
using test::ErrorOf;
using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

struct Command {
    const char* name;
    Work work;
    // The files a run with destination "OUT.TXT" writes.
    std::vector<std::string> outputs;
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const Command kCommands[] = {
    {"aggiornamento", test::WithoutSummary<FilterUpdate>, {"OUT.TXT"}},
    {"attivazione",
     test::WithoutSummary<FilterActivation>,
     {"OUT-5C.TXT", "OUT-63-70.TXT", "OUT-63-71.TXT"}},
    {"bin2txt", test::WithoutSummary<ConvertBinToTxt>, {"OUT.TXT"}},
    {"txt2bin", test::WithoutSummary<ConvertTxtToBin>, {"OUT.TXT"}},
};

// A scratch folder holding a log and an earlier report of every name a run
// may write.
class FaultRun : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_.File("LOG.BIN"), Catalogue());
        for (const Command& command : kCommands)
            for (const std::string& output : command.outputs)
                WriteFile(dir_.File(output), "earlier " + output);
        before_ = dir_.List();
    }
    void TearDown() override {
        EXPECT_EQ(dir_.List(), before_) << "a file appeared or went";
        for (const Command& command : kCommands)
            for (const std::string& output : command.outputs)
                EXPECT_EQ(ReadFile(dir_.File(output)), "earlier " + output);
    }

    TempDir dir_;
    NullProgress progress_;

  private:
    std::vector<std::string> before_;
};

TEST_F(FaultRun, BadPathsAreErrorsAndLoseNothing) {
    test::MakeFolder(dir_.File("FOLDER"));
    struct Paths {
        std::string source;
        std::string destination;
        int error;
    };
    const std::string log = dir_.File("LOG.BIN"), out = dir_.File("OUT.TXT");
    const Paths cases[] = {
        {dir_.File("NONE.BIN"), out, 53},     {dir_.File("none/LOG.BIN"), out, 76},
        {dir_.File("FOLDER"), out, 75},       {"", out, 52},
        {log, dir_.File("none/OUT.TXT"), 76}, {log, dir_.File("FOLDER"), 75},
    };
    for (const Command& command : kCommands)
        for (const Paths& c : cases) {
            // The activation reports are named from the destination: a
            // folder "FOLDER" gives "FO-5C.TXT" and so on, which can be made.
            if (command.work == test::WithoutSummary<FilterActivation> && c.source == log &&
                c.error == 75)
                continue;
            SCOPED_TRACE(std::string(command.name) + " from [" + c.source + "] to " +
                         c.destination);
            EXPECT_EQ(ErrorOf([&] { command.work(c.source, c.destination, progress_); }), c.error);
        }
    std::filesystem::remove(dir_.File("FOLDER"));

    // An activation report whose name is taken by a folder.
    test::MakeFolder(dir_.File("REP-63-70.TXT"));
    EXPECT_EQ(
        ErrorOf([&] { FilterActivation(dir_.File("LOG.BIN"), dir_.File("REP.TXT"), progress_); }),
        75);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("REP-5C.TXT")));
    std::filesystem::remove(dir_.File("REP-63-70.TXT"));
}

// A caller that asks the run to stop after it has seen `allowed` positions.
class StoppingProgress final : public Progress {
  public:
    explicit StoppingProgress(int allowed) : allowed_(allowed) {}
    void SetMax(double) override {}
    void SetValue(double) override { ++seen_; }
    bool StopRequested() const override { return seen_ > allowed_; }

  private:
    int allowed_;
    int seen_ = 0;
};

TEST_F(FaultRun, AStoppedRunReplacesNothingAndLeavesNoTemporaryFile) {
    // A log of several blocks, so that the stop comes in the middle of a read.
    WriteFile(dir_.File("LOG.BIN"), faults::LargeLog(5, 7));
    for (const Command& command : kCommands)
        for (int allowed : {0, 2}) {
            SCOPED_TRACE(std::string(command.name) + " stopped after " + std::to_string(allowed));
            StoppingProgress progress(allowed);
            EXPECT_THROW(command.work(dir_.File("LOG.BIN"), dir_.File("OUT.TXT"), progress),
                         RunStopped);
        }
}

// A log the program may not read. On POSIX it has no read permission, and
// as root (who reads everything) the command line runs as the unprivileged
// user "nobody"; on Windows another program holds it open without sharing
// it, as a program still writing its log may.
TEST(UnreadableSourceTest, IsPermissionDeniedAndLosesNothing) {
    TempDir dir;
    std::string sub = dir.File("work");
    test::MakeFolder(sub);
    const std::string log = sub + "/LOG.BIN";
    WriteFile(log, Catalogue());
    WriteFile(sub + "/OUT.TXT", "earlier");

    std::string prefix;
#ifdef _WIN32
    struct Lock {
        HANDLE handle;
        ~Lock() { ::CloseHandle(handle); }
    };
    const Lock lock{::CreateFileA(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr)};
    ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
#else
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(sub.c_str(), 0777);
    ::chmod(log.c_str(), 0);
    if (::geteuid() == 0) {
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        if (RunShell(dir, prefix + Cli() + " --version").status != 0)
            GTEST_SKIP() << "cannot run vagliante-cli as the user nobody here (setpriv missing, "
                            "or the build folder is closed to other users)";
    }
#endif
    for (const char* command : {"aggiornamento", "attivazione", "bin2txt", "txt2bin"}) {
        SCOPED_TRACE(command);
        Shell run = RunShell(dir, prefix + Cli() + " " + command + " " + test::Quoted(log) + " " +
                                      test::Quoted(sub + "/OUT.TXT"));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "vagliante-cli: Errore 70: Permesso negato: " + log +
                               std::string(test::kTextLineEnd));
        EXPECT_EQ(ReadFile(sub + "/OUT.TXT"), "earlier");
        EXPECT_EQ(Entries(sub), (std::vector<std::string>{"LOG.BIN", "OUT.TXT"}));
    }
}

#ifndef _WIN32

// A full disk: the reports and the conversions on a small file system of
// their own, mounted in a private mount namespace. On Windows
// a small volume needs administrator rights (a virtual disk), so this one
// runs on Linux alone.
TEST(DiskFullTest, IsDiskFullAndLosesNothing) {
    TempDir dir;
    std::string mnt = dir.File("small");
    test::MakeFolder(mnt);
    samples::Rng rng(3);
    WriteFile(dir.File("BIG.BIN"), samples::RandomLog(1 << 20, rng));
    std::string ns =
        ::geteuid() == 0 ? "unshare --mount" : "unshare --user --map-root-user --mount";
    if (RunShell(dir, ns + " sh -c 'mount -t tmpfs -o size=256k none " + mnt + "'").status != 0)
        GTEST_SKIP() << "cannot mount a small file system here (no mount namespace allowed)";

    struct Case {
        const char* command;
        const char* dest;
    };
    const Case cases[] = {
        {"bin2txt", "OUT.TXT"},  // 2 MiB of text on 256 KiB
        {"aggiornamento", "OUT.TXT"},
        {"attivazione", "OUT.TXT"},
        {"txt2bin", "OUT.BIN"},
    };
    // txt2bin needs a text source larger than the disk.
    WriteFile(dir.File("BIG.TXT"), std::string(1 << 20, 'A'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::string source = dir.File(std::string(c.command) == "txt2bin" ? "BIG.TXT" : "BIG.BIN");
        std::string script = "mount -t tmpfs -o size=256k none " + mnt + " && printf earlier > " +
                             mnt + "/" + c.dest + " && \"" + VAGLIANTE_CLI_PATH + "\" " +
                             c.command + " " + source + " " + mnt + "/" + c.dest +
                             "; echo status=$?; cat " + mnt + "/" + c.dest + "; echo; ls " + mnt;
        Shell run = RunShell(dir, ns + " sh -c '" + script + "'");
        EXPECT_NE(run.out.find("vagliante-cli: Errore 61: Disco pieno"), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("status=1\nearlier\n" + std::string(c.dest) + "\n"),
                  std::string::npos)
            << run.out;
    }
}

#endif  // _WIN32

// Runs at the same time, in one folder and in two, do not disturb each other.
TEST(ConcurrentRunsTest, GiveTheReportsOfSeparateRuns) {
    TempDir dir;
    test::MakeFolder(dir.File("a"));
    test::MakeFolder(dir.File("b"));
    WriteFile(dir.File("LOG.BIN"), Catalogue());
    NullProgress none;
    FilterActivation(dir.File("LOG.BIN"), dir.File("REF.TXT"), none);
    FilterUpdate(dir.File("LOG.BIN"), dir.File("REFU.TXT"), none);

    const std::vector<std::string> bases = {"ONE", "TWO", "a/THREE", "b/FOUR"};
    std::vector<std::thread> runs;
    std::vector<int> failures(bases.size(), 0);
    for (std::size_t i = 0; i < bases.size(); ++i)
        runs.emplace_back([&, i] {
            NullProgress progress;
            try {
                for (int round = 0; round < 5; ++round) {
                    FilterActivation(dir.File("LOG.BIN"), dir.File(bases[i] + ".TXT"), progress);
                    FilterUpdate(dir.File("LOG.BIN"), dir.File(bases[i] + "-U.TXT"), progress);
                }
            } catch (const RunError&) {
                failures[i] = 1;
            }
        });
    for (std::thread& run : runs) run.join();

    for (std::size_t i = 0; i < bases.size(); ++i) {
        SCOPED_TRACE(bases[i]);
        EXPECT_EQ(failures[i], 0);
        for (const char* kind : {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"})
            EXPECT_EQ(ReadFile(dir.File(bases[i] + kind)),
                      ReadFile(dir.File(std::string("REF") + kind)));
        EXPECT_EQ(ReadFile(dir.File(bases[i] + "-U.TXT")), ReadFile(dir.File("REFU.TXT")));
    }
}

// A log past 4 GiB (sparse, so it costs no disk) with its records at the
// end: positions, the record count and the header's size are all 64-bit.
TEST(LargeLogTest, RecordsPastFourGigabytesAreFoundAndCounted) {
    TempDir dir;
    const std::string records = Catalogue();
    const std::int64_t size = std::int64_t{5} << 30;
    WriteFile(dir.File("SMALL.BIN"), records);
    {
#ifdef _WIN32
        // NTFS leaves a hole unwritten only in a file marked sparse; where the
        // file system has no sparse files, the zeros take their room on disk.
        HANDLE file = ::CreateFileA(dir.File("BIG.BIN").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD returned = 0;
        ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        ::CloseHandle(file);
        std::ofstream big(dir.File("BIG.BIN"), std::ios::binary | std::ios::in | std::ios::out);
#else
        std::ofstream big(dir.File("BIG.BIN"), std::ios::binary);
#endif
        big.seekp(size - static_cast<std::int64_t>(records.size()));
        big.write(records.data(), static_cast<std::streamsize>(records.size()));
        ASSERT_TRUE(big) << "no room for a sparse 5 GiB file";
    }
    NullProgress none;
    FilterUpdate(dir.File("SMALL.BIN"), dir.File("SMALL.TXT"), none);
    FilterUpdate(dir.File("BIG.BIN"), dir.File("BIG.TXT"), none);
    std::vector<std::string> small = SplitCrLf(ReadFile(dir.File("SMALL.TXT")));
    std::vector<std::string> big = SplitCrLf(ReadFile(dir.File("BIG.TXT")));
    ASSERT_GE(big.size(), 10u);
    EXPECT_EQ(big[3], "## Log size:        " + FormatFileSize(size));
    // The zeros in front hold no marker: the same records, the same lines.
    EXPECT_EQ(big[5], small[5]);
    EXPECT_EQ(std::vector<std::string>(big.begin() + 6, big.end()),
              std::vector<std::string>(small.begin() + 6, small.end()));
}

}  // namespace
}  // namespace vagliante
