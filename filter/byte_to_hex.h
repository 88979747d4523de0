// Hexadecimal rendering of bytes: two upper-case digits per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vagliante {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of a hexadecimal digit of either case, or -1 for any other
// character.
int HexDigitValue(char c);

// A value as two upper-case hexadecimal digits. Values above 255 are first
// reduced modulo 256; a negative value gives the four digits of its 16-bit
// two's complement (-1 gives "FFFF").
std::string ByteToHex(std::int16_t value);

// Writes the 2 * size digits of `size` bytes to `out`, high digit first:
// the same text as ByteToHex of each byte, without separators.
void HexEncode(const std::uint8_t* bytes, std::size_t size, char* out);

}  // namespace vagliante
