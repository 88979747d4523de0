// Built into the test programs' twins that keep the user's code page: the
// code page they run in is one where Cyrillic and emoji have no letters.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

TEST(LegacyCodePageTest, TheCodePageIs1252) { EXPECT_EQ(::GetACP(), 1252u); }
