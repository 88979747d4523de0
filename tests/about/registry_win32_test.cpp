// GetKeyValue over the real Windows registry, on values this test writes
// under a key of its own in HKEY_CURRENT_USER and removes afterwards. Names
// and text outside the user's code page come through in UTF-8.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "about/get_key_value.h"
#include "about/registry.h"
#include "platform/run_error.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

const RegKey kCurrentUser = reinterpret_cast<RegKey>(HKEY_CURRENT_USER);

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keyName_ = "Software\\VaglianteTest\\\xD0\x96 " + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, ToUtf16(keyName_).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VaglianteTest");
    }
    // Text (REG_SZ) as the system stores it, in UTF-16; other data as it is.
    void Put(const char* name, DWORD type, const std::string& data) {
        const std::wstring text = ToUtf16(data);
        const BYTE* bytes = reinterpret_cast<const BYTE*>(data.data());
        DWORD size = static_cast<DWORD>(data.size());
        if (type == REG_SZ) {
            bytes = reinterpret_cast<const BYTE*>(text.data());
            size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        }
        ASSERT_EQ(::RegSetValueExW(key_, ToUtf16(name).c_str(), 0, type, bytes, size),
                  ERROR_SUCCESS);
    }
    bool Get(const char* name, std::string& value) {
        return GetKeyValue(kCurrentUser, keyName_, name, value);
    }

    std::string keyName_;
    HKEY key_ = nullptr;
};

TEST_F(RegistryTest, ReadsEachKindOfValue) {
    Put("WithNul", REG_SZ, std::string("C:\\Tools\\a.exe\0", 15));
    Put("WithoutNul", REG_SZ, "C:\\b");
    Put("Number", REG_DWORD, std::string("\x0F\x01\x02\xAB", 4));
    Put("Binary", REG_BINARY, "\x01\x02");
    Put("Long", REG_SZ, std::string(2000, 'x'));
    Put("Citt\xC3\xA0", REG_SZ, std::string("C:\\\xD0\x96\xF0\x9F\x93\x92\\a.exe\0", 16));
    // 1024 bytes at most, counted in UTF-8 as the text is given.
    Put("Ascii600", REG_SZ, std::string(600, 'x'));
    std::string cyrillic;
    for (int i = 0; i < 600; ++i) cyrillic += "\xD0\x96";
    Put("Cyrillic600", REG_SZ, cyrillic);

    std::string value;
    EXPECT_TRUE(Get("WithNul", value));
    EXPECT_EQ(value, "C:\\Tools\\a.exe");
    EXPECT_TRUE(Get("WithoutNul", value));
    EXPECT_EQ(value, "C:\\b");
    value = "";
    EXPECT_TRUE(Get("Number", value));
    EXPECT_EQ(value, "&hAB02010F");
    value = "kept";
    EXPECT_TRUE(Get("Binary", value));
    EXPECT_EQ(value, "kept");
    EXPECT_FALSE(Get("Long", value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(Get("Citt\xC3\xA0", value));
    EXPECT_EQ(value, "C:\\\xD0\x96\xF0\x9F\x93\x92\\a.exe");
    EXPECT_TRUE(Get("Ascii600", value));
    EXPECT_EQ(value, std::string(600, 'x'));
    EXPECT_FALSE(Get("Cyrillic600", value));
    value = "old";
    EXPECT_FALSE(Get("Missing", value));
    EXPECT_EQ(value, "");
}

TEST_F(RegistryTest, AMissingKeyIsFalseAndAnEmptyValueAnError) {
    std::string value = "old";
    EXPECT_FALSE(GetKeyValue(kCurrentUser, keyName_ + "\\None", "V", value));
    EXPECT_EQ(value, "");
    Put("Empty", REG_SZ, "");
    EXPECT_THROW(Get("Empty", value), RunError);
}

TEST(LauncherTest, TellsFilesFromFolders) {
    test::TempDir dir;
    const std::string folder = dir.File("\xD0\x96\xF0\x9F\x93\x92");
    test::MakeFolder(folder);
    test::WriteFile(folder + "/MSINFO32.EXE", "");
    EXPECT_TRUE(SystemLauncher().FileExists(folder + "\\MSINFO32.EXE"));
    EXPECT_FALSE(SystemLauncher().FileExists(folder));
    EXPECT_FALSE(SystemLauncher().FileExists(folder + "\\no-such-file.exe"));
    EXPECT_FALSE(SystemLauncher().StartProgram(folder + "\\no-such-file.exe"));
}

}  // namespace
}  // namespace vagliante
