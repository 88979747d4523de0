#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "filter/byte_to_hex.h"
#include "filter/remove_extra_bytes.h"

namespace vagliante {
namespace {

class ByteToHexAllBytes : public ::testing::TestWithParam<int> {};

TEST_P(ByteToHexAllBytes, GivesTwoUpperCaseDigits) {
    const int value = GetParam();
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", value);
    EXPECT_EQ(ByteToHex(static_cast<std::int16_t>(value)), expected);
    char encoded[2];
    const auto byte = static_cast<std::uint8_t>(value);
    HexEncode(&byte, 1, encoded);
    EXPECT_EQ(std::string(encoded, 2), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ByteToHexAllBytes, ::testing::Range(0, 256), [](const auto& info) {
    char name[8];
    std::snprintf(name, sizeof name, "x%02X", info.param);
    return std::string(name);
});

TEST(ByteToHexTest, OutOfRangeValues) {
    EXPECT_EQ(ByteToHex(256), "00");
    EXPECT_EQ(ByteToHex(300), "2C");
    EXPECT_EQ(ByteToHex(32767), "FF");
    EXPECT_EQ(ByteToHex(-1), "FFFF");
    EXPECT_EQ(ByteToHex(-32768), "8000");
}

TEST(HexEncodeTest, EncodesARunWithoutSeparators) {
    const std::uint8_t bytes[] = {0x00, 0x0A, 0x84, 0xFF};
    char out[8];
    HexEncode(bytes, 4, out);
    EXPECT_EQ(std::string(out, 8), "000A84FF");
}

// Every length around the 16- and 32-byte steps and every start offset:
// the wide paths and their scalar tails give the digits of ByteToHex.
class HexEncodeLengths : public ::testing::TestWithParam<int> {};

TEST_P(HexEncodeLengths, MatchesByteToHexAtEveryOffset) {
    const auto length = static_cast<std::size_t>(GetParam());
    std::vector<std::uint8_t> bytes(length + 31);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t offset = 0; offset < 32; ++offset) {
        std::string expected;
        for (std::size_t i = 0; i < length; ++i) expected += ByteToHex(bytes[offset + i]);
        std::string out(2 * length + 1, '#');
        HexEncode(bytes.data() + offset, length, out.data());
        EXPECT_EQ(out.substr(0, 2 * length), expected) << "offset " << offset;
        EXPECT_EQ(out.back(), '#') << "wrote past the end at offset " << offset;
    }
}
INSTANTIATE_TEST_SUITE_P(Lengths, HexEncodeLengths,
                         ::testing::Values(0, 1, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 100, 256,
                                           1000),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

// The line RemoveExtraBytes leaves.
std::string Shortened(std::string line, std::string_view pattern) {
    RemoveExtraBytes(line, pattern);
    return line;
}

TEST(RemoveExtraBytesTest, CutsTheTenCharactersAfterThePatternsFirst) {
    EXPECT_EQ(Shortened("AB4740B6CDEF0123456789", "4740B6"), "AB4123456789");
    // Without the pattern the first ten characters go.
    EXPECT_EQ(Shortened("0123456789ABCDEF", "4740B6"), "ABCDEF");
    // Fewer than ten characters after the pattern's first: all of them go.
    EXPECT_EQ(Shortened("XY474126AB", "474126"), "XY4");
    EXPECT_EQ(Shortened("474126", "474126"), "4");
    EXPECT_EQ(Shortened("SHORT", "4740B6"), "");
    // The comparison is case-sensitive.
    EXPECT_EQ(Shortened("AB4740b6CDEF0123456789", "4740B6"), "EF0123456789");
    // Only the first occurrence counts.
    EXPECT_EQ(Shortened("4740B6....4740B6....XYZ", "4740B6"), "4740B6....XYZ");
}

}  // namespace
}  // namespace vagliante
