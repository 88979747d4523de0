// The two conversions between a file and its hexadecimal text form: two
// upper-case digits per byte, no separators, no line ends.
#pragma once

#include <string>

#include "platform/progress.h"

namespace vagliante {

inline constexpr const char* kMsgConversionDone = "Conversione conclusa";

// Writes the text form of `source` to `destination`, replacing it whole.
// Throws RunError; on failure an existing destination is left as it was.
void ConvertBinToTxt(const std::string& source, const std::string& destination, Progress& progress);

// Reads the text `source` pair by pair (HexPairToByte) into the bytes of
// `destination`, created afresh. Throws RunError as ConvertBinToTxt does.
void ConvertTxtToBin(const std::string& source, const std::string& destination, Progress& progress);

}  // namespace vagliante
