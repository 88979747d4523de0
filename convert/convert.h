// The two conversions between a file and its hexadecimal text form: two
// upper-case digits per byte, no separators, no line ends.
#pragma once

#include <cstdint>
#include <string>

#include "platform/progress.h"

namespace vagliante {

inline constexpr const char* kMsgConversionDone = "Conversione conclusa";

enum class ConversionKind { BinToTxt, TxtToBin };

// What a conversion read and wrote.
struct ConversionSummary {
    ConversionKind kind = ConversionKind::BinToTxt;
    std::string source;            // the source path as given
    std::int64_t read = 0;         // bytes of the source
    std::int64_t written = 0;      // bytes of the destination
    std::int64_t nonHexPairs = 0;  // TxtToBin: pairs that were not two hexadecimal digits
};

// Writes the text form of `source` to `destination`, replacing it whole.
// Throws RunError; on failure an existing destination is left as it was.
ConversionSummary ConvertBinToTxt(const std::string& source, const std::string& destination,
                                  Progress& progress);

// Reads the text `source` pair by pair (HexPairToByte) into the bytes of
// `destination`, created afresh, counting the pairs that were not two
// hexadecimal digits (a lone last character is one). Throws RunError as
// ConvertBinToTxt does.
ConversionSummary ConvertTxtToBin(const std::string& source, const std::string& destination,
                                  Progress& progress);

// "Coppie non esadecimali: 1.234": the pairs of a text that were not two
// hexadecimal digits, with the Italian thousands separator.
std::string NonHexPairsText(std::int64_t count);

// The completion message's details: NonHexPairsText when there were any,
// otherwise none (empty).
std::string ConversionDetails(const ConversionSummary& summary);

// The summary as Italian lines, each ended by "\n": the bytes read and
// written and, from text, NonHexPairsText (0 included).
std::string SummaryText(const ConversionSummary& summary);

}  // namespace vagliante
