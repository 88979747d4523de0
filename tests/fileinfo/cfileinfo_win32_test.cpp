// CFileInfo on the real Windows file system (the Windows build only).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

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

// A path in the form Windows gives back: backslashes.
std::string Win(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

TEST(Win32FileInfoTest, ExistingFileThenMissing) {
    TempDir dir;
    WriteFile(dir.File("log1.bin"), std::string(1536, 'x'));
    CFileInfo info;
    info.SetFullPathName(dir.File("log1.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FullPathName(), Win(dir.File("log1.bin")));
    EXPECT_EQ(info.FileName(), "log1.bin");
    EXPECT_EQ(info.FileExtension(), "bin");
    EXPECT_EQ(info.ShortName(), "LOG1.BIN");
    EXPECT_EQ(info.FileSize(), 1536);
    EXPECT_EQ(info.FileSizeHigh(), 0);
    EXPECT_NE(info.Attributes() & CFileInfo::kArchive, 0);
    EXPECT_GT(info.CreationTime(), 40000.0);  // after 2009

    info.SetFullPathName(dir.File("gone.bin"));
    EXPECT_FALSE(info.FileExists());
    EXPECT_TRUE(info.PathExists());
    EXPECT_EQ(info.FileName(), "log1.bin");
}

TEST(Win32FileInfoTest, MissingFolderAndFolder) {
    TempDir dir;
    CFileInfo missing;
    missing.SetFullPathName(dir.File("none/log.bin"));
    EXPECT_FALSE(missing.FileExists());
    EXPECT_FALSE(missing.PathExists());

    std::filesystem::create_directory(dir.File("Logs 2003"));
    CFileInfo folder;
    folder.SetFullPathName(dir.File("Logs 2003"));
    ASSERT_TRUE(folder.FileExists());
    EXPECT_NE(folder.Attributes() & CFileInfo::kDirectory, 0);
}

// A drive root is qualified as it is and names no entry of its own.
TEST(Win32FileInfoTest, DriveRootAndShareForms) {
    char windows[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    std::string root = std::string(windows, 3);  // "C:\"
    CFileInfo info;
    info.SetFullPathName(root);
    EXPECT_EQ(info.FullPathName(), root);
    // A network share is kept in its own form, though it does not exist.
    CFileInfo share;
    share.SetFullPathName("\\\\srv\\share\\log.bin");
    EXPECT_EQ(share.FullPathName(), "\\\\srv\\share\\log.bin");
    EXPECT_FALSE(share.FileExists());
}

TEST(Win32FileInfoTest, WildcardAndRelativePath) {
    TempDir dir;
    for (const char* name : {"b.BIN", "a.bin", "c.txt"}) WriteFile(dir.File(name), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File("*.bin"));
    ASSERT_TRUE(info.FileExists());
    EXPECT_EQ(info.FileExtension().size(), 3u);

    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    CFileInfo relative;
    relative.SetFullPathName("c.txt");
    std::filesystem::current_path(old);
    EXPECT_TRUE(relative.FileExists());
    EXPECT_EQ(relative.FullPathName(), Win(dir.File("c.txt")));
}

// A long name has an 8.3 short name where the file system makes them.
TEST(Win32FileInfoTest, ShortNameOfALongName) {
    TempDir dir;
    WriteFile(dir.File("a rather long log name.bin"), "x");
    CFileInfo info;
    info.SetFullPathName(dir.File("a rather long log name.bin"));
    ASSERT_TRUE(info.FileExists());
    if (info.ShortName() == "A RATHER LONG LOG NAME.BIN")
        GTEST_SKIP() << "this file system keeps no 8.3 names";
    EXPECT_LE(info.ShortName().size(), 12u);
    EXPECT_NE(info.ShortName().find('~'), std::string::npos);
}

TEST(Win32FileInfoTest, AttributesSetAndReadBack) {
    TempDir dir;
    const std::string path = dir.File("log1.bin");
    WriteFile(path, "x");
    CFileInfo info;
    info.SetFullPathName(path);
    info.SetattrReadOnly(true);
    EXPECT_TRUE(info.attrReadOnly());
    EXPECT_NE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    info.SetattrHidden(true);
    EXPECT_TRUE(info.attrHidden());
    EXPECT_TRUE(info.attrReadOnly());
    info.SetattrReadOnly(false);
    info.SetattrHidden(false);
    EXPECT_FALSE(info.attrReadOnly());
    EXPECT_FALSE(info.attrHidden());
}

TEST(Win32FileInfoTest, TimesWrittenAndReadBack) {
    TempDir dir;
    WriteFile(dir.File("log1.bin"), "x");
    std::filesystem::create_directory(dir.File("logs"));
    for (const char* name : {"log1.bin", "logs"}) {
        SCOPED_TRACE(name);
        CFileInfo info;
        info.SetFullPathName(dir.File(name));
        info.SetModifyTime(At(kValentine2003, 9, 5, 30));
        EXPECT_DOUBLE_EQ(info.ModifyTime(), At(kValentine2003, 9, 5, 30));
        // Windows keeps a creation time that can be set.
        info.SetCreationTime(At(kValentine2003, 8, 0, 0));
        EXPECT_DOUBLE_EQ(info.CreationTime(), At(kValentine2003, 8, 0, 0));
    }
}

}  // namespace
}  // namespace vagliante
