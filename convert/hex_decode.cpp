#include "convert/hex_decode.h"

#include <array>
#include <bit>
#include <cstring>

#include "filter/byte_to_hex.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VAGLIANTE_HEX_SSE2 1
#endif

namespace vagliante {
namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The byte of every pair of characters, indexed by the two characters as
// they lie in memory: first | second << 8.
using PairTable = std::array<std::uint8_t, 65536>;

const PairTable& Pairs() {
    static const PairTable table = [] {
        PairTable t{};
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second)
                t[static_cast<std::size_t>(first | second << 8)] =
                    HexPairToByte(static_cast<char>(first), static_cast<char>(second));
        return t;
    }();
    return table;
}

// 1 for a hexadecimal digit, 0 for any other character.
using DigitTable = std::array<std::uint8_t, 256>;

const DigitTable& Digits() {
    static const DigitTable table = [] {
        DigitTable t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<std::size_t>(c)] = HexDigitValue(static_cast<char>(c)) >= 0;
        return t;
    }();
    return table;
}

void DecodeWithTable(const PairTable& table, const char* text, std::size_t pairs,
                     std::uint8_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < pairs; ++i)
        out[i] = table[static_cast<std::size_t>(p[2 * i] | p[2 * i + 1] << 8)];
}

// How many of `pairs` pairs are not two digits.
std::size_t OtherPairs(const DigitTable& digits, const char* text, std::size_t pairs) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t whole = 0;
    for (std::size_t i = 0; i < pairs; ++i) whole += digits[p[2 * i]] & digits[p[2 * i + 1]];
    return pairs - whole;
}

#ifdef VAGLIANTE_HEX_SSE2
// Of sixteen characters, the mask of those that are hexadecimal digits (bit
// i for character i) and, where they are, their values.
inline int DigitMask(__m128i chars, __m128i& values) {
    const __m128i lower = _mm_or_si128(chars, _mm_set1_epi8(0x20));
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(chars, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(chars, _mm_set1_epi8('9' + 1)));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    values = _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(chars, _mm_set1_epi8('0'))),
                          _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    return _mm_movemask_epi8(_mm_or_si128(digit, letter));
}

// The eight bytes of sixteen digit values, in the low halves of the
// sixteen-bit lanes: the first character of a pair is the high digit.
inline __m128i PairBytes(__m128i values) {
    const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00FF)), 4);
    return _mm_or_si128(high, _mm_srli_epi16(values, 8));
}

#endif

}  // namespace

std::uint8_t HexPairToByte(char first, char second) {
    char kept[2];
    int count = 0;
    for (char c : {first, second})
        if (!IsSkipped(c)) kept[count++] = c;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        int digit = HexDigitValue(kept[i]);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

std::size_t HexDecode(const char* text, std::size_t size, std::uint8_t* out) {
    const PairTable& table = Pairs();
    const std::size_t pairs = size / 2;
    std::size_t done = 0;
    std::size_t other = 0;
#ifdef VAGLIANTE_HEX_SSE2
    // Sixteen pairs at a time: those of two digits decoded together, the
    // others (none in well-formed text, the usual case) then one by one
    // through the table.
    for (; done + 16 <= pairs; done += 16) {
        const char* p = text + 2 * done;
        __m128i a, b;
        const auto mask = static_cast<std::uint32_t>(
            DigitMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), a) |
            DigitMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), b) << 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done),
                         _mm_packus_epi16(PairBytes(a), PairBytes(b)));
        // Bit 2k: pair k is not two digits.
        for (std::uint32_t odd = ~(mask & mask >> 1) & 0x55555555u; odd != 0; odd &= odd - 1) {
            const auto k = static_cast<std::size_t>(std::countr_zero(odd)) / 2;
            DecodeWithTable(table, p + 2 * k, 1, out + done + k);
            ++other;
        }
    }
#endif
    DecodeWithTable(table, text + 2 * done, pairs - done, out + done);
    return other + OtherPairs(Digits(), text + 2 * done, pairs - done);
}

}  // namespace vagliante
