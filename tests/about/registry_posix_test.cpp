#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "about/get_key_value.h"
#include "about/sys_info.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

class PosixBackendTest : public ::testing::Test {
  protected:
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    std::string Program(const std::string& name, bool executable, const std::string& body = "") {
        const std::string path = dir_.File(name);
        test::WriteFile(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }
    std::string Read(const char* key, const char* value) {
        std::string keyVal = "old";
        GetKeyValue(kHkeyLocalMachine, key, value, keyVal);
        return keyVal;
    }

    test::TempDir dir_;
    std::string savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
};

TEST_F(PosixBackendTest, LocationOneNamesTheFirstProgramOnPath) {
    mkdir(dir_.File("a").c_str(), 0755);
    mkdir(dir_.File("b").c_str(), 0755);
    setenv("PATH", (dir_.File("a") + ":" + dir_.File("b")).c_str(), 1);
    EXPECT_EQ(Read(kSysInfoPathKey, kSysInfoPathValue), "");
    Program("a/hardinfo2", false);  // not executable: passed over
    Program("a/kinfocenter", true);
    EXPECT_EQ(Read(kSysInfoPathKey, kSysInfoPathValue), dir_.File("a/kinfocenter"));
    Program("b/hardinfo", true);
    EXPECT_EQ(Read(kSysInfoPathKey, kSysInfoPathValue), dir_.File("b/hardinfo"));
    EXPECT_EQ(Read(kSysInfoFolderKey, kSysInfoFolderValue), "");
}

TEST_F(PosixBackendTest, StartsDetachedAndReportsWhatCannotStart) {
    Launcher& launcher = SystemLauncher();
    const std::string go = dir_.File("go"), marker = dir_.File("marker");
    // The program waits (bounded) for the test's go-ahead, which it only sees
    // if the start returned without waiting for it.
    const std::string program =
        Program("hardinfo", true,
                "i=0; while [ ! -e " + go +
                    " ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                    "if [ -e " +
                    go + " ]; then echo go; else echo waited; fi > " + marker + ".t\n" + "mv " +
                    marker + ".t " + marker + "\n");
    EXPECT_TRUE(launcher.StartProgram(program));
    test::WriteFile(go, "");
    for (int i = 0; i < 400 && access(marker.c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(access(marker.c_str(), F_OK), 0);
    EXPECT_EQ(test::ReadFile(marker), "go\n");
    EXPECT_TRUE(launcher.FileExists(program));
    EXPECT_FALSE(launcher.FileExists(dir_.Path()));
    EXPECT_FALSE(launcher.StartProgram(Program("plain", false)));
    EXPECT_FALSE(launcher.StartProgram(dir_.File("missing")));
}

}  // namespace
}  // namespace vagliante
