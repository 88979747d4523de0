#include "filter/byte_to_hex.h"

#include <array>
#include <cstring>

namespace vagliante {
namespace {

// Both digits of every byte value, laid out as they appear in memory.
constexpr std::array<std::array<char, 2>, 256> MakePairTable() {
    std::array<std::array<char, 2>, 256> table{};
    for (int v = 0; v < 256; ++v) table[v] = {kHexDigits[v >> 4], kHexDigits[v & 15]};
    return table;
}
constexpr auto kPairs = MakePairTable();

}  // namespace

std::string ByteToHex(std::int16_t value) {
    int v = value;
    if (v > 255) v %= 256;
    if (v < 0) {
        auto u = static_cast<std::uint16_t>(v);
        return {kHexDigits[u >> 12], kHexDigits[(u >> 8) & 15], kHexDigits[(u >> 4) & 15],
                kHexDigits[u & 15]};
    }
    return {kHexDigits[v >> 4], kHexDigits[v & 15]};
}

void HexEncode(const std::uint8_t* bytes, std::size_t size, char* out) {
    for (std::size_t i = 0; i < size; ++i) std::memcpy(out + 2 * i, kPairs[bytes[i]].data(), 2);
}

}  // namespace vagliante
