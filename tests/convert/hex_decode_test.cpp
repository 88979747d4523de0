#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "convert/hex_decode.h"

namespace vagliante {
namespace {

struct PairCase {
    const char* name;
    char first;
    char second;
    int byte;
};

class HexPairToByteTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(HexPairToByteTest, ReadsThePair) {
    const PairCase& c = GetParam();
    EXPECT_EQ(HexPairToByte(c.first, c.second), c.byte);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, HexPairToByteTest,
    ::testing::Values(
        PairCase{"Zeros", '0', '0', 0x00}, PairCase{"UpperFF", 'F', 'F', 0xFF},
        PairCase{"LowerFF", 'f', 'f', 0xFF}, PairCase{"MixedCase", 'a', 'B', 0xAB},
        PairCase{"HighDigitFirst", '8', '4', 0x84}, PairCase{"DigitThenNonDigit", '1', 'G', 0x01},
        PairCase{"NonDigitFirst", 'G', '1', 0x00}, PairCase{"BlankThenDigit", ' ', '7', 0x07},
        PairCase{"LineFeedThenDigit", '\n', '7', 0x07}, PairCase{"TabThenDigit", '\t', 'C', 0x0C},
        PairCase{"DigitThenBlank", '7', ' ', 0x07}, PairCase{"TwoBlanks", ' ', ' ', 0x00},
        PairCase{"CarriageReturnLineFeed", '\r', '\n', 0x00},
        PairCase{"CarriageReturnIsNotSkipped", '\r', '7', 0x00},
        PairCase{"DigitThenCarriageReturn", 'A', '\r', 0x0A},
        PairCase{"LoneLastCharacter", 'E', '\0', 0x0E}, PairCase{"HighByte", '\xC6', '1', 0x00}),
    [](const auto& info) { return std::string(info.param.name); });

std::string PairName(int first, int second) {
    char name[8];
    std::snprintf(name, sizeof name, "%02X%02X", first, second);
    return name;
}

// Every pair, decoded among other pairs, gives what HexPairToByte gives.
TEST(HexDecodeTest, AgreesWithHexPairToByteForEveryPair) {
    std::string text;
    for (int first = 0; first < 256; ++first)
        for (int second = 0; second < 256; ++second) {
            text.push_back(static_cast<char>(first));
            text.push_back(static_cast<char>(second));
        }
    std::string out(text.size() / 2, '\0');
    // Of the 65536 pairs, 22 * 22 are two digits ("0"-"9", "A"-"F", "a"-"f").
    ASSERT_EQ(HexDecode(text.data(), text.size(), reinterpret_cast<std::uint8_t*>(out.data())),
              out.size() - 22 * 22);
    for (int first = 0; first < 256; ++first)
        for (int second = 0; second < 256; ++second) {
            const char a = static_cast<char>(first), b = static_cast<char>(second);
            ASSERT_EQ(static_cast<std::uint8_t>(out[first * 256 + second]), HexPairToByte(a, b))
                << PairName(first, second);
        }
}

// One character of any value at any place of a stretch of well-formed text:
// the stretch still decodes pair by pair, the odd one out included.
TEST(HexDecodeTest, OneStrayCharacterInWellFormedText) {
    const std::string base = "0123456789abcdefABCDEF0123456789FEDCBA9876543210fedcba98765432";
    std::string out(base.size() / 2, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
    for (int value = 0; value < 256; ++value) {
        for (std::size_t at = 0; at < base.size(); ++at) {
            std::string text = base;
            text[at] = static_cast<char>(value);
            const bool stray = std::isxdigit(value) == 0;
            ASSERT_EQ(HexDecode(text.data(), text.size(), bytes), stray ? 1u : 0u);
            for (std::size_t k = 0; k < out.size(); ++k)
                ASSERT_EQ(bytes[k], HexPairToByte(text[2 * k], text[2 * k + 1]))
                    << "value " << value << " at " << at << ", pair " << k;
        }
    }
}

TEST(HexDecodeTest, LeavesAnOddLastCharacterToTheCaller) {
    std::uint8_t out[2] = {0x55, 0x55};
    EXPECT_EQ(HexDecode("A1B", 3, out), 0u);
    EXPECT_EQ(out[0], 0xA1);
    EXPECT_EQ(out[1], 0x55);
    EXPECT_EQ(HexDecode("", 0, out), 0u);
}

}  // namespace
}  // namespace vagliante
