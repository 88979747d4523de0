// Reading the hexadecimal text form back into bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vagliante {

// One byte from two characters of the text form. Blanks, tabs and line
// feeds are skipped; the leading run of hexadecimal digits (either case)
// of what is left is the value, so "1G" gives 0x01, "G1" gives 0 and " 7"
// gives 0x07. A carriage return is not skipped. A lone last character of a
// text is read as HexPairToByte(c, '\0').
std::uint8_t HexPairToByte(char first, char second);

// Turns the size / 2 pairs of `text` into as many bytes in `out`, each one
// HexPairToByte of its pair; an odd last character is left to the caller.
// Returns how many of the pairs were not two hexadecimal digits (either
// case): any other pair (a line end, a blank, any other character in it)
// gives 0 or the value of its leading digit.
std::size_t HexDecode(const char* text, std::size_t size, std::uint8_t* out);

}  // namespace vagliante
