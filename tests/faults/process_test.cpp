// How a run ends when the process meets trouble: a thread that cannot start,
// a report linked into its own folder, a pipe closed early, a signal once the
// files are in place, closed standard streams, standard output under other
// names. Whatever happens, the status and the message say what became of
// the files, and no temporary file is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "filter/filters.h"
#include "platform/os_file.h"
#include "platform/stop.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"
#include "ui/form.h"

#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#else
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace vagliante {
namespace {

namespace fs = std::filesystem;
using faults::Catalogue;
using faults::Cli;
using faults::LargeLog;
using faults::Leftovers;
using faults::Shell;
using test::Quoted;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const char* const kKinds[] = {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"};

// Two spellings of one folder take one lock: a run waits for another that
// holds it, whichever spelling each uses (on Windows too, where the lock is
// named after the folder).
TEST(FolderLockTest, EverySpellingOfAFolderTakesTheSameLock) {
    TempDir dir;
    test::MakeFolder(dir.File("sub"));
#ifdef _WIN32
    std::string other = "\\\\?\\" + dir.Path();
    std::replace(other.begin(), other.end(), '/', '\\');
#else
    const std::string other = dir.File("sub/..");
#endif
    ASSERT_FALSE(os::FileIdentity(dir.Path()).empty());
    EXPECT_EQ(os::FileIdentity(other), os::FileIdentity(dir.Path()));
    EXPECT_NE(os::FileIdentity(dir.File("sub")), os::FileIdentity(dir.Path()));

    const os::NativeFile held = os::LockFolder(dir.Path());
    std::atomic<bool> taken{false};
    std::thread second([&] {
        const os::NativeFile lock = os::LockFolder(other);
        taken = true;
        os::UnlockFolder(lock);
    });
    // Not taken while the first is held (a wrong lock is taken at once).
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(taken);
    os::UnlockFolder(held);
    second.join();
    EXPECT_TRUE(taken);
}

#ifndef _WIN32

// Runs the shell script `text` in `dir`; its status and what it printed.
Shell RunScript(const TempDir& dir, const std::string& text) {
    WriteFile(dir.File("script.sh"), "cd " + Quoted(dir.Path()) + " || exit 99\n" + text);
    Shell result = faults::RunShell(dir, "sh " + Quoted(dir.File("script.sh")));
    test::RemoveFile(dir.File("script.sh"));
    return result;
}

bool HaveStrace() { return test::RunCommandLine("strace -V >/dev/null 2>&1") == 0; }

// A command line's start that runs the program under strace with a fault
// injected (`inject`, strace's -e inject= argument). LeakSanitizer cannot
// run under ptrace: a sanitized build leaves leaks unchecked there.
std::string Injecting(const std::string& inject) {
    const std::string noLeakCheck = "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 ";
    return noLeakCheck + "strace -f -o /dev/null -e inject=" + inject + " ";
}

// ---- A thread that cannot start ----

TEST(ThreadTest, AThreadThatCannotStartIsErrorSevenAndTheOtherSourcesGoOn) {
    if (!HaveStrace()) GTEST_SKIP() << "no strace";
    TempDir dir;
    samples::Rng rng(4);
    WriteFile(dir.File("BIG.BIN"), samples::RandomLog(2 << 20, rng));  // a writing thread's worth
    WriteFile(dir.File("A.BIN"), samples::MixedCatalogue(rng));
    WriteFile(dir.File("C.BIN"), samples::MixedCatalogue(rng));
    test::MakeFolder(dir.File("out"));
    WriteFile(dir.File("out/BIG.TXT"), "earlier");
    const std::string noThreads = Injecting("clone3:error=EAGAIN");

    Shell run = RunScript(dir, noThreads + Cli() + " bin2txt BIG.BIN out/BIG.TXT; echo status=$?");
    EXPECT_EQ(run.out, "vagliante-cli: Errore 7: Memoria esaurita\nstatus=1\n");
    // In a batch, no helper starts: the sources run one by one, and only the
    // one that needs a thread of its own fails.
    for (const std::string& limit : {noThreads, std::string("ulimit -v 16000; ")}) {
#ifdef VAGLIANTE_ASAN
        if (limit[0] == 'u') continue;
#endif
        SCOPED_TRACE(limit);
        run = RunScript(
            dir, limit + Cli() + " bin2txt -o out -j 3 A.BIN BIG.BIN C.BIN 2>&1; echo status=$?");
        EXPECT_EQ(run.out,
                  "A.BIN: Conversione conclusa\n"
                  "vagliante-cli: Errore 7: Memoria esaurita: BIG.BIN\n"
                  "C.BIN: Conversione conclusa\nstatus=1\n");
        EXPECT_EQ(ReadFile(dir.File("out/BIG.TXT")), "earlier");
        EXPECT_TRUE(Leftovers(dir.File("out")).empty());
    }
}

// ---- A report linked into its own folder ----

TEST(FolderLockTest, AReportLinkedIntoItsOwnFolderUnderAnotherSpellingIsPutInPlace) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(2));
    test::MakeFolder(dir.File("sub"));
    for (const std::string& link : {dir.File("real.TXT"), dir.File("sub/../real.TXT")}) {
        SCOPED_TRACE(link);
        WriteFile(dir.File("real.TXT"), "earlier");
        fs::remove(dir.File("A-5C.TXT"));
        fs::create_symlink(link, dir.File("A-5C.TXT"));
        const Shell run = RunScript(
            dir, "timeout -s KILL 60 " + Cli() + " attivazione LOG.BIN A.TXT; echo status=$?");
        EXPECT_EQ(run.out, "Files creati con successo\nstatus=0\n");
        EXPECT_TRUE(fs::is_symlink(dir.File("A-5C.TXT")));
        EXPECT_NE(ReadFile(dir.File("real.TXT")), "earlier");
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
    }

    // While another run holds the folder, a signal ends the wait.
    for (const char* kind : kKinds) WriteFile(dir.File(std::string("B") + kind), "earlier");
    const Shell run = RunScript(
        dir, "flock . sleep 30 & h=$!; sleep 0.2\n" + Cli() +
                 " attivazione LOG.BIN B.TXT & p=$!\n" +
                 "i=0; while [ $i -lt 400 ] && ! ls | grep -q '^B-.*vagliante-'; do sleep 0.05; "
                 "i=$((i+1)); done\n"
                 "kill -TERM $p; i=0; while kill -0 $p 2>/dev/null && [ $i -lt 400 ]; do sleep "
                 "0.05; i=$((i+1)); done\n"
                 "kill -9 $p 2>/dev/null; wait $p; echo status=$?; kill $h");
    EXPECT_EQ(run.out, "status=143\n");
    for (const char* kind : kKinds)
        EXPECT_EQ(ReadFile(dir.File(std::string("B") + kind)), "earlier");
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// ---- A report that is a FIFO ----

// A log whose activation reports are more than a pipe holds, the first and
// the last of them there already, the second a FIFO.
class FifoReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_.File("LOG.BIN"), LargeLog(21, 5));
        for (const char* kind : {"-5C.TXT", "-63-71.TXT"})
            WriteFile(dir_.File(std::string("A") + kind), "earlier");
        ASSERT_EQ(::mkfifo(dir_.File("A-63-70.TXT").c_str(), 0600), 0);
    }
    void ExpectNothingChanged() {
        for (const char* kind : {"-5C.TXT", "-63-71.TXT"})
            EXPECT_EQ(ReadFile(dir_.File(std::string("A") + kind)), "earlier");
        EXPECT_TRUE(fs::is_fifo(dir_.File("A-63-70.TXT")));
        EXPECT_TRUE(Leftovers(dir_.Path()).empty());
    }
    TempDir dir_;
};

TEST_F(FifoReportTest, AReaderThatLeavesStopsTheRunAsSigpipeWithNothingLeftBehind) {
    // The FIFO's reader goes after a few bytes.
    Shell run = RunScript(dir_, "head -c 100 A-63-70.TXT >/dev/null &\n" + Cli() +
                                    " attivazione LOG.BIN A.TXT; echo status=$?");
    EXPECT_EQ(run.out, "status=141\n");
    ExpectNothingChanged();

    // A batch whose standard output's reader goes after the first line: the
    // next message stops the sources still running (IN3, which waits on its
    // writer).
    test::MakeFolder(dir_.File("out"));
    WriteFile(dir_.File("out/IN3.TXT"), "earlier");
    for (const char* fifo : {"IN2", "IN3", "OUT"})
        ASSERT_EQ(::mkfifo(dir_.File(fifo).c_str(), 0600), 0);
    WriteFile(dir_.File("A.BIN"), Catalogue(5));
    const std::string script =
        "(exec 4>IN3; head -c 3000000 /dev/zero >&4; exec sleep 30) & w=$!\n"
        "(exec 5<OUT; read -r line <&5; exec 5<&-; touch gone) &\n"
        // IN2 ends once the reader has gone and IN3 runs: its message finds no reader.
        "(exec 3>IN2; i=0; while [ $i -lt 400 ] && ! { [ -e gone ] && ls out | grep -q "
        "'^IN3.*vagliante-'; }; do sleep 0.05; i=$((i+1)); done; printf 41 >&3) &\n";
    run = RunScript(dir_, script + "timeout -s KILL 60 " + Cli() +
                              " bin2txt -o out -j 3 A.BIN IN2 IN3 >OUT; echo status=$?; kill $w");
    EXPECT_EQ(run.out, "status=141\n");
    EXPECT_EQ(ReadFile(dir_.File("out/IN3.TXT")), "earlier");
    EXPECT_TRUE(Leftovers(dir_.File("out")).empty());
}

// The FIFO's reader keeps it open but does not read: the write that waits
// for it ends at a stop.
TEST_F(FifoReportTest, AStopEndsAWriteThatWaitsForTheReader) {
    const Shell run = RunScript(
        dir_,
        "(exec 3<A-63-70.TXT; head -c 1000 <&3 >/dev/null; touch read; exec sleep 30) & r=$!\n" +
            Cli() + " attivazione LOG.BIN A.TXT & p=$!\n" +
            "i=0; while [ $i -lt 400 ] && ! [ -e read ]; do sleep 0.05; i=$((i+1)); done\n"
            "kill -TERM $p; i=0; while kill -0 $p 2>/dev/null && [ $i -lt 200 ]; do sleep "
            "0.05; i=$((i+1)); done\n"
            "kill -9 $p 2>/dev/null; wait $p; echo status=$?; kill $r");
    EXPECT_EQ(run.out, "status=143\n");
    ExpectNothingChanged();
}

// ---- A signal once the files are in place ----

TEST(LateSignalTest, ASignalOnceTheFilesAreInPlaceIsASuccessAndOneBeforeLeavesTheOldFiles) {
    if (!HaveStrace()) GTEST_SKIP() << "no strace";
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(3));
    struct Case {
        const char* injected;  // the system call the signal comes with
        const char* out;
        bool replaced;
    };
    // The folder's flush comes after the last rename; the second rename
    // is before it.
    for (const Case& c : {Case{"fsync", "Files creati con successo\nstatus=0\n", true},
                          Case{"renameat2:when=2", "status=143\n", false}}) {
        SCOPED_TRACE(c.injected);
        for (const char* kind : kKinds) WriteFile(dir.File(std::string("A") + kind), "earlier");
        const Shell run = RunScript(dir, Injecting(std::string(c.injected) + ":signal=SIGTERM") +
                                             Cli() + " attivazione LOG.BIN A.TXT; echo status=$?");
        EXPECT_EQ(run.out, c.out);
        for (const char* kind : kKinds)
            EXPECT_EQ(ReadFile(dir.File(std::string("A") + kind)) != "earlier", c.replaced) << kind;
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
    }
}

// A window whose run gets a signal once its files are in place shows the
// completion message, and then the program ends.
TEST(LateSignalTest, AWindowShowsTheCompletionMessageThenEnds) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), LargeLog(21, 1));
    // A window that shows its messages on stderr and runs on its own thread.
    struct View final : ui::FormView {
        std::string Title() const override { return {}; }
        void SetTitle(std::string_view) override {}
        std::string Text(std::string_view) const override { return {}; }
        void SetText(std::string_view, std::string_view) override {}
        bool Selected(std::string_view) const override { return false; }
        ui::ProgressBar& Bar(std::string_view) override { std::abort(); }
        std::optional<std::string> ShowFileDialog(const ui::FileDialogRequest&) override {
            return {};
        }
        void ShowMessage(const ui::Message& message) override {
            std::fprintf(stderr, "[%s]\n", message.text.c_str());
        }
        void RunBusy(const std::function<void()>& work) override { work(); }
        std::unique_ptr<ui::LoadedForm> Load(ui::Form&) override { return {}; }
        void Close() override {}
    };
    // The signal comes as the bar shows its end: the files are in place.
    struct Signalling final : Progress {
        double max = 0;
        void SetMax(double value) override { max = value; }
        void SetValue(double value) override {
            if (value == max) std::raise(SIGTERM);
        }
    };
    EXPECT_EXIT(
        {
            StopOnSignals();
            View view;
            Signalling progress;
            ui::RunAndReport(
                view,
                [&] {
                    FilterActivation(dir.File("LOG.BIN"), dir.File("A.TXT"), progress);
                    return std::string();
                },
                "Files creati con successo");
            std::fprintf(stderr, "[not ended]\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "^\\[Files creati con successo\\]\n$");
    for (const char* kind : kKinds) EXPECT_TRUE(fs::exists(dir.File(std::string("A") + kind)));
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// ---- Standard streams ----

TEST(StandardStreamTest, AClosedStreamGivenAsDashIsAnImmediateError) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(6));
    for (const std::string& command :
         {std::string("bin2txt LOG.BIN - >&-"), std::string("record 8400 LOG.BIN - >&-"),
          std::string("bin2txt - OUT.TXT <&-")}) {
        SCOPED_TRACE(command);
        const Shell run =
            RunScript(dir, "timeout -s KILL 30 " + Cli() + " " + command + "; echo status=$?");
        EXPECT_EQ(run.out,
                  "vagliante-cli: Errore 52: Nome o numero di file non valido: -\n"
                  "status=1\n");
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LOG.BIN"});
}

// Standard output under another name is written through, as "-" is: what a
// file given as standard output held is kept.
TEST(StandardStreamTest, AnyNameOfStandardOutputIsWrittenThrough) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(7));
    ASSERT_EQ(RunScript(dir, Cli() + " aggiornamento LOG.BIN REF.TXT").status, 0);
    fs::create_symlink("/proc/thread-self/fd/1", dir.File("t"));
    for (const std::string& name : {std::string("t"), std::string("/proc/self/task/../fd/1")}) {
        SCOPED_TRACE(name);
        WriteFile(dir.File("keep.log"), "kept\n");
        const Shell run = RunScript(
            dir, Cli() + " aggiornamento LOG.BIN " + name + " >>keep.log; echo status=$?");
        EXPECT_EQ(run.out, "File creato con successo\nstatus=0\n");
        EXPECT_TRUE(ReadFile(dir.File("keep.log")) == "kept\n" + ReadFile(dir.File("REF.TXT")));
    }
}

// Errors about standard input and output name them as the user did.
TEST(StandardStreamTest, ErrorsNameTheStreamAsGiven) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(8));
    Shell run = RunScript(dir, Cli() + " bin2txt LOG.BIN - >/dev/full; echo status=$?");
    EXPECT_EQ(run.out, "vagliante-cli: Errore 61: Disco pieno: -\nstatus=1\n");
    run = RunScript(dir, Cli() + " txt2bin - OUT.BIN </; echo status=$?");
    EXPECT_EQ(run.out,
              "vagliante-cli: Errore 75: Errore di accesso al percorso/file: -\nstatus=1\n");
    run = RunScript(dir, Cli() + " aggiornamento LOG.BIN /dev/stdout >/dev/full; echo status=$?");
    EXPECT_EQ(run.out, "vagliante-cli: Errore 61: Disco pieno: /dev/stdout\nstatus=1\n");
}

#else  // _WIN32

// Standard output given as "-" that cannot be written (a pipe whose reader
// has gone): the error names it "-".
TEST(StandardStreamTest, ErrorsNameTheStreamAsGiven) {
    TempDir dir;
    WriteFile(dir.File("LOG.BIN"), Catalogue(8));
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    ASSERT_TRUE(::CreatePipe(&reader, &writer, &inherited, 0));
    ::CloseHandle(reader);
    HANDLE err = ::CreateFileW(test::FsPath(dir.File("ERR.TXT")).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(err, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer;
    startup.hStdError = err;
    std::wstring line = L"\"" + test::FsPath(VAGLIANTE_CLI_PATH).wstring() + L"\" bin2txt \"" +
                        test::FsPath(dir.File("LOG.BIN")).wstring() + L"\" -";
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &startup, &process));
    ::CloseHandle(writer);
    ::CloseHandle(err);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    EXPECT_EQ(status, 1u);
    const std::string text = ReadFile(dir.File("ERR.TXT"));
    EXPECT_EQ(text.rfind("vagliante-cli: Errore ", 0), 0u) << text;
    EXPECT_NE(text.find(": -\r\n"), std::string::npos) << text;
}

#endif  // _WIN32

}  // namespace
}  // namespace vagliante
