// HexPairToByte and ConvertTxtToBin over arbitrary text, against the plain
// reading of pairs; ConvertBinToTxt of the same bytes and back.
#include <cstdint>
#include <string>

#include "convert/convert.h"
#include "convert/hex_decode.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/oracle.h"

using namespace vagliante;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string& dir = fuzz::Scratch();
    NullProgress progress;

    for (std::size_t i = 0; i + 1 < input.size() && i < 64; i += 2)
        fuzz::Expect(HexPairToByte(input[i], input[i + 1]), oracle::PairToByte(input.substr(i, 2)),
                     "HexPairToByte");

    // The input as hexadecimal text: into bytes, over a longer old file.
    const std::string text = dir + "/IN.TXT";
    const std::string bin = dir + "/OUT.BIN";
    test::WriteFile(text, input);
    test::WriteFile(bin, std::string(input.size() + 7, '\x5A'));
    const ConversionSummary summary = ConvertTxtToBin(text, bin, progress);
    fuzz::Expect(test::ReadFile(bin), oracle::TextToBytes(input), "ConvertTxtToBin");
    fuzz::Expect(summary.nonHexPairs, oracle::NonHexPairs(input), "the pairs not hexadecimal");

    // The input as binary: into text and back.
    ConvertBinToTxt(text, dir + "/HEX.TXT", progress);
    fuzz::Expect(test::ReadFile(dir + "/HEX.TXT"), oracle::Hex(input), "ConvertBinToTxt");
    ConvertTxtToBin(dir + "/HEX.TXT", bin, progress);
    fuzz::Expect(test::ReadFile(bin), input, "round trip");
    return 0;
}
