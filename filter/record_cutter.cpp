#include "filter/record_cutter.h"

#include <algorithm>
#include <string>

#include "filter/byte_to_hex.h"
#include "platform/run_error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VAGLIANTE_MARKER_SSE2 1
#endif

// As for the hexadecimal encoder: GCC and Clang build a 32-byte path that
// runs only on processors with AVX2.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VAGLIANTE_MARKER_AVX2 1
#endif

namespace vagliante {
namespace {

bool IsMarkerAt(const std::uint8_t* data, std::size_t j, Marker marker) {
    return data[j] == marker.first && data[j + 1] == marker.second;
}

#ifdef VAGLIANTE_MARKER_SSE2
// Bits set where data[j] == first and data[j + 1] == second, j in [i, i + 16).
inline unsigned MarkerMask(const std::uint8_t* data, std::size_t i, __m128i first, __m128i second) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
}
#endif

std::size_t FindBaseline(const std::uint8_t* data, std::size_t from, std::size_t end,
                         Marker marker) {
#ifdef VAGLIANTE_MARKER_SSE2
    const __m128i first = _mm_set1_epi8(static_cast<char>(marker.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(marker.second));
    for (; from + 16 <= end; from += 16) {
        if (unsigned mask = MarkerMask(data, from, first, second))
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
#endif
    for (; from < end; ++from)
        if (IsMarkerAt(data, from, marker)) return from;
    return end;
}

std::int64_t CountBaseline(const std::uint8_t* data, std::size_t from, std::size_t end,
                           Marker marker) {
    std::int64_t count = 0;
#ifdef VAGLIANTE_MARKER_SSE2
    const __m128i first = _mm_set1_epi8(static_cast<char>(marker.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(marker.second));
    for (; from + 16 <= end; from += 16) {
        // Markers are rare: clearing bits one by one beats a popcount that
        // the baseline instruction set lacks.
        for (unsigned mask = MarkerMask(data, from, first, second); mask != 0; mask &= mask - 1)
            ++count;
    }
#endif
    for (; from < end; ++from) count += IsMarkerAt(data, from, marker);
    return count;
}

using FindPath = std::size_t (*)(const std::uint8_t*, std::size_t, std::size_t, Marker);
using CountPath = std::int64_t (*)(const std::uint8_t*, std::size_t, std::size_t, Marker);

#ifdef VAGLIANTE_MARKER_AVX2
__attribute__((target("avx2"))) inline unsigned MarkerMask32(const std::uint8_t* data,
                                                             std::size_t i, __m256i first,
                                                             __m256i second) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 1));
    return static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second))));
}

__attribute__((target("avx2"))) std::size_t FindAvx2(const std::uint8_t* data, std::size_t from,
                                                     std::size_t end, Marker marker) {
    const __m256i first = _mm256_set1_epi8(static_cast<char>(marker.first));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(marker.second));
    for (; from + 32 <= end; from += 32) {
        if (unsigned mask = MarkerMask32(data, from, first, second))
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return FindBaseline(data, from, end, marker);
}

__attribute__((target("avx2,popcnt"))) std::int64_t CountAvx2(const std::uint8_t* data,
                                                              std::size_t from, std::size_t end,
                                                              Marker marker) {
    const __m256i first = _mm256_set1_epi8(static_cast<char>(marker.first));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(marker.second));
    std::int64_t count = 0;
    for (; from + 32 <= end; from += 32)
        count += __builtin_popcount(MarkerMask32(data, from, first, second));
    return count + CountBaseline(data, from, end, marker);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
const bool kAvx2 = HasAvx2();
const FindPath kFind = kAvx2 ? FindAvx2 : FindBaseline;
const CountPath kCount = kAvx2 ? CountAvx2 : CountBaseline;
#else
const FindPath kFind = FindBaseline;
const CountPath kCount = CountBaseline;
#endif

}  // namespace

Marker ParseMarker(std::string_view text) {
    if (text.size() != 4 ||
        std::any_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) < 0; }))
        throw RunError(ErrorNumber::InvalidArgument, std::string(text));
    return {static_cast<std::uint8_t>(HexDigitValue(text[0]) * 16 + HexDigitValue(text[1])),
            static_cast<std::uint8_t>(HexDigitValue(text[2]) * 16 + HexDigitValue(text[3]))};
}

namespace detail {

std::size_t FindMarker(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker) {
    return kFind(data, from, end, marker);
}

std::int64_t CountMarkers(const std::uint8_t* data, std::size_t end, Marker marker) {
    return kCount(data, 0, end, marker);
}

}  // namespace detail
}  // namespace vagliante
