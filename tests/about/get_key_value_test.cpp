#include "about/get_key_value.h"

#include <gtest/gtest.h>

#include <optional>

#include "about/sys_info.h"
#include "platform/run_error.h"
#include "tests/about/fakes.h"

namespace vagliante {
namespace {

using test::FakeValue;
using Value = std::optional<FakeValue>;

struct ReadCase {
    const char* name;
    bool keyExists;
    Value value;
    std::string before;  // KeyVal as passed in
    bool result;
    std::string after;
};

class GetKeyValueTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(GetKeyValueTest, ReadsTheValueAndClosesTheKey) {
    const ReadCase& c = GetParam();
    test::FakeRegistry registry;
    if (c.keyExists) registry.keys["K"];
    if (c.value) registry.keys["K"]["V"] = *c.value;
    std::string keyVal = c.before;
    EXPECT_EQ(GetKeyValue(registry, kHkeyLocalMachine, "K", "V", keyVal), c.result);
    EXPECT_EQ(keyVal, c.after);
    EXPECT_EQ(registry.rights, 0x2003Fu);
    // Closed once, also after a failed open (handle 0).
    EXPECT_EQ(registry.closed.size(), 1u);
    EXPECT_EQ(registry.closed[0] == 0, !c.keyExists);
    EXPECT_TRUE(registry.open.empty());
}

const std::string kLong(1024, 'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, GetKeyValueTest,
    ::testing::Values(
        ReadCase{"StringWithFinalNul", true, FakeValue{kRegSz, {"C:\\a\0", 5}}, "", true, "C:\\a"},
        ReadCase{"StringWithoutFinalNul", true, FakeValue{kRegSz, "C:\\a"}, "old", true, "C:\\a"},
        ReadCase{
            "StringLosesOnlyOneNul", true, FakeValue{kRegSz, {"a\0\0", 3}}, "", true, {"a\0", 2}},
        ReadCase{"StringOf1024Bytes", true, FakeValue{kRegSz, kLong}, "", true, kLong},
        ReadCase{"StringOver1024Bytes", true, FakeValue{kRegSz, kLong + "b"}, "old", false, ""},
        ReadCase{"NumberAfterWhatKeyValHeld", true, FakeValue{kRegDword, "\x0F\x01\x02\xAB"},
                 "C:", true, "&hC:AB02010F"},
        ReadCase{"OtherTypeLeavesKeyVal", true, FakeValue{2, "%x%"}, "kept", true, "kept"},
        ReadCase{"MissingValue", true, Value{}, "old", false, ""},
        ReadCase{"MissingKey", false, Value{}, "old", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GetKeyValue, ValueOfZeroBytesIsAnErrorAndTheKeyIsClosed) {
    test::FakeRegistry registry;
    registry.keys["K"]["V"] = {kRegSz, ""};
    std::string keyVal;
    EXPECT_THROW(GetKeyValue(registry, kHkeyLocalMachine, "K", "V", keyVal), RunError);
    EXPECT_EQ(registry.closed.size(), 1u);
    EXPECT_TRUE(registry.open.empty());
}

const std::string kPath = "C:\\Prog\\msinfo32.exe";
const std::string kInFolder = "C:\\Tools\\MSINFO32.EXE";
const FakeValue kFolder{kRegSz, std::string("C:\\Tools\0", 9)};

struct LaunchCase {
    const char* name;
    Value path;    // location 1
    Value folder;  // location 2
    std::set<std::string> files;
    bool startWorks;
    std::vector<std::string> started;
    SysInfoOutcome outcome;
};

class StartSysInfoTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(StartSysInfoTest, StartsTheProgramOrGivesTheMessage) {
    const LaunchCase& c = GetParam();
    test::FakeRegistry registry;
    test::FakeLauncher launcher;
    if (c.path) registry.keys[kSysInfoPathKey][kSysInfoPathValue] = *c.path;
    if (c.folder) registry.keys[kSysInfoFolderKey][kSysInfoFolderValue] = *c.folder;
    launcher.files = c.files;
    launcher.startWorks = c.startWorks;
    EXPECT_EQ(StartSysInfo(registry, launcher), c.outcome);
    EXPECT_EQ(launcher.started, c.started);
    EXPECT_EQ(registry.opened.front(), kSysInfoPathKey);
    EXPECT_TRUE(registry.open.empty());
}

constexpr auto kStarted = SysInfoOutcome::Started;
constexpr auto kMessage = SysInfoOutcome::Unavailable;

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSysInfoTest,
    ::testing::Values(
        LaunchCase{"PathStartedAsReadWithoutFile",
                   FakeValue{kRegSz, kPath},
                   kFolder,
                   {kInFolder},
                   true,
                   {kPath},
                   kStarted},
        LaunchCase{"PathThatFailsToStart",
                   FakeValue{kRegSz, kPath},
                   kFolder,
                   {},
                   false,
                   {kPath},
                   kMessage},
        LaunchCase{
            "FolderHoldingTheProgram", Value{}, kFolder, {kInFolder}, true, {kInFolder}, kStarted},
        LaunchCase{"FolderWithoutTheProgram", Value{}, kFolder, {"C:\\Tools"}, true, {}, kMessage},
        LaunchCase{"NeitherLocation", Value{}, Value{}, {}, true, {}, kMessage},
        LaunchCase{"PathOfOtherTypeStaysEmpty",
                   FakeValue{3, "\x01"},
                   kFolder,
                   {kInFolder},
                   true,
                   {""},
                   kMessage},
        LaunchCase{
            "PathOfZeroBytes", FakeValue{kRegSz, ""}, kFolder, {kInFolder}, true, {}, kMessage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vagliante
