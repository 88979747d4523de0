// CFileInfo's algorithms on a Windows-style file system held in memory.
#include <gtest/gtest.h>

#include <algorithm>

#include "fileinfo/cfileinfo.h"
#include "tests/fileinfo/fs_fake.h"

namespace vagliante {
namespace {

using test::FakeFileSystem;

constexpr FileTime kTicksPerSecond = 10'000'000;
// 14 February 2003, 10:00:00.900 UTC.
const FileTime kValentineTen = *FileTimeFromSystemTime(SystemTime{2003, 2, 5, 14, 10, 0, 0, 900});
constexpr DateValue kValentine2003 = 37666.0;

DateValue At(int hour, int minute, int second) {
    return kValentine2003 + (hour * 3600 + minute * 60 + second) / 86400.0;
}

class FakeFileInfoTest : public testing::Test {
  protected:
    FakeFileInfoTest() {
        fs.AddFolder("C:\\Logs 2003", "LOGS20~1");
        FakeFileSystem::Entry log;
        log.longPath = "C:\\Logs 2003\\Log1.bin";
        log.size = 1536;
        log.creation = kValentineTen;
        log.lastAccess = kValentineTen + 3600 * kTicksPerSecond;
        log.lastWrite = kValentineTen + 7200 * kTicksPerSecond;
        fs.Add(log);
        log.longPath = "C:\\Logs 2003\\Long report name.bin";
        log.shortName = "LONGRE~1.BIN";
        fs.Add(log);
        log.longPath = "C:\\log1.bin";
        log.shortName.clear();
        fs.Add(log);
        log.longPath = "\\\\srv\\Share\\log1.bin";
        fs.Add(log);
        fs.AddFolder("C:\\logs");
        for (const char* name : {"C:\\logs\\b.bin", "C:\\logs\\A.BIN", "C:\\logs\\c.txt"}) {
            log.longPath = name;
            fs.Add(log);
        }
    }

    FakeFileSystem fs;
};

TEST_F(FakeFileInfoTest, MissingPathLeavesInitialFacts) {
    CFileInfo info(fs);
    info.SetFullPathName("c:\\nowhere\\log.bin");
    EXPECT_FALSE(info.FileExists());
    EXPECT_FALSE(info.PathExists());
    EXPECT_EQ(info.FullPathName(), "c:\\nowhere\\log.bin");
    for (const std::string& text :
         {info.FileName(), info.FilePath(), info.FileExtension(), info.DisplayName(),
          info.TypeName(), info.ShortPathName(), info.ShortName(), info.ShortPath()})
        EXPECT_EQ(text, "");
    EXPECT_EQ(info.FileSize(), 0);
    EXPECT_EQ(info.CompressedFileSize(), 0);
    EXPECT_EQ(info.CreationTime(), 0);
    EXPECT_EQ(info.ModifyTime(), 0);
    EXPECT_EQ(info.hIcon(), 0);
}

TEST_F(FakeFileInfoTest, ShortFolderNameGivesTheLongForm) {
    CFileInfo info(fs);
    info.SetFullPathName("c:\\logs20~1\\LOG1.BIN");
    ASSERT_TRUE(info.FileExists());
    EXPECT_TRUE(info.PathExists());
    EXPECT_EQ(info.FullPathName(), "C:\\Logs 2003\\Log1.bin");
    EXPECT_EQ(info.FilePath(), "C:\\Logs 2003\\");
    EXPECT_EQ(info.FileName(), "Log1.bin");
    EXPECT_EQ(info.FileExtension(), "bin");
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");  // fits 8.3: no separate short name
    EXPECT_EQ(info.ShortPathName(), "C:\\LOGS20~1\\Log1.bin");
    EXPECT_EQ(info.ShortPath(), "C:\\LOGS20~1\\");
    EXPECT_EQ(info.DisplayName(), "Log1.bin");
    EXPECT_EQ(info.TypeName(), "BIN File");
    EXPECT_EQ(info.FileSize(), 1536);
    EXPECT_EQ(info.CompressedFileSize(), 1536);
    EXPECT_EQ(info.Attributes(), 0x20);
    // Local time is UTC + 1 hour here; milliseconds are dropped.
    EXPECT_DOUBLE_EQ(info.CreationTime(), At(11, 0, 0));
    EXPECT_DOUBLE_EQ(info.LastAccessTime(), At(12, 0, 0));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(13, 0, 0));
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "1.50KB (1,536 bytes)");
}

TEST_F(FakeFileInfoTest, LongNameHasItsShortName) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\LOGS20~1\\longre~1.bin");
    EXPECT_EQ(info.FileName(), "Long report name.bin");
    EXPECT_EQ(info.ShortName(), "LONGRE~1.BIN");
    EXPECT_EQ(info.ShortPathName(), "C:\\LOGS20~1\\LONGRE~1.BIN");
    EXPECT_EQ(info.ShortPath(), "C:\\LOGS20~1\\");
}

struct PathRow {
    const char* name;
    const char* given;
    const char* fullPathName;
    const char* filePath;
    const char* fileName;
};

class FakePathTest : public FakeFileInfoTest, public testing::WithParamInterface<PathRow> {};

TEST_P(FakePathTest, Resolves) {
    fs.currentFolder = "C:\\Logs 2003\\";
    CFileInfo info(fs);
    info.SetFullPathName(GetParam().given);
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FullPathName(), GetParam().fullPathName);
    EXPECT_EQ(info.FilePath(), GetParam().filePath);
    EXPECT_EQ(info.FileName(), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FakePathTest,
    testing::Values(
        PathRow{"DriveRoot", "c:\\log1.bin", "C:\\log1.bin", "C:\\", "log1.bin"},
        PathRow{"NetworkShareKeptAsIs", "\\\\srv\\Share\\log1.bin", "\\\\srv\\Share\\log1.bin",
                "\\\\srv\\Share\\", "log1.bin"},
        PathRow{"WildcardTakesFirstByName", "c:\\logs\\*.bin", "C:\\logs\\A.BIN", "C:\\logs\\",
                "A.BIN"},
        PathRow{"QuestionMark", "c:\\logs\\?.txt", "C:\\logs\\c.txt", "C:\\logs\\", "c.txt"},
        PathRow{"RelativeAgainstCurrentFolder", "log1.bin", "C:\\Logs 2003\\Log1.bin",
                "C:\\Logs 2003\\", "Log1.bin"},
        PathRow{"DotsFolded", ".\\..\\logs\\.\\b.bin", "C:\\logs\\b.bin", "C:\\logs\\", "b.bin"},
        PathRow{"Folder", "c:\\logs20~1", "C:\\Logs 2003", "C:\\", "Logs 2003"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FakeFileInfoTest, FolderEntryHasTheDirectoryBit) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\Logs 2003");
    EXPECT_TRUE(info.FileExists());
    EXPECT_EQ(info.Attributes() & CFileInfo::kDirectory, CFileInfo::kDirectory);
    EXPECT_EQ(info.TypeName(), "File");
}

TEST_F(FakeFileInfoTest, LevelThatIsNoFolderLeavesJustTheSeparator) {
    FakeFileSystem::Entry odd;
    odd.longPath = "C:\\odd";
    fs.Add(odd);  // a file entry holding another one
    odd.longPath = "C:\\odd\\x.bin";
    fs.Add(odd);
    CFileInfo info(fs);
    info.SetFullPathName("C:\\odd\\x.bin");
    EXPECT_EQ(info.FilePath(), "\\");
    EXPECT_EQ(info.FullPathName(), "\\x.bin");
}

TEST_F(FakeFileInfoTest, ExistingThenMissingKeepsTheFacts) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\Logs 2003\\Log1.bin");
    info.SetFullPathName("C:\\Logs 2003\\gone.bin");
    EXPECT_EQ(info.FullPathName(), "C:\\Logs 2003\\gone.bin");
    EXPECT_FALSE(info.FileExists());
    EXPECT_TRUE(info.PathExists());
    EXPECT_EQ(info.FileName(), "Log1.bin");
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");
    EXPECT_EQ(info.FileSize(), 1536);
    EXPECT_DOUBLE_EQ(info.CreationTime(), At(11, 0, 0));
}

TEST_F(FakeFileInfoTest, UnqualifiablePathChangesNothing) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\Logs 2003\\Log1.bin");
    const int finds = fs.calls["FindFirst"];
    info.SetFullPathName("");
    EXPECT_EQ(fs.calls["FindFirst"], finds);
    EXPECT_EQ(info.FullPathName(), "C:\\Logs 2003\\Log1.bin");
    EXPECT_TRUE(info.FileExists());
}

TEST_F(FakeFileInfoTest, SizesPast32Bits) {
    FakeFileSystem::Entry big;
    big.longPath = "C:\\big.bin";
    big.size = 3'000'000'000;
    fs.Add(big);
    big.longPath = "C:\\huge.bin";
    big.size = (std::uint64_t{5} << 32) + 7;
    fs.Add(big);
    CFileInfo info(fs);
    info.SetFullPathName("C:\\big.bin");
    EXPECT_EQ(info.FileSize(), -1'294'967'296);
    EXPECT_EQ(info.FileSizeHigh(), 0);
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "-1,294,967,296 bytes");
    info.SetFullPathName("C:\\huge.bin");
    EXPECT_EQ(info.FileSize(), 7);
    EXPECT_EQ(info.FileSizeHigh(), 5);
    EXPECT_EQ(info.CompressedFileSize(), 7);
    EXPECT_EQ(info.CompressedFileSizeHigh(), 5);
}

TEST_F(FakeFileInfoTest, RefreshDestroysTheOldIconFirst) {
    {
        CFileInfo info(fs);
        info.SetFullPathName("C:\\log1.bin");
        const IconHandle first = info.hIcon();
        ASSERT_NE(first, 0);
        fs.log.clear();
        info.Refresh();
        EXPECT_NE(info.hIcon(), first);
        const auto destroyed =
            std::find(fs.log.begin(), fs.log.end(), "DestroyIcon " + std::to_string(first));
        const auto shell = std::find(fs.log.begin(), fs.log.end(), "ShellInfo C:\\log1.bin");
        ASSERT_NE(destroyed, fs.log.end());
        EXPECT_LT(destroyed, shell);
        EXPECT_EQ(fs.liveIcons, std::vector<IconHandle>{info.hIcon()});
    }
    EXPECT_TRUE(fs.liveIcons.empty());  // the object released its icon
}

// --- Setters ---

TEST_F(FakeFileInfoTest, ReadOnlyAlreadySetMakesNoCall) {
    fs.Find("C:\\log1.bin")->attributes = 0x21;
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    info.SetattrReadOnly(true);
    EXPECT_EQ(fs.calls["SetAttributes"], 0);
    info.SetattrReadOnly(false);
    EXPECT_EQ(fs.calls["SetAttributes"], 1);
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_EQ(info.Attributes(), 0x20);
}

TEST_F(FakeFileInfoTest, FlagsSetTheirBitsAndRefresh) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    const int finds = fs.calls["FindFirst"];
    info.SetattrHidden(true);
    info.SetattrSystem(true);
    info.SetattrArchive(false);
    EXPECT_EQ(info.Attributes(), 0x6);
    EXPECT_TRUE(info.attrHidden());
    EXPECT_TRUE(info.attrSystem());
    EXPECT_FALSE(info.attrArchive());
    EXPECT_GT(fs.calls["FindFirst"], finds);
    EXPECT_EQ(fs.Find("C:\\log1.bin")->attributes, 0x6u);
}

TEST_F(FakeFileInfoTest, TemporaryAndCompressedDoNothing) {
    fs.Find("C:\\log1.bin")->attributes = 0x920;
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    info.SetattrTemporary(false);
    info.SetattrCompressed(false);
    info.SetattrTemporary(true);
    EXPECT_EQ(fs.calls["SetAttributes"], 0);
    EXPECT_TRUE(info.attrTemporary());
    EXPECT_TRUE(info.attrCompressed());
}

TEST_F(FakeFileInfoTest, FailedOrThrowingAttributeWriteChangesNothing) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    const int finds = fs.calls["FindFirst"];
    fs.refuseAttributes = true;
    info.SetAttributes(0x1);
    fs.refuseAttributes = false;
    fs.throwOnAttributes = true;
    EXPECT_NO_THROW(info.SetAttributes(0x1));
    EXPECT_EQ(info.Attributes(), 0x20);
    EXPECT_EQ(fs.calls["FindFirst"], finds);
}

TEST_F(FakeFileInfoTest, SettersOnMissingObjectMakeNoCall) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\gone.bin");
    info.SetAttributes(0x1);
    info.SetattrHidden(true);
    info.SetModifyTime(At(9, 5, 30));
    info.SetCreationTime(At(9, 5, 30));
    EXPECT_EQ(fs.calls["SetAttributes"], 0);
    EXPECT_EQ(fs.calls["Open"], 0);
    EXPECT_EQ(info.Attributes(), 0);
    EXPECT_EQ(info.ModifyTime(), 0);
}

TEST_F(FakeFileInfoTest, TimeSettersWriteOneTimeAndReadBack) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    info.SetModifyTime(At(9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(9, 5, 30));
    EXPECT_DOUBLE_EQ(info.CreationTime(), At(11, 0, 0));  // left as it was
    // Stored in UTC: local 09:05:30 is 08:05:30 UTC here.
    const FileTime utc = fs.Find("C:\\log1.bin")->lastWrite;
    EXPECT_EQ(utc % (86'400 * kTicksPerSecond), (8 * 3600 + 5 * 60 + 30) * kTicksPerSecond);
    info.SetCreationTime(At(1, 2, 3));
    info.SetLastAccessTime(At(4, 5, 6));
    EXPECT_DOUBLE_EQ(info.CreationTime(), At(1, 2, 3));
    EXPECT_DOUBLE_EQ(info.LastAccessTime(), At(4, 5, 6));
    EXPECT_EQ(fs.calls["Open"], fs.calls["CloseHandle"]);
}

TEST_F(FakeFileInfoTest, FolderTimeIsWritten) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\Logs 2003");
    info.SetModifyTime(At(9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(9, 5, 30));
}

TEST_F(FakeFileInfoTest, RefusedTimeWriteChangesNothing) {
    CFileInfo info(fs);
    info.SetFullPathName("C:\\log1.bin");
    const int finds = fs.calls["FindFirst"];
    fs.refuseTimes = true;
    info.SetModifyTime(At(9, 5, 30));
    EXPECT_EQ(fs.calls["CloseHandle"], 1);  // closed whatever the outcome
    fs.refuseTimes = false;
    fs.refuseOpen = true;
    info.SetModifyTime(At(9, 5, 30));
    EXPECT_EQ(fs.calls["SetFileTime"], 1);
    EXPECT_EQ(fs.calls["FindFirst"], finds);
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(13, 0, 0));
    // A date no file time can hold is not written.
    fs.refuseOpen = false;
    info.SetModifyTime(-200000.0);  // the year 1352
    EXPECT_EQ(fs.calls["SetFileTime"], 1);
}

}  // namespace
}  // namespace vagliante
