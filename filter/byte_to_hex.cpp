#include "filter/byte_to_hex.h"

#include <array>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VAGLIANTE_HEX_SSE2 1
#endif

namespace vagliante {
namespace {

// Both digits of every byte value, laid out as they appear in memory.
constexpr std::array<std::array<char, 2>, 256> MakePairTable() {
    std::array<std::array<char, 2>, 256> table{};
    for (int v = 0; v < 256; ++v) table[v] = {kHexDigits[v >> 4], kHexDigits[v & 15]};
    return table;
}
constexpr auto kPairs = MakePairTable();

#ifdef VAGLIANTE_HEX_SSE2
// The digit of each of sixteen nibbles: '0' + n, and 7 more from 'A' on.
inline __m128i Digits(__m128i nibbles) {
    const __m128i letters =
        _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}
#endif

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
    std::size_t i = 0;
#ifdef VAGLIANTE_HEX_SSE2
    // Sixteen bytes at a time: split into nibbles, turn each into its digit,
    // and interleave so that the high digit of every byte comes first.
    const __m128i low = _mm_set1_epi8(0x0F);
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i high = Digits(_mm_and_si128(_mm_srli_epi16(v, 4), low));
        const __m128i lowDigits = Digits(_mm_and_si128(v, low));
        auto* o = reinterpret_cast<__m128i*>(out + 2 * i);
        _mm_storeu_si128(o, _mm_unpacklo_epi8(high, lowDigits));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi8(high, lowDigits));
    }
#endif
    for (; i < size; ++i) std::memcpy(out + 2 * i, kPairs[bytes[i]].data(), 2);
}

}  // namespace vagliante
