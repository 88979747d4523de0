// The form in which a path is given to Windows: UTF-16, and past MAX_PATH the
// "\\?\" form, which the system takes literally (so it must come complete).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"

namespace vagliante {
namespace {

std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH];
    const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text(folder, n);
    if (text.back() != L'\\') text += L'\\';
    return text;
}

// Three folders of 100 letters: a path of over 300 characters.
const std::string kA(100, 'a'), kB(100, 'b'), kC(100, 'c');
const std::string kDeep = kA + "\\" + kB + "\\" + kC + "\\LOG.BIN";

TEST(SystemPathTest, ShortPathsAreGivenAsTheyAre) {
    for (const std::string path :
         {"C:\\logs\\LOG.BIN", "C:/logs/./x/../LOG.BIN", "logs\\LOG.BIN", "..\\LOG.BIN",
          "\\\\srv\\share\\LOG.BIN", "C:LOG.BIN", "NUL", ""}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(SystemPath(path), ToUtf16(path));
    }
    // Letters of any script, in UTF-16.
    EXPECT_EQ(SystemPath("C:\\Log citt\xC3\xA0\\\xD0\x96\xF0\x9F\x93\x92.bin"),
              L"C:\\Log citt\u00E0\\\u0416\U0001F4D2.bin");
}

TEST(SystemPathTest, LongPathsGetTheirFullLiteralForm) {
    const std::wstring drive = L"\\\\?\\C:\\" + ToUtf16(kDeep);
    const std::wstring share = L"\\\\?\\UNC\\srv\\share\\" + ToUtf16(kDeep);
    struct Case {
        std::string path;
        std::wstring expected;
    };
    const Case cases[] = {
        {"C:\\" + kDeep, drive},
        {Slashed("C:\\" + kDeep), drive},
        {"C:\\" + kA + "\\.\\x\\..\\" + kB + "\\\\" + kC + "\\LOG.BIN", drive},
        {"\\\\srv\\share\\" + kDeep, share},
        {Slashed("\\\\srv\\share\\" + kDeep), share},
        {"\\\\srv\\share\\x\\..\\" + kDeep, share},
        {kDeep, L"\\\\?\\" + CurrentFolder() + ToUtf16(kDeep)},
        {".\\" + Slashed(kDeep), L"\\\\?\\" + CurrentFolder() + ToUtf16(kDeep)},
        // Already in a literal or a device form: as it is.
        {"\\\\?\\C:\\" + kDeep, drive},
        {"\\\\?\\C:\\" + Slashed(kDeep), L"\\\\?\\C:\\" + ToUtf16(Slashed(kDeep))},
        {"\\\\.\\pipe\\" + kDeep, L"\\\\.\\pipe\\" + ToUtf16(kDeep)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SystemPath(c.path), c.expected);
    }
}

TEST(SystemPathTest, LongMeansTheLimitOfAFolderInUtf16Units) {
    // "C:\" and a name: 3 + n units.
    const std::string under = "C:\\" + std::string(kLongPathFrom - 4, 'x');
    EXPECT_EQ(SystemPath(under), ToUtf16(under));
    EXPECT_EQ(SystemPath(under + "x"), L"\\\\?\\" + ToUtf16(under + "x"));
    // An emoji is two units (and four bytes), a Cyrillic letter one (two bytes).
    const std::string emoji = "\xF0\x9F\x93\x92";
    std::string letters = "C:\\";
    while (ToUtf16(letters + emoji).size() < kLongPathFrom) letters += emoji;
    EXPECT_EQ(SystemPath(letters), ToUtf16(letters));
    EXPECT_EQ(SystemPath(letters + "\xD0\x96"), L"\\\\?\\" + ToUtf16(letters + "\xD0\x96"));
}

TEST(UserPathTest, DropsTheLiteralFormOfDrivesAndShares) {
    EXPECT_EQ(UserPath(L"\\\\?\\C:\\Log\u00E0\\x.bin"), "C:\\Log\xC3\xA0\\x.bin");
    EXPECT_EQ(UserPath(L"\\\\?\\UNC\\srv\\share\\x.bin"), "\\\\srv\\share\\x.bin");
    EXPECT_EQ(UserPath(L"C:\\x.bin"), "C:\\x.bin");
    EXPECT_EQ(UserPath(L"\\\\?\\Volume{1234}\\x.bin"), "\\\\?\\Volume{1234}\\x.bin");
}

}  // namespace
}  // namespace vagliante
