// vagliante-cli.exe as Windows users meet it: paths past MAX_PATH, and its
// messages on a console whose code page is not UTF-8.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "filter/filters.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::Quoted;
using test::ReadFile;
using test::TempDir;

// A folder name outside code page 1252: Cyrillic, accented and emoji.
constexpr const char* kFolderName =
    "\xD0\x96\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB citt\xC3\xA0 \xF0\x9F\x93\x92";

std::string Backslashed(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// A log in that folder and folders below it, a path of over 300 characters: the reports written
// there by the program are those the core writes.
TEST(LongPathTest, ALogAndItsReportsPastMaxPath) {
    TempDir dir;
    std::string folder = Backslashed(dir.File(kFolderName));
    for (test::MakeFolder(folder); folder.size() < 300; test::MakeFolder(folder))
        folder += "\\" + std::string(60, 'd');
    samples::Rng rng(7);
    const std::string log = folder + "\\LOG.BIN";
    test::WriteFile(log, samples::MixedCatalogue(rng));
    NullProgress none;
    FilterActivation(log, folder + "\\CORE.TXT", none);

    const int status =
        test::RunCommandLine(Quoted(VAGLIANTE_CLI_PATH) + " attivazione " + Quoted(log) + " " +
                             Quoted(folder + "\\CLI.TXT") + " >" + test::NullDevice());
    ASSERT_EQ(status, 0);
    for (const char* kind : {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"}) {
        SCOPED_TRACE(kind);
        const std::string report = ReadFile(folder + "\\CLI" + kind);
        EXPECT_GT(test::SplitCrLf(report).size(), 5u);
        EXPECT_EQ(report, ReadFile(folder + "\\CORE" + kind));
    }
}

// What a console of this process's own shows after vagliante-cli.exe ran with
// `arguments`, its standard output (and standard error, with `errors`) on
// it: the rows from the top to the cursor, and the cursor's column. Nothing
// where no console can be made (under Wine without a display).
struct Shown {
    int status;
    std::wstring rows;
    int column;
};

std::optional<Shown> OnAConsole(const std::string& arguments, bool errors) {
    ::FreeConsole();
    if (!::AllocConsole()) return std::nullopt;
    struct Free {
        ~Free() { ::FreeConsole(); }
    } free;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherited, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode) ||
        !::GetConsoleScreenBufferInfo(console, &screen))
        return std::nullopt;
    // The OEM code page of cmd.exe in Western Europe.
    ::SetConsoleOutputCP(850);
    DWORD done = 0;
    ::FillConsoleOutputCharacterW(console, L' ', screen.dwSize.X * screen.dwSize.Y, {0, 0}, &done);
    ::SetConsoleCursorPosition(console, {0, 0});

    HANDLE elsewhere = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited,
                                     OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = console;
    start.hStdError = errors ? console : elsewhere;
    std::wstring line = ToUtf16(Quoted(VAGLIANTE_CLI_PATH) + " " + arguments);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                          &process))
        return std::nullopt;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(elsewhere);

    ::GetConsoleScreenBufferInfo(console, &screen);
    std::wstring rows(static_cast<std::size_t>(screen.dwSize.X) * (screen.dwCursorPosition.Y + 1),
                      L' ');
    ::ReadConsoleOutputCharacterW(console, rows.data(), static_cast<DWORD>(rows.size()), {0, 0},
                                  &done);
    ::CloseHandle(console);
    return Shown{static_cast<int>(status), rows, screen.dwCursorPosition.X};
}

TEST(ConsoleTest, MessagesShowEveryLetterWhateverTheConsolesCodePage) {
    TempDir dir;
    const std::string folder = Backslashed(dir.File(kFolderName));
    test::MakeFolder(folder);
    samples::Rng rng(7);
    test::WriteFile(folder + "\\LOG.BIN", samples::MixedCatalogue(rng));

    // The summary names the report; its lines end in CR LF.
    const std::string report = folder + "\\OUT.TXT";
    const std::optional<Shown> done = OnAConsole(
        "aggiornamento --summary " + Quoted(folder + "\\LOG.BIN") + " " + Quoted(report), false);
    if (!done) GTEST_SKIP() << "no console can be made here";
    EXPECT_EQ(done->status, 0);
    EXPECT_EQ(done->rows.find(L"File creato con successo"), 0u) << ToUtf8(done->rows);
    EXPECT_NE(done->rows.find(ToUtf16("Righe scritte in " + report)), std::wstring::npos)
        << ToUtf8(done->rows);
    EXPECT_EQ(done->column, 0);

    // An error, on standard error.
    const std::string missing = folder + "\\NONE.BIN";
    const std::optional<Shown> failed =
        OnAConsole("aggiornamento " + Quoted(missing) + " " + Quoted(report), true);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 1);
    EXPECT_NE(failed->rows.find(
                  ToUtf16("vagliante-cli: Errore 53: Impossibile trovare il file: " + missing)),
              std::wstring::npos)
        << ToUtf8(failed->rows);
}

}  // namespace
}  // namespace vagliante
