// CFileInfo on a POSIX file system: what only this backend does (time zones
// from TZ, permission bits, extended attributes, names Windows does not
// allow). The shared behaviour is tested in cfileinfo_native_test.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "fileinfo/cfileinfo.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using test::TempDir;
using test::WriteFile;

constexpr DateValue kValentine2003 = 37666.0;  // 14 February 2003

DateValue At(DateValue day, int hour, int minute, int second) {
    return day + (hour * 3600 + minute * 60 + second) / 86400.0;
}

// Runs a test in one time zone and puts the old one back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        had_ = std::getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string old_;
    bool had_ = false;
};

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

void SetModified(const std::string& path, time_t seconds, long nanoseconds) {
    timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(PosixFileInfoTest, NoShortNamesShellTypesOrIcons) {
    TempDir dir;
    WriteFile(dir.File("log1.bin"), std::string(1536, 'x'));
    CFileInfo info;
    info.SetFullPathName(dir.File("log1.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");
    EXPECT_EQ(info.ShortPathName(), dir.File("log1.bin"));
    EXPECT_EQ(info.ShortPath(), dir.Path() + "/");
    EXPECT_EQ(info.DisplayName(), "log1.bin");
    EXPECT_EQ(info.TypeName(), "BIN File");
    EXPECT_EQ(info.hIcon(), 0);
    EXPECT_EQ(info.Attributes(), CFileInfo::kArchive);
    EXPECT_EQ(info.CompressedFileSize() % 512, 0);  // the blocks it takes
}

// The short name is the name in upper case, letter by letter in the user's
// encoding (UTF-8 here): accented and Cyrillic letters too; a byte that is no
// UTF-8 character stays as it is.
TEST(PosixFileInfoTest, ShortNameUpperCasesEveryLetter) {
    TempDir dir;
    const std::pair<std::string, std::string> names[] = {
        {"log \xC3\xA8 1.bin", "LOG \xC3\x88 1.BIN"},                      // è
        {"\xD0\xB6\xD1\x83\xD1\x80.bin", "\xD0\x96\xD0\xA3\xD0\xA0.BIN"},  // жур
        {"odd\xE8.bin", "ODD\xE8.BIN"},
    };
    for (const auto& [name, shortName] : names) {
        WriteFile(dir.File(name), "x");
        CFileInfo info;
        info.SetFullPathName(dir.File(name));
        ASSERT_TRUE(info.FileExists()) << name;
        EXPECT_EQ(info.ShortName(), shortName);
        EXPECT_EQ(info.FileName(), name);
    }
}

TEST(PosixFileInfoTest, FolderHasNoArchiveBit) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("Logs 2003"));
    CFileInfo info;
    info.SetFullPathName(dir.File("Logs 2003"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.Attributes() & CFileInfo::kArchive, 0);
}

// Entries are matched in name order, where Windows takes the order of the folder.
TEST(PosixFileInfoTest, WildcardNamesFirstMatchWithoutCase) {
    TempDir dir;
    for (const char* name : {"b.BIN", "a.bin", "c.txt", "README"}) WriteFile(dir.File(name), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File("*.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileName(), "a.bin");
    EXPECT_EQ(info.FullPathName(), dir.File("a.bin"));
    info.SetFullPathName(dir.File("?.bIn"));
    EXPECT_EQ(info.FileName(), "a.bin");
    info.SetFullPathName(dir.File("R*.*"));  // "*.*" takes names without a dot too
    EXPECT_EQ(info.FileName(), "README");
    info.SetFullPathName(dir.File("*.zip"));
    EXPECT_FALSE(info.FileExists());
    // A name that holds "?" itself names that entry, not the first match ("10").
    WriteFile(dir.File("10"), "x");
    WriteFile(dir.File("1?"), "x");
    info.SetFullPathName(dir.File("1?"));
    EXPECT_EQ(info.FileName(), "1?");
}

struct ExtensionRow {
    const char* name;
    const char* file;
    const char* extension;
    const char* typeName;
};

class PosixTypeNameTest : public testing::TestWithParam<ExtensionRow> {};

TEST_P(PosixTypeNameTest, FromTheExtension) {
    TempDir dir;
    WriteFile(dir.File(GetParam().file), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File(GetParam().file));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileExtension(), GetParam().extension);
    EXPECT_EQ(info.TypeName(), GetParam().typeName);
}

INSTANTIATE_TEST_SUITE_P(Names, PosixTypeNameTest,
                         testing::Values(ExtensionRow{"TwoDots", "a.b.c", "c", "C File"},
                                         ExtensionRow{"EndsWithDot", "name.", "", "File"},
                                         ExtensionRow{"NoDot", "name", "", "File"},
                                         ExtensionRow{"DotFirst", ".bin", "bin", "BIN File"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PosixFileInfoTest, DotNameReadsHidden) {
    TempDir dir;
    WriteFile(dir.File(".bin"), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File(".bin"));
    EXPECT_TRUE(info.attrHidden());
}

TEST(PosixFileInfoTest, SparseFileOf3e9Bytes) {
    TempDir dir;
    const std::string path = dir.File("big.bin");
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 3'000'000'000), 0);
    close(fd);
    CFileInfo info;
    info.SetFullPathName(path);
    EXPECT_EQ(info.FileSize(), -1'294'967'296);
    EXPECT_EQ(info.FileSizeHigh(), 0);
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "-1,294,967,296 bytes");
    EXPECT_EQ(info.CompressedFileSizeHigh(), 0);  // sparse: almost nothing on disk
    EXPECT_LT(info.CompressedFileSize(), 1'000'000);
}

TEST(PosixFileInfoTest, QualifyFoldsWithoutExistenceTest) {
    FileSystem& fs = NativeFileSystem();
    EXPECT_FALSE(fs.QualifyPath(""));
    EXPECT_EQ(fs.QualifyPath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(fs.QualifyPath("/a//b/"), "/a/b/");
    EXPECT_EQ(fs.QualifyPath("/../.."), "/");
    EXPECT_EQ(fs.QualifyPath("/a/b/.."), "/a");
}

TEST(PosixFileInfoTest, ModifyTimeInLocalTimeMillisecondsDropped) {
    ScopedTimeZone zone("UTC-1");  // one hour east of UTC, all year
    TempDir dir;
    WriteFile(dir.File("log1.bin"), "x");
    // 14 February 2003, 10:00:00.900 UTC.
    SetModified(dir.File("log1.bin"), 1'045'216'800, 900'000'000);
    CFileInfo info;
    info.SetFullPathName(dir.File("log1.bin"));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 11, 0, 0));
}

TEST(PosixFileInfoTest, LocalTimeUsesTheOffsetOfThatDay) {
    ScopedTimeZone zone(kCentralEurope);
    TempDir dir;
    WriteFile(dir.File("log1.bin"), "x");
    SetModified(dir.File("log1.bin"), 1'057'060'800, 0);  // 1 July 2003, 12:00 UTC
    CFileInfo info;
    info.SetFullPathName(dir.File("log1.bin"));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(37803.0, 14, 0, 0));  // summer time
    SetModified(dir.File("log1.bin"), 1'045'216'800, 0);         // 14 February 2003, 10:00 UTC
    info.Refresh();
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 11, 0, 0));  // winter time
}

// --- Setters ---

TEST(PosixFileInfoTest, ModifyTimeWrittenInUtcCreationRefused) {
    ScopedTimeZone zone(kCentralEurope);
    TempDir dir;
    WriteFile(dir.File("log1.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File("log1.bin"));
    const DateValue created = info.CreationTime();
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));
    struct stat st {};
    ASSERT_EQ(stat(dir.File("log1.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1'045'209'930);  // 08:05:30 UTC
    // Linux keeps no settable birth time: the write is refused and nothing changes.
    info.SetCreationTime(At(kValentine2003, 1, 0, 0));
    EXPECT_DOUBLE_EQ(info.CreationTime(), created);
}

TEST(PosixFileInfoTest, ReadOnlyThroughTheWriteBits) {
    TempDir dir;
    const std::string path = dir.File("log1.bin");
    WriteFile(path, "x");
    chmod(path.c_str(), 0664);
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetattrReadOnly(true);
    EXPECT_TRUE(info.attrReadOnly());
    EXPECT_EQ(ModeOf(path), 0444u);
    info.SetattrReadOnly(false);
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_EQ(info.Attributes() & CFileInfo::kReadOnly, 0);
    EXPECT_EQ(ModeOf(path), 0644u);  // the owner's write bit back
}

bool HasUserXattrs(const std::string& path) {
    return setxattr(path.c_str(), "user.vagliante-probe", "1", 1, 0) == 0 &&
           removexattr(path.c_str(), "user.vagliante-probe") == 0;
}

std::string StoredAttribute(const std::string& path) {
    char value[64] = {};
    const ssize_t length = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
    return length < 0 ? std::string() : std::string(value, static_cast<std::size_t>(length));
}

TEST(PosixFileInfoTest, HiddenSystemArchiveRoundTrip) {
    TempDir dir;
    const std::string path = dir.File("log1.bin");
    WriteFile(path, "x");
    if (!HasUserXattrs(path)) GTEST_SKIP() << "this file system keeps no extended attributes";
    CFileInfo info;
    info.SetFullPathName(path);
    EXPECT_EQ(info.Attributes(), CFileInfo::kArchive);
    info.SetattrHidden(true);
    info.SetattrSystem(true);
    info.SetattrArchive(false);
    EXPECT_EQ(info.Attributes(), CFileInfo::kHidden | CFileInfo::kSystem);
    EXPECT_EQ(StoredAttribute(path), "0x6");

    // Read back by a fresh object, also through a read-only change.
    CFileInfo again;
    again.SetFullPathName(path);
    EXPECT_EQ(again.Attributes(), CFileInfo::kHidden | CFileInfo::kSystem);
    again.SetattrReadOnly(true);
    again.SetattrArchive(true);  // on a read-only file
    EXPECT_EQ(again.Attributes(), 0x27);
    EXPECT_EQ(ModeOf(path) & 0222, 0u);
    again.SetAttributes(CFileInfo::kArchive | CFileInfo::kTemporary);
    EXPECT_EQ(again.Attributes(), CFileInfo::kArchive);  // temporary is not kept
    EXPECT_EQ(StoredAttribute(path), "0x20");
}

TEST(PosixFileInfoTest, DotNameStaysHiddenWhenCleared) {
    TempDir dir;
    const std::string path = dir.File(".profile");
    WriteFile(path, "x");
    if (!HasUserXattrs(path)) GTEST_SKIP() << "this file system keeps no extended attributes";
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetattrHidden(false);
    EXPECT_TRUE(info.attrHidden());
}

}  // namespace
}  // namespace vagliante
