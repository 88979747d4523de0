// CFileInfo on this machine's own file system: the behaviour both backends share.
// What only one platform has is tested in cfileinfo_posix_test.cpp and
// cfileinfo_win32_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fileinfo/cfileinfo.h"
#include "tests/fileinfo/native_support.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using test::At;
using test::In;
using test::kSeparator;
using test::kValentine2003;
using test::ReadOnlyOnDisk;
using test::TempDir;
using test::WriteFile;

TEST(NativeFileInfoTest, MissingPath) {
    TempDir dir;
    CFileInfo info;
    info.SetFullPathName(In(dir, "nothing.bin"));
    EXPECT_FALSE(info.FileExists());
    EXPECT_FALSE(info.PathExists());
    EXPECT_EQ(info.FullPathName(), In(dir, "nothing.bin"));
    EXPECT_EQ(info.FileName(), "");
    EXPECT_EQ(info.ShortName(), "");
    EXPECT_EQ(info.FileSize(), 0);
    EXPECT_EQ(info.ModifyTime(), 0);
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "0 bytes");
    // Nor is a file in a folder that is not there.
    info.SetFullPathName(In(dir, "none") + kSeparator + "log.bin");
    EXPECT_EQ(info.FullPathName(), In(dir, "none") + kSeparator + "log.bin");
    EXPECT_FALSE(info.FileExists());
    EXPECT_FALSE(info.PathExists());
}

TEST(NativeFileInfoTest, ExistingFileThenMissing) {
    TempDir dir;
    WriteFile(In(dir, "log1.bin"), std::string(1536, 'x'));
    CFileInfo info;
    info.SetFullPathName(In(dir, "log1.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_TRUE(info.PathExists());
    EXPECT_EQ(info.FullPathName(), In(dir, "log1.bin"));
    EXPECT_EQ(info.FilePath(), In(dir, ""));
    EXPECT_EQ(info.FileName(), "log1.bin");
    EXPECT_EQ(info.FileExtension(), "bin");
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");  // the name fits 8.3
    // The short path is the short full path less the short name.
    ASSERT_GT(info.ShortPathName().size(), info.ShortName().size());
    EXPECT_EQ(info.ShortPath() + info.ShortPathName().substr(info.ShortPath().size()),
              info.ShortPathName());
    EXPECT_EQ(info.ShortPath().back(), kSeparator);
    EXPECT_EQ(info.FileSize(), 1536);
    EXPECT_EQ(info.FileSizeHigh(), 0);
    EXPECT_GT(info.CompressedFileSize(), 0);
    EXPECT_EQ(info.CompressedFileSizeHigh(), 0);
    EXPECT_EQ(info.Attributes() & CFileInfo::kDirectory, 0);
    EXPECT_TRUE(info.attrArchive());  // a new file is to be backed up
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_GT(info.CreationTime(), 40000.0);  // after 2009
    EXPECT_FALSE(info.TypeName().empty());
    EXPECT_EQ(info.FormatFileSize(info.FileSize()), "1.50KB (1,536 bytes)");

    info.SetFullPathName(In(dir, "gone.bin"));
    EXPECT_EQ(info.FullPathName(), In(dir, "gone.bin"));
    EXPECT_FALSE(info.FileExists());
    EXPECT_TRUE(info.PathExists());
    EXPECT_EQ(info.FileName(), "log1.bin");
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");
    EXPECT_EQ(info.FileSize(), 1536);
}

TEST(NativeFileInfoTest, Folder) {
    TempDir dir;
    std::filesystem::create_directory(In(dir, "Logs 2003"));
    CFileInfo info;
    info.SetFullPathName(In(dir, "Logs 2003"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileName(), "Logs 2003");
    EXPECT_EQ(info.FullPathName(), In(dir, "Logs 2003"));
    EXPECT_NE(info.Attributes() & CFileInfo::kDirectory, 0);
    // Named with a final separator it is no entry.
    CFileInfo slash;
    slash.SetFullPathName(In(dir, "Logs 2003") + kSeparator);
    EXPECT_FALSE(slash.FileExists());
    EXPECT_EQ(slash.FullPathName(), In(dir, "Logs 2003") + kSeparator);
}

TEST(NativeFileInfoTest, FileInAFolderGetsTheFolderOnDisk) {
    TempDir dir;
    std::filesystem::create_directory(In(dir, "Logs 2003"));
    WriteFile(In(dir, "Logs 2003") + kSeparator + "Log1.bin", "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, "Logs 2003") + kSeparator + "." + kSeparator + "Log1.bin");
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FilePath(), In(dir, "Logs 2003") + kSeparator);
    EXPECT_EQ(info.FullPathName(), info.FilePath() + "Log1.bin");
}

TEST(NativeFileInfoTest, WildcardNamesTheMatchWithoutCase) {
    TempDir dir;
    for (const char* name : {"a.bin", "c.txt", "README"}) WriteFile(In(dir, name), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, "*.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileName(), "a.bin");
    EXPECT_EQ(info.FullPathName(), In(dir, "a.bin"));
    info.SetFullPathName(In(dir, "?.bIn"));
    EXPECT_EQ(info.FileName(), "a.bin");
    info.SetFullPathName(In(dir, "R*.*"));  // "*.*" takes names without a dot too
    EXPECT_EQ(info.FileName(), "README");
    info.SetFullPathName(In(dir, "*.zip"));
    EXPECT_FALSE(info.FileExists());
    EXPECT_EQ(info.FileName(), "README");
}

struct ExtensionRow {
    const char* name;
    const char* file;
    const char* extension;
};

class NativeExtensionTest : public testing::TestWithParam<ExtensionRow> {};

TEST_P(NativeExtensionTest, AfterTheLastDot) {
    TempDir dir;
    WriteFile(In(dir, GetParam().file), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, GetParam().file));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileExtension(), GetParam().extension);
}

// Windows drops the final dot of "name.", which leaves no extension either.
INSTANTIATE_TEST_SUITE_P(Names, NativeExtensionTest,
                         testing::Values(ExtensionRow{"TwoDots", "a.b.c", "c"},
                                         ExtensionRow{"EndsWithDot", "name.", ""},
                                         ExtensionRow{"NoDot", "name", ""},
                                         ExtensionRow{"DotFirst", ".bin", "bin"},
                                         ExtensionRow{"UpperCase", "LOG.BIN", "BIN"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The long name comes from a fixed-width field cut at its NUL: spaces in it
// are part of the name, so the refresh names the very file it found.
TEST(NativeFileInfoTest, LeadingSpaceOfANameKept) {
    TempDir dir;
    WriteFile(In(dir, " log1.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, " log1.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileName(), " log1.bin");
    EXPECT_EQ(info.FullPathName(), In(dir, " log1.bin"));
    info.Refresh();
    EXPECT_TRUE(info.FileExists());
}

TEST(NativeFileInfoTest, RelativePathAgainstCurrentFolder) {
    TempDir dir;
    std::filesystem::create_directory(In(dir, "sub"));
    WriteFile(In(dir, "log1.bin"), "x");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(In(dir, "sub"));
    CFileInfo info;
    info.SetFullPathName("./../sub/..//log1.bin");
    std::filesystem::current_path(before);
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FullPathName(), In(dir, "log1.bin"));
}

// --- Setters ---

TEST(NativeFileInfoTest, ModifyAndAccessTimesWrittenAndReadBack) {
    TempDir dir;
    WriteFile(In(dir, "log1.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, "log1.bin"));
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));
    info.SetLastAccessTime(At(37803.0, 23, 59, 59));  // 1 July 2003
    EXPECT_DOUBLE_EQ(info.LastAccessTime(), At(37803.0, 23, 59, 59));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));  // left as it was
    // What the file holds, not what the object was told.
    CFileInfo fresh;
    fresh.SetFullPathName(In(dir, "log1.bin"));
    EXPECT_DOUBLE_EQ(fresh.ModifyTime(), At(kValentine2003, 9, 5, 30));
    EXPECT_DOUBLE_EQ(fresh.LastAccessTime(), At(37803.0, 23, 59, 59));
}

TEST(NativeFileInfoTest, FolderTimeWritten) {
    TempDir dir;
    std::filesystem::create_directory(In(dir, "logs"));
    CFileInfo info;
    info.SetFullPathName(In(dir, "logs"));
    ASSERT_TRUE(info.FileExists());
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));
}

TEST(NativeFileInfoTest, SettersOnMissingPathChangeNothing) {
    TempDir dir;
    CFileInfo info;
    info.SetFullPathName(In(dir, "gone.bin"));
    info.SetAttributes(CFileInfo::kReadOnly);
    info.SetattrHidden(true);
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    EXPECT_EQ(info.Attributes(), 0);
    EXPECT_EQ(info.ModifyTime(), 0);
    EXPECT_FALSE(std::filesystem::exists(In(dir, "gone.bin")));
}

TEST(NativeFileInfoTest, ReadOnlySetAndCleared) {
    TempDir dir;
    const std::string path = In(dir, "log1.bin");
    WriteFile(path, "x");
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetattrReadOnly(true);
    EXPECT_TRUE(info.attrReadOnly());
    EXPECT_TRUE(ReadOnlyOnDisk(path));
    EXPECT_TRUE(info.attrArchive());  // the other bits as they were
    info.SetattrReadOnly(false);
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_EQ(info.Attributes() & CFileInfo::kReadOnly, 0);
    EXPECT_FALSE(ReadOnlyOnDisk(path));
}

TEST(NativeFileInfoTest, ReadOnlyFolderAttributeKeepsTheDirectoryBit) {
    TempDir dir;
    std::filesystem::create_directory(In(dir, "logs"));
    CFileInfo info;
    info.SetFullPathName(In(dir, "logs"));
    info.SetattrReadOnly(true);
    // Some systems keep no read-only bit on folders (Wine): the object tells
    // what the file system holds either way.
    EXPECT_EQ(info.attrReadOnly(), ReadOnlyOnDisk(In(dir, "logs")));
    EXPECT_NE(info.Attributes() & CFileInfo::kDirectory, 0);
    info.SetattrReadOnly(false);
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_FALSE(ReadOnlyOnDisk(In(dir, "logs")));
}

TEST(NativeFileInfoTest, ReadOnlyFileRefusesTimes) {
    TempDir dir;
    WriteFile(In(dir, "log1.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(In(dir, "log1.bin"));
    info.SetattrReadOnly(true);
    ASSERT_TRUE(info.attrReadOnly());
    if (test::OpensForWriting(In(dir, "log1.bin"))) {
        info.SetattrReadOnly(false);
        GTEST_SKIP() << "this user may write read-only files";
    }
    const DateValue before = info.ModifyTime();
    info.SetModifyTime(At(kValentine2003, 9, 5, 30));
    EXPECT_DOUBLE_EQ(info.ModifyTime(), before);
    info.SetattrReadOnly(false);  // so that the folder can go
}

}  // namespace
}  // namespace vagliante
