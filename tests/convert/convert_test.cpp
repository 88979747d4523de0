#include <gtest/gtest.h>

#include <random>
#include <string>

#include "convert/convert.h"
#include "tests/fuzz/oracle.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

// The text form computed the slow, obvious way.
using oracle::Hex;
using test::Bytes;
using test::ReadFile;
using test::RecordingProgress;
using test::WriteFile;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class ConvertTest : public ::testing::Test {
  protected:
    std::string BinToTxt(const std::string& bytes) {
        WriteFile(dir.File("in.BIN"), bytes);
        ConvertBinToTxt(dir.File("in.BIN"), dir.File("out.TXT"), progress);
        return ReadFile(dir.File("out.TXT"));
    }
    std::string TxtToBin(const std::string& text) {
        WriteFile(dir.File("in.TXT"), text);
        ConvertTxtToBin(dir.File("in.TXT"), dir.File("out.BIN"), progress);
        return ReadFile(dir.File("out.BIN"));
    }

    test::TempDir dir;
    RecordingProgress progress;
};

TEST_F(ConvertTest, WorkedExamples) {
    EXPECT_EQ(BinToTxt(Bytes({0x00, 0x0A, 0x84, 0xFF})), "000A84FF");
    EXPECT_EQ(TxtToBin("000A84FF"), Bytes({0x00, 0x0A, 0x84, 0xFF}));
    EXPECT_EQ(TxtToBin("ff"), Bytes({0xFF}));
    EXPECT_EQ(TxtToBin("1GG1 7\n7"), Bytes({0x01, 0x00, 0x07, 0x07}));
}

TEST_F(ConvertTest, ALineEndAfterTheTextGivesOneMoreZeroByte) {
    EXPECT_EQ(TxtToBin("000A84FF\r\n"), Bytes({0x00, 0x0A, 0x84, 0xFF, 0x00}));
}

TEST_F(ConvertTest, ALoneLastCharacterGivesItsDigitsValue) {
    EXPECT_EQ(TxtToBin("A1B"), Bytes({0xA1, 0x0B}));
    EXPECT_EQ(TxtToBin("A1 "), Bytes({0xA1, 0x00}));
}

// The bytes stay those of the pair rule; the run counts the pairs that were
// not two digits, a lone last character among them, across blocks.
TEST_F(ConvertTest, TextToBinaryCountsThePairsThatWereNotTwoDigits) {
    struct Case {
        std::string text;
        std::int64_t nonHex;
        const char* details;  // the completion message's
    };
    const std::string lines = [] {
        std::string text;
        for (int i = 0; i < 40000; ++i) text += "000A84FF1234567\n";  // 16 characters
        return text;
    }();
    for (const Case& c : {Case{"000A84FF", 0, ""}, Case{"000A84FF\r\n", 1, "1"},
                          Case{"000A84FF\n", 1, "1"}, Case{"1GG1 7\n7", 4, "4"},
                          Case{"A1B", 1, "1"}, Case{"", 0, ""}, Case{lines, 40000, "40.000"}}) {
        WriteFile(dir.File("in.TXT"), c.text);
        const ConversionSummary summary =
            ConvertTxtToBin(dir.File("in.TXT"), dir.File("out.BIN"), progress);
        EXPECT_EQ(summary.nonHexPairs, c.nonHex) << c.text.substr(0, 16);
        EXPECT_EQ(summary.read, static_cast<std::int64_t>(c.text.size()));
        EXPECT_EQ(summary.written, static_cast<std::int64_t>((c.text.size() + 1) / 2));
        EXPECT_EQ(ConversionDetails(summary),
                  *c.details ? std::string("Coppie non esadecimali: ") + c.details : "");
    }
    EXPECT_EQ(NonHexPairsText(1234), "Coppie non esadecimali: 1.234");
    EXPECT_EQ(NonHexPairsText(40000), "Coppie non esadecimali: 40.000");

    const ConversionSummary binary =
        ConvertBinToTxt(dir.File("in.TXT"), dir.File("hex.TXT"), progress);
    EXPECT_EQ(binary.written, 2 * binary.read);
    EXPECT_EQ(binary.nonHexPairs, 0);
    EXPECT_EQ(ConversionDetails(binary), "");
    EXPECT_EQ(SummaryText(binary), "Byte letti: 640.000\nByte scritti: 1.280.000\n");
}

TEST_F(ConvertTest, AnEmptySourceGivesAnEmptyDestination) {
    EXPECT_EQ(BinToTxt(""), "");
    EXPECT_EQ(TxtToBin(""), "");
    EXPECT_EQ(progress.maxima.back(), 1.0);
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
}

// Sizes around the block and vector boundaries of both directions.
class ConvertSizeTest : public ConvertTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ConvertSizeTest, TextHasTwoDigitsPerByteAndConvertsBack) {
    const std::string bytes = RandomBytes(GetParam(), static_cast<unsigned>(GetParam()));
    const std::string text = BinToTxt(bytes);
    ASSERT_EQ(text.size(), 2 * bytes.size());
    EXPECT_TRUE(text == Hex(bytes));
    EXPECT_TRUE(TxtToBin(text) == bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConvertSizeTest,
                         ::testing::Values(1, 15, 16, 17, 31, 33, 1000, (2u << 20) - 1, 2u << 20,
                                           (4u << 20) + 7),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

TEST_F(ConvertTest, LowerCaseAndMixedTextConvertsBackAsWell) {
    const std::string bytes = RandomBytes(5000, 7);
    std::string text = Hex(bytes);
    for (std::size_t i = 0; i < text.size(); i += 3)
        text[i] = static_cast<char>(std::tolower(text[i]));
    EXPECT_TRUE(TxtToBin(text) == bytes);
}

TEST_F(ConvertTest, ProgressRunsFromOneToLengthPlusOneAndEndsEmpty) {
    const std::string bytes = RandomBytes((5u << 20) + 3, 1);
    BinToTxt(bytes);
    ASSERT_EQ(progress.maxima, std::vector<double>{static_cast<double>(bytes.size() + 1)});
    ASSERT_GE(progress.values.size(), 4u);
    EXPECT_EQ(progress.values.front(), kProgressEmpty);
    EXPECT_EQ(progress.values[1], 1.0);
    EXPECT_EQ(progress.values[progress.values.size() - 2], static_cast<double>(bytes.size() + 1));
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
    for (std::size_t i = 2; i + 1 < progress.values.size(); ++i)
        EXPECT_GT(progress.values[i], progress.values[i - 1]);

    // Reading pairs, the position runs 1, 3, 5 ...
    progress = {};
    const std::string text = Hex(bytes);
    TxtToBin(text);
    ASSERT_EQ(progress.maxima, std::vector<double>{static_cast<double>(text.size() + 1)});
    ASSERT_GE(progress.values.size(), 4u);
    for (std::size_t i = 1; i + 2 < progress.values.size(); ++i)
        EXPECT_EQ(static_cast<std::int64_t>(progress.values[i]) % 2, 1) << progress.values[i];
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
}

TEST_F(ConvertTest, AMissingSourceIsAnErrorAndTheDestinationStays) {
    WriteFile(dir.File("out.TXT"), "old");
    for (auto convert : {&ConvertBinToTxt, &ConvertTxtToBin}) {
        progress = {};
        EXPECT_EQ(
            test::FailureOf([&] { convert(dir.File("missing"), dir.File("out.TXT"), progress); }),
            (test::Failure{53, dir.File("missing")}));
        EXPECT_EQ(progress.values.back(), kProgressEmpty);
    }
    EXPECT_EQ(ReadFile(dir.File("out.TXT")), "old");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.TXT"});
}

TEST_F(ConvertTest, ConvertingAFileOntoItselfGivesItsTextForm) {
    const std::string bytes = RandomBytes(3000, 3);
    WriteFile(dir.File("same"), bytes);
    ConvertBinToTxt(dir.File("same"), dir.File("same"), progress);
    EXPECT_TRUE(ReadFile(dir.File("same")) == Hex(bytes));
}

// The text form is byte for byte what GNU basenc writes, and its output reads back.
TEST_F(ConvertTest, TextFormEqualsBasenc) {
    if (test::RunCommandLine(std::string("basenc --version >") + test::NullDevice() + " 2>&1") != 0)
        GTEST_SKIP() << "basenc (GNU coreutils) is not installed";
    for (std::size_t size : {std::size_t{1}, std::size_t{4095}, (std::size_t{3} << 20) + 11}) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size) * 31);
        const std::string text = BinToTxt(bytes);
        const std::string command = "basenc --base16 -w0 <" + test::Quoted(dir.File("in.BIN")) +
                                    " >" + test::Quoted(dir.File("basenc.TXT"));
        ASSERT_EQ(test::RunCommandLine(command), 0);
        const std::string expected = ReadFile(dir.File("basenc.TXT"));
        ASSERT_EQ(text.size(), expected.size());
        EXPECT_TRUE(text == expected) << size << " bytes";
        EXPECT_TRUE(TxtToBin(expected) == bytes) << size << " bytes";
    }
}

}  // namespace
}  // namespace vagliante
