// GetKeyValue over the real Windows registry, on values this test writes
// under a key of its own in HKEY_CURRENT_USER and removes afterwards.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "about/get_key_value.h"
#include "about/registry.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

const RegKey kCurrentUser = reinterpret_cast<RegKey>(HKEY_CURRENT_USER);

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keyName_ = "Software\\VaglianteTest\\" + std::to_string(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, keyName_.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VaglianteTest");
    }
    void Put(const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(::RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size())),
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
    char system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryA(system, MAX_PATH), 0u);
    EXPECT_TRUE(SystemLauncher().FileExists(std::string(system) + "\\kernel32.dll"));
    EXPECT_FALSE(SystemLauncher().FileExists(system));
    EXPECT_FALSE(SystemLauncher().FileExists(std::string(system) + "\\no-such-file.exe"));
    EXPECT_FALSE(SystemLauncher().StartProgram(std::string(system) + "\\no-such-file.exe"));
}

}  // namespace
}  // namespace vagliante
