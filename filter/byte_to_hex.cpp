#include "filter/byte_to_hex.h"

#include <array>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VAGLIANTE_HEX_SSE2 1
#endif

// GCC and Clang (MinGW included) build the wider paths for x86 whatever the
// target flags; they run only when the processor has the instructions.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VAGLIANTE_HEX_WIDE 1
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

// Sixteen bytes: split into nibbles, turn each into its digit, and
// interleave so that the high digit of every byte comes first.
inline void Encode16(const std::uint8_t* bytes, char* out) {
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i high = Digits(_mm_and_si128(_mm_srli_epi16(v, 4), low));
    const __m128i lowDigits = Digits(_mm_and_si128(v, low));
    auto* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_unpacklo_epi8(high, lowDigits));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi8(high, lowDigits));
}
#endif

#ifdef VAGLIANTE_HEX_WIDE
// Thirty-two bytes at a time, each nibble looked up in the digit table;
// returns how many bytes it did (a multiple of 32).
__attribute__((target("avx2"))) std::size_t HexEncodeAvx2(const std::uint8_t* bytes,
                                                          std::size_t size, char* out) {
    const __m256i table = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A',
                                           'B', 'C', 'D', 'E', 'F', '0', '1', '2', '3', '4', '5',
                                           '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
    const __m256i low = _mm256_set1_epi8(0x0F);
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i high =
            _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(v, 4), low));
        const __m256i lowDigits = _mm256_shuffle_epi8(table, _mm256_and_si256(v, low));
        // Per 128-bit lane: bytes 0-7 and 16-23, then 8-15 and 24-31.
        const __m256i first = _mm256_unpacklo_epi8(high, lowDigits);
        const __m256i second = _mm256_unpackhi_epi8(high, lowDigits);
        auto* o = reinterpret_cast<__m256i*>(out + 2 * i);
        _mm256_storeu_si256(o, _mm256_permute2x128_si256(first, second, 0x20));
        _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(first, second, 0x31));
    }
    return i;
}

// Sixteen bytes at a time, as above with 128-bit registers.
__attribute__((target("ssse3"))) std::size_t HexEncodeSsse3(const std::uint8_t* bytes,
                                                            std::size_t size, char* out) {
    const __m128i table = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B',
                                        'C', 'D', 'E', 'F');
    const __m128i low = _mm_set1_epi8(0x0F);
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i high = _mm_shuffle_epi8(table, _mm_and_si128(_mm_srli_epi16(v, 4), low));
        const __m128i lowDigits = _mm_shuffle_epi8(table, _mm_and_si128(v, low));
        auto* o = reinterpret_cast<__m128i*>(out + 2 * i);
        _mm_storeu_si128(o, _mm_unpacklo_epi8(high, lowDigits));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi8(high, lowDigits));
    }
    return i;
}

using WidePath = std::size_t (*)(const std::uint8_t*, std::size_t, char*);

// The widest path this processor runs, chosen once.
WidePath ChooseWidePath() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return HexEncodeAvx2;
    if (__builtin_cpu_supports("ssse3")) return HexEncodeSsse3;
    return nullptr;
}
#endif

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

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
#ifdef VAGLIANTE_HEX_WIDE
    static const WidePath wide = ChooseWidePath();
    if (wide != nullptr) i = wide(bytes, size, out);
#endif
#ifdef VAGLIANTE_HEX_SSE2
    for (; i + 16 <= size; i += 16) Encode16(bytes + i, out + 2 * i);
    // A short rest of a long run: the last sixteen bytes again, overlapping
    // digits already written with the same digits.
    if (i < size && size >= 16) {
        Encode16(bytes + size - 16, out + 2 * (size - 16));
        return;
    }
#endif
    for (; i < size; ++i) std::memcpy(out + 2 * i, kPairs[bytes[i]].data(), 2);
}

}  // namespace vagliante
