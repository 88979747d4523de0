// Windows as users' machines are: reports held open by other programs, and
// names that Windows takes for devices.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "filter/filters.h"
#include "platform/file_holders.h"
#include "platform/run_error.h"
#include "platform/utf8.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using faults::Catalogue;
using faults::Work;
using test::FailureOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

using Clock = std::chrono::steady_clock;

// ---- Reports held by other programs ----

// hold_file.exe holding `path` open without sharing it, for `milliseconds`
// from the moment it holds it, or (0) until this object goes.
class Holder {
  public:
    Holder(const std::string& path, int milliseconds) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE childOut = nullptr;
        if (!::CreatePipe(&output_, &childOut, &inherited, 0)) throw std::runtime_error("no pipe");
        ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = childOut;
        std::wstring line = L"\"" + ToUtf16(VAGLIANTE_HOLD_FILE_PATH) + L"\" \"" + ToUtf16(path) +
                            L"\"" + (milliseconds ? L" " + std::to_wstring(milliseconds) : L"");
        PROCESS_INFORMATION process{};
        const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                              nullptr, nullptr, &startup, &process);
        ::CloseHandle(childOut);
        if (!started) throw std::runtime_error("cannot start hold_file.exe");
        ::CloseHandle(process.hThread);
        process_ = process.hProcess;
        // Its word that it holds the file (or its end, if it could not).
        char said[8] = {};
        DWORD read = 0;
        ::ReadFile(output_, said, sizeof said - 1, &read, nullptr);
        if (std::string(said, read).rfind("held", 0) != 0)
            throw std::runtime_error("hold_file.exe did not hold " + path);
    }
    ~Holder() {
        ::TerminateProcess(process_, 0);  // if it still holds the file
        ::WaitForSingleObject(process_, 10000);
        ::CloseHandle(process_);
        ::CloseHandle(output_);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

  private:
    HANDLE output_ = nullptr;
    HANDLE process_ = nullptr;
};

const std::vector<std::string> kKinds = {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"};

class HeldReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_.File("LOG.BIN"), Catalogue());
        for (const std::string& kind : kKinds) WriteFile(Report(kind), "earlier");
    }
    std::string Report(const std::string& kind) const { return dir_.File("ATT" + kind); }
    // The three earlier reports and the log, and nothing else.
    void ExpectAllEarlier() const {
        for (const std::string& kind : kKinds) EXPECT_EQ(ReadFile(Report(kind)), "earlier") << kind;
        EXPECT_EQ(dir_.List(), (std::vector<std::string>{"ATT-5C.TXT", "ATT-63-70.TXT",
                                                         "ATT-63-71.TXT", "LOG.BIN"}));
    }
    // The text of the error an activation run ends with; the run's time.
    std::string FailedRun(Progress& progress, double& seconds) {
        const auto start = Clock::now();
        std::string text;
        try {
            FilterActivation(dir_.File("LOG.BIN"), dir_.File("ATT.TXT"), progress);
        } catch (const RunError& e) {
            text = e.Text();
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return text;
    }

    TempDir dir_;
    NullProgress none_;
};

// What the indexer, an antivirus or a cloud agent does to a report just
// written: held for a moment, it is replaced once let go.
TEST_F(HeldReportTest, AReportHeldForAMomentIsReplacedOnceLetGo) {
    {
        Holder holder(Report("-63-70.TXT"), 400);
        FilterActivation(dir_.File("LOG.BIN"), dir_.File("ATT.TXT"), none_);
    }
    for (const std::string& kind : kKinds) EXPECT_NE(ReadFile(Report(kind)), "earlier") << kind;
    EXPECT_EQ(dir_.List().size(), 4u);
}

// A report open in a spreadsheet: after two seconds of trying, the error
// says so and names the program; the three earlier reports stay, the two
// already replaced put back.
TEST_F(HeldReportTest, AReportHeldForGoodIsAnErrorNamingTheProgramAndKeepsTheSet) {
    // The Restart Manager's answer, which Wine's cannot give.
    const os::HoldersLookup restartManager =
        os::SetHoldersLookup([](const std::string&) { return std::string("Microsoft Excel"); });
    std::string text;
    double seconds = 0;
    {
        Holder holder(Report("-63-71.TXT"), 0);
        text = FailedRun(none_, seconds);
    }
    os::SetHoldersLookup(restartManager);
    EXPECT_EQ(text,
              "Errore 70: Permesso negato: il file è in uso da un altro programma "
              "(Microsoft Excel): " +
                  Report("-63-71.TXT"));
    EXPECT_LT(seconds, 10.0);
    ExpectAllEarlier();
}

// Where the Restart Manager cannot tell (under Wine), the same without the
// name.
TEST_F(HeldReportTest, WithoutTheProgramsNameTheErrorStillSaysTheFileIsInUse) {
    std::string text, holders;
    double seconds = 0;
    {
        Holder holder(Report("-63-70.TXT"), 0);
        text = FailedRun(none_, seconds);
        holders = os::HoldersOf(Report("-63-70.TXT"));
    }
    const std::string inUse = "Errore 70: Permesso negato: il file è in uso da un altro programma";
    const std::string path = ": " + Report("-63-70.TXT");
    EXPECT_EQ(text, holders.empty() ? inUse + path : inUse + " (" + holders + ")" + path);
    ExpectAllEarlier();
}

// Esci, the close box or Ctrl-C ends the wait at once.
TEST_F(HeldReportTest, AStopEndsTheWaitAtOnce) {
    class StopsSoon final : public Progress {
      public:
        void SetMax(double) override {}
        void SetValue(double) override {}
        bool StopRequested() const override { return Clock::now() >= at_; }

      private:
        Clock::time_point at_ = Clock::now() + std::chrono::milliseconds(200);
    } stops;
    double seconds = 0;
    {
        Holder holder(Report("-63-70.TXT"), 0);
        const auto start = Clock::now();
        EXPECT_THROW(FilterActivation(dir_.File("LOG.BIN"), dir_.File("ATT.TXT"), stops),
                     RunStopped);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    EXPECT_LT(seconds, 1.5);
    ExpectAllEarlier();
}

// ---- Names of devices ----

// A name Windows takes for a device, in any case, with any extension, with
// blanks before it, with folders before it, is refused before anything is
// read: the report would go to a serial port, a printer or the console. The
// activation reports are named after the destination: COM1.TXT gives
// COM1-5C.TXT and the others, which are files. NUL stays the null device.
TEST(DeviceNameTest, DeviceNamesAreRefusedAndNulIsTheNullDevice) {
    TempDir dir;
    const std::string log = dir.File("LOG.BIN");
    WriteFile(log, Catalogue());
    NullProgress none;
    const std::vector<std::string> devices = {
        dir.File("COM1.TXT"), dir.File("aux.txt"),     dir.File("Lpt2.Txt"),
        dir.File("CON .TXT"), dir.File("COM¹.TXT"),    dir.File("COM0.TXT"),
        dir.File("prn"),      dir.File("CONOUT$.TXT"), "aux",
        "C:LPT9.a.b"};
    const Work works[] = {test::WithoutSummary<FilterUpdate>, test::WithoutSummary<ConvertBinToTxt>,
                          test::WithoutSummary<ConvertTxtToBin>};
    for (Work work : works)
        for (const std::string& device : devices) {
            SCOPED_TRACE(device);
            EXPECT_EQ(FailureOf([&] { work(log, device, none); }), (test::Failure{52, device}));
        }
    EXPECT_EQ(FailureOf([&] { FilterActivation(log, dir.File("AUX.X.TXT"), none); }),
              (test::Failure{52, dir.File("AUX.X-5C.TXT")}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LOG.BIN"});

    FilterActivation(log, dir.File("COM1.TXT"), none);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"COM1-5C.TXT", "COM1-63-70.TXT",
                                                    "COM1-63-71.TXT", "LOG.BIN"}));
    for (const std::string& null : {std::string("NUL"), dir.File("nul.txt"), dir.File("Nul ")})
        FilterUpdate(log, null, none);
    EXPECT_EQ(dir.List().size(), 4u);
}

}  // namespace
}  // namespace vagliante
