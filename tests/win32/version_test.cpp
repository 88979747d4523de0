// The version numbers a Windows program shows are those of its version
// resource: this test program's resource numbers it 9.8.7, while the
// numbers built in are the project's.
#include <gtest/gtest.h>

#include "platform/program_info.h"

namespace vagliante {
namespace {

TEST(ProgramVersionTest, ComesFromTheVersionResource) {
    const VersionNumbers version = ProgramVersion();
    EXPECT_EQ(version.major, 9);
    EXPECT_EQ(version.minor, 8);
    EXPECT_EQ(version.revision, 7);
    EXPECT_EQ(VersionText(), "Vagliante  Versione 9.8.7");
    EXPECT_NE(kVersionMajor * 10000 + kVersionMinor * 100 + kVersionRevision, 90807);
}

}  // namespace
}  // namespace vagliante
