// CFileInfo on a Windows file system: what only this backend does (drive
// roots, network shares, 8.3 names, the shell's facts, attribute bits, time
// zones with their own rules). The shared behaviour is tested in
// cfileinfo_native_test.cpp. The Windows calls made here directly are the
// oracle the class is held to.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "fileinfo/cfileinfo.h"
#include "fileinfo/regional_settings.h"
#include "platform/utf8.h"
#include "tests/fileinfo/native_support.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using test::At;
using test::In;
using test::kValentine2003;
using test::TempDir;
using test::WriteFile;

FileTime Ticks(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The entry as the system lists it.
WIN32_FIND_DATAW Listed(const std::string& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(SystemPath(path).c_str(), &found);
    EXPECT_NE(search, INVALID_HANDLE_VALUE) << path;
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
    return found;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(SystemPath(path).c_str()); }

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The root of the drive Windows is installed on ("C:\\").
std::string SystemRoot() {
    wchar_t windows[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
    return n >= 3 && n < MAX_PATH ? ToUtf8(std::wstring_view(windows, 3)) : std::string("C:\\");
}

// A file in the root of the system drive, removed at the end of the test.
class RootFile {
  public:
    RootFile() : root_(SystemRoot()) {
        std::random_device rd;
        name_ = "vagliante-test-" + std::to_string(rd()) + ".bin";
        HANDLE file = ::CreateFileW(ToUtf16(root_ + name_).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        made_ = file != INVALID_HANDLE_VALUE;
        if (made_) ::CloseHandle(file);
    }
    ~RootFile() {
        if (made_) ::DeleteFileW(ToUtf16(root_ + name_).c_str());
    }
    bool Made() const { return made_; }
    const std::string& Root() const { return root_; }
    const std::string& Name() const { return name_; }

  private:
    std::string root_;
    std::string name_;
    bool made_ = false;
};

TEST(Win32FileInfoTest, FileInADriveRoot) {
    RootFile file;
    if (!file.Made()) GTEST_SKIP() << "the root of the system drive cannot be written here";
    std::string typed = file.Root() + file.Name();
    typed[0] = static_cast<char>(typed[0] - 'A' + 'a');  // the drive letter typed in lower case
    CFileInfo info;
    info.SetFullPathName(typed);
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FilePath(), file.Root());
    EXPECT_EQ(info.FileName(), file.Name());
    EXPECT_EQ(info.FullPathName(), file.Root() + file.Name());
}

TEST(Win32FileInfoTest, DriveRootItselfIsNoEntry) {
    CFileInfo info;
    info.SetFullPathName(SystemRoot());
    EXPECT_EQ(info.FullPathName(), SystemRoot());
    EXPECT_FALSE(info.FileExists());
    EXPECT_EQ(info.FileName(), "");
}

TEST(Win32FileInfoTest, QualifyKeepsRootsAndShares) {
    FileSystem& fs = NativeFileSystem();
    EXPECT_FALSE(fs.QualifyPath(""));
    EXPECT_EQ(fs.QualifyPath("C:\\a\\.\\b\\..\\c"), "C:\\a\\c");
    EXPECT_EQ(fs.QualifyPath("C:/a/b/"), "C:\\a\\b\\");
    EXPECT_EQ(fs.QualifyPath("C:\\..\\.."), "C:\\");
    EXPECT_EQ(fs.QualifyPath("\\\\srv\\Share\\log1.bin"), "\\\\srv\\Share\\log1.bin");
    EXPECT_EQ(fs.QualifyPath("\\\\srv\\Share\\logs\\..\\log1.bin"), "\\\\srv\\Share\\log1.bin");
    EXPECT_EQ(fs.QualifyPath("\\\\srv\\Share\\..\\..\\log1.bin"), "\\\\srv\\Share\\log1.bin");
}

TEST(Win32FileInfoTest, MissingShareFileKeepsItsQualifiedForm) {
    CFileInfo info;
    info.SetFullPathName("\\\\vagliante-nowhere.invalid\\Share\\logs\\..\\log1.bin");
    EXPECT_EQ(info.FullPathName(), "\\\\vagliante-nowhere.invalid\\Share\\log1.bin");
    EXPECT_FALSE(info.FileExists());
}

TEST(Win32FileInfoTest, LongNameHasItsShortName) {
    TempDir dir;
    test::MakeFolder(In(dir, "Logs of 2003"));
    const std::string longPath = In(dir, "Logs of 2003\\Report of February.bin");
    WriteFile(longPath, "x");
    const std::string alternate = ToUtf8(Listed(longPath).cAlternateFileName);
    if (alternate.empty()) GTEST_SKIP() << "this volume gives no 8.3 names";

    CFileInfo info;
    info.SetFullPathName(longPath);
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileName(), "Report of February.bin");
    EXPECT_EQ(info.ShortName(), alternate);
    const std::string& shortPath = info.ShortPathName();
    ASSERT_GT(shortPath.size(), alternate.size());
    EXPECT_EQ(Upper(shortPath.substr(shortPath.size() - alternate.size())), Upper(alternate));
    EXPECT_EQ(info.ShortPath(), shortPath.substr(0, shortPath.size() - alternate.size()));
    EXPECT_EQ(info.ShortPath().back(), '\\');

    // Named by its short form, the file gets its long, on-disk path back.
    CFileInfo byShortName;
    byShortName.SetFullPathName(shortPath);
    ASSERT_TRUE(byShortName.FileExists());
    EXPECT_EQ(byShortName.FullPathName(), longPath);
    EXPECT_EQ(byShortName.FilePath(), In(dir, "Logs of 2003\\"));
    EXPECT_EQ(byShortName.FileName(), "Report of February.bin");
}

// Names of any script, outside the user's code page too (the tests' twin runs
// in 1252), and paths past MAX_PATH: read, and their times and attributes
// written, as any other; the paths given back are as the user writes them,
// without the "\\?\" the system was given.
TEST(Win32FileInfoTest, NamesOfAnyScriptAndLength) {
    TempDir dir;
    const std::string script =
        In(dir, "\xD0\x96\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB \xF0\x9F\x93\x92");
    std::string deep = script;
    for (test::MakeFolder(script); deep.size() < 300; test::MakeFolder(deep))
        deep += "\\" + std::string(60, 'd');
    struct Case {
        std::string folder;
        const char* name;
        const char* upper;  // the short name where the volume keeps none
    };
    for (const auto& [folder, name, upper] :
         {Case{script, "Log citt\xC3\xA0 \xE2\x82\xAC.bin", "LOG CITT\xC3\x80 \xE2\x82\xAC.BIN"},
          Case{deep, "Log1.bin", "LOG1.BIN"}}) {
        const std::string path = folder + "\\" + name;
        SCOPED_TRACE(path);
        WriteFile(path, "xyz");
        CFileInfo info;
        info.SetFullPathName(path);
        ASSERT_TRUE(info.FileExists());
        EXPECT_EQ(info.FullPathName(), path);
        EXPECT_EQ(info.FilePath(), folder + "\\");
        EXPECT_EQ(info.FileName(), name);
        EXPECT_EQ(info.FileSize(), 3);
        const WIN32_FIND_DATAW listed = Listed(path);
        EXPECT_EQ(info.ShortName(), listed.cAlternateFileName[0] ? ToUtf8(listed.cAlternateFileName)
                                                                 : std::string(upper));
        EXPECT_FALSE(info.ShortPathName().empty());
        EXPECT_EQ(info.ShortPathName().find('?'), std::string::npos);
        info.SetModifyTime(At(kValentine2003, 9, 5, 30));
        EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));
        info.SetattrHidden(true);
        EXPECT_TRUE(Attributes(path) & FILE_ATTRIBUTE_HIDDEN);
    }
}

TEST(Win32FileInfoTest, ShellFactsAndIcon) {
    TempDir dir;
    WriteFile(In(dir, "log1.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, "log1.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_FALSE(info.DisplayName().empty());
    EXPECT_FALSE(info.TypeName().empty());
    EXPECT_NE(info.hIcon(), 0);
    ICONINFO icon{};
    ASSERT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(info.hIcon()), &icon));
    if (icon.hbmMask) ::DeleteObject(icon.hbmMask);
    if (icon.hbmColor) ::DeleteObject(icon.hbmColor);
    info.Refresh();  // a new icon in place of the old
    EXPECT_NE(info.hIcon(), 0);
}

TEST(Win32FileInfoTest, SparseFileOf3e9Bytes) {
    TempDir dir;
    const std::string path = In(dir, "big.bin");
    HANDLE file = ::CreateFileW(ToUtf16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    const bool sparse =
        ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
    LARGE_INTEGER size;
    size.QuadPart = 3'000'000'000;
    const bool sized =
        sparse && ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    if (!sized) GTEST_SKIP() << "this volume makes no sparse files (3 GB would be written)";
    CFileInfo info;
    info.SetFullPathName(path);
    EXPECT_EQ(info.FileSize(), -1'294'967'296);
    EXPECT_EQ(info.FileSizeHigh(), 0);
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "-1,294,967,296 bytes");
}

TEST(Win32FileInfoTest, HiddenSystemReadOnlySetAndReadBack) {
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetattrHidden(true);
    if (!(Attributes(path) & FILE_ATTRIBUTE_HIDDEN))
        GTEST_SKIP() << "this file system keeps no hidden bit";
    info.SetattrSystem(true);
    info.SetattrReadOnly(true);
    constexpr DWORD kSet = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(Attributes(path) & kSet, kSet);
    EXPECT_EQ(info.Attributes() & 0x7, 0x7);

    CFileInfo fresh;
    fresh.SetFullPathName(path);
    EXPECT_TRUE(fresh.attrHidden());
    EXPECT_TRUE(fresh.attrSystem());
    EXPECT_TRUE(fresh.attrReadOnly());
    fresh.SetAttributes(fresh.Attributes() & ~0x7);
    EXPECT_EQ(fresh.Attributes() & 0x7, 0);
    EXPECT_EQ(Attributes(path) & kSet, 0u);
}

TEST(Win32FileInfoTest, ArchiveClearedAndSetAgain) {
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    WriteFile(In(dir, "probe.bin"), "x");
    ::SetFileAttributesW(ToUtf16(In(dir, "probe.bin")).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Attributes(In(dir, "probe.bin")) & FILE_ATTRIBUTE_ARCHIVE)
        GTEST_SKIP() << "this file system keeps the archive bit of every file";
    CFileInfo info;
    info.SetFullPathName(path);
    ASSERT_TRUE(info.attrArchive());
    info.SetattrArchive(false);
    EXPECT_FALSE(info.attrArchive());
    EXPECT_EQ(Attributes(path) & FILE_ATTRIBUTE_ARCHIVE, 0u);
    info.SetattrArchive(true);
    EXPECT_TRUE(info.attrArchive());
}

TEST(Win32FileInfoTest, CreationTimeWrittenAndReadBack) {
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    const FileTime before = Ticks(Listed(path).ftCreationTime);
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetCreationTime(At(kValentine2003, 9, 5, 30));
    if (Ticks(Listed(path).ftCreationTime) == before)
        GTEST_SKIP() << "this file system keeps no creation time of its own";
    EXPECT_DOUBLE_EQ(info.CreationTime(), At(kValentine2003, 9, 5, 30));
    CFileInfo fresh;
    fresh.SetFullPathName(path);
    EXPECT_DOUBLE_EQ(fresh.CreationTime(), At(kValentine2003, 9, 5, 30));
}

// The file is held open without write sharing: the times cannot be written.
TEST(Win32FileInfoTest, FileHeldOpenRefusesTimes) {
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    CFileInfo info;
    info.SetFullPathName(path);
    const DateValue before = info.ModifyTime();
    HANDLE held = ::CreateFileW(ToUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    ::CloseHandle(held);
    EXPECT_DOUBLE_EQ(info.ModifyTime(), before);
}

// A winter and a summer date are each stored with the offset the time zone
// had on that date: their UTC stamps differ from the local ones by the
// standard and by the daylight bias.
TEST(Win32FileInfoTest, LocalTimeUsesTheOffsetOfThatDay) {
    TIME_ZONE_INFORMATION zone{};
    if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID || zone.DaylightDate.wMonth == 0 ||
        zone.DaylightBias == zone.StandardBias)
        GTEST_SKIP() << "the time zone here has no daylight saving time";
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    CFileInfo info;
    info.SetFullPathName(path);
    constexpr FileTime kTicksPerMinute = 600'000'000;
    const auto offsetMinutes = [&](DateValue local) {
        info.SetModifyTime(local);
        EXPECT_DOUBLE_EQ(info.ModifyTime(), local);
        const FileTime utc = Ticks(Listed(path).ftLastWriteTime);
        const FileTime wall = *FileTimeFromSystemTime(*SystemTimeFromDate(local));
        return static_cast<long>(
            (static_cast<std::int64_t>(utc) - static_cast<std::int64_t>(wall)) /
            static_cast<std::int64_t>(kTicksPerMinute));
    };
    const long winter = offsetMinutes(At(kValentine2003, 9, 5, 30));  // 14 February 2003
    const long summer = offsetMinutes(At(37803.0, 9, 5, 30));         // 1 July 2003
    const long standard = zone.Bias + zone.StandardBias;
    const long daylight = zone.Bias + zone.DaylightBias;
    // Which of the two dates is the summer one depends on the hemisphere.
    EXPECT_TRUE((winter == standard && summer == daylight) ||
                (winter == daylight && summer == standard))
        << "winter " << winter << ", summer " << summer << ", standard " << standard
        << ", daylight " << daylight;
}

// --- Regional settings ---

TEST(Win32RegionalSettingsTest, NamedLocales) {
    const std::optional<RegionalSettings> it = RegionalSettings::ForLocale("it_IT.UTF-8");
    ASSERT_TRUE(it);
    EXPECT_EQ(it->decimalSeparator, ",");
    EXPECT_EQ(it->groupSeparator, ".");
    EXPECT_NE(it->shortDate.find("yyyy"), std::string::npos);  // Wine has "d/M/yyyy"
    EXPECT_EQ(it->timeSeparator, ":");
    EXPECT_EQ(it->monthNames[1], "febbraio");
    EXPECT_EQ(it->dayNames[0], "domenica");  // Sunday first
    const std::optional<RegionalSettings> us = RegionalSettings::ForLocale("en-US");
    ASSERT_TRUE(us);
    EXPECT_EQ(us->decimalSeparator, ".");
    EXPECT_EQ(us->shortDate, "M/d/yyyy");
    EXPECT_EQ(us->dayNames[0], "Sunday");
    EXPECT_FALSE(RegionalSettings::ForLocale(""));
}

}  // namespace
}  // namespace vagliante
