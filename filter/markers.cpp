#include "filter/markers.h"

#include <string>

#include "filter/byte_to_hex.h"
#include "platform/run_error.h"

#if defined(__SSE2__) || defined(_M_X64)
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

std::size_t FindPortable(const std::uint8_t* data, std::size_t from, std::size_t end,
                         Marker marker) {
    for (; from < end; ++from)
        if (IsMarkerAt(data, from, marker)) return from;
    return end;
}

std::int64_t CountPortable(const std::uint8_t* data, std::size_t end, Marker marker) {
    std::int64_t count = 0;
    for (std::size_t j = 0; j < end; ++j) count += IsMarkerAt(data, j, marker);
    return count;
}

std::size_t ListPortable(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                         std::uint32_t* at, std::size_t room, std::size_t& reached) {
    std::size_t n = 0;
    for (; from < end && n < room; ++from)
        if (IsMarkerAt(data, from, marker)) at[n++] = static_cast<std::uint32_t>(from);
    reached = from;
    return n;
}

// The positions of the bits of `mask` from `base` on, into at[].
inline std::size_t ListBits(unsigned mask, std::size_t base, std::uint32_t* at) {
    std::size_t n = 0;
    for (; mask != 0; mask &= mask - 1)
        at[n++] = static_cast<std::uint32_t>(base + static_cast<std::size_t>(__builtin_ctz(mask)));
    return n;
}

#ifdef VAGLIANTE_MARKER_SSE2
// Bits set where data[j] == first and data[j + 1] == second, j in [i, i + 16).
inline unsigned MarkerMask(const std::uint8_t* data, std::size_t i, __m128i first, __m128i second) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
}

std::size_t FindSse2(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(marker.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(marker.second));
    for (; from + 16 <= end; from += 16) {
        if (unsigned mask = MarkerMask(data, from, first, second))
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return FindPortable(data, from, end, marker);
}

std::int64_t CountSse2(const std::uint8_t* data, std::size_t end, Marker marker) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(marker.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(marker.second));
    std::int64_t count = 0;
    std::size_t j = 0;
    for (; j + 16 <= end; j += 16) {
        // Markers are rare: clearing bits one by one beats a popcount that
        // the baseline instruction set lacks.
        for (unsigned mask = MarkerMask(data, j, first, second); mask != 0; mask &= mask - 1)
            ++count;
    }
    for (; j < end; ++j) count += IsMarkerAt(data, j, marker);
    return count;
}

std::size_t ListSse2(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                     std::uint32_t* at, std::size_t room, std::size_t& reached) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(marker.first));
    const __m128i second = _mm_set1_epi8(static_cast<char>(marker.second));
    std::size_t n = 0;
    for (; from + 16 <= end; from += 16) {
        if (room - n < 16) {  // a whole step's markers might not fit
            reached = from;
            return n;
        }
        n += ListBits(MarkerMask(data, from, first, second), from, at + n);
    }
    return n + ListPortable(data, from, end, marker, at + n, room - n, reached);
}
#endif

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
    return FindPortable(data, from, end, marker);
}

// 64 bytes a step, the two masks counted together.
__attribute__((target("avx2,popcnt"))) std::int64_t CountAvx2(const std::uint8_t* data,
                                                              std::size_t end, Marker marker) {
    const __m256i first = _mm256_set1_epi8(static_cast<char>(marker.first));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(marker.second));
    std::int64_t count = 0;
    std::size_t j = 0;
    for (; j + 64 <= end; j += 64) {
        const std::uint64_t low = MarkerMask32(data, j, first, second);
        const std::uint64_t high = MarkerMask32(data, j + 32, first, second);
        count += __builtin_popcountll(low | high << 32);
    }
    if (j + 32 <= end) {
        count += __builtin_popcount(MarkerMask32(data, j, first, second));
        j += 32;
    }
    for (; j < end; ++j) count += IsMarkerAt(data, j, marker);
    return count;
}

__attribute__((target("avx2"))) std::size_t ListAvx2(const std::uint8_t* data, std::size_t from,
                                                     std::size_t end, Marker marker,
                                                     std::uint32_t* at, std::size_t room,
                                                     std::size_t& reached) {
    const __m256i first = _mm256_set1_epi8(static_cast<char>(marker.first));
    const __m256i second = _mm256_set1_epi8(static_cast<char>(marker.second));
    std::size_t n = 0;
    for (; from + 32 <= end; from += 32) {
        if (room - n < 32) {  // a whole step's markers might not fit
            reached = from;
            return n;
        }
        n += ListBits(MarkerMask32(data, from, first, second), from, at + n);
    }
    return n + ListPortable(data, from, end, marker, at + n, room - n, reached);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
#endif

std::vector<MarkerSearch> Searches() {
    std::vector<MarkerSearch> searches{{"portable", FindPortable, CountPortable, ListPortable}};
#ifdef VAGLIANTE_MARKER_SSE2
    searches.push_back({"sse2", FindSse2, CountSse2, ListSse2});
#endif
#ifdef VAGLIANTE_MARKER_AVX2
    if (HasAvx2()) searches.push_back({"avx2", FindAvx2, CountAvx2, ListAvx2});
#endif
    return searches;
}

const MarkerSearch kSearch = Searches().back();

}  // namespace

Marker ParseMarker(std::string_view text) {
    if (text.size() != 4 ||
        std::any_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) < 0; }))
        throw RunError(ErrorNumber::InvalidArgument, std::string(text));
    return {static_cast<std::uint8_t>(HexDigitValue(text[0]) * 16 + HexDigitValue(text[1])),
            static_cast<std::uint8_t>(HexDigitValue(text[2]) * 16 + HexDigitValue(text[3]))};
}

std::vector<MarkerSearch> MarkerSearches() { return Searches(); }

std::size_t FindMarker(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker) {
    return kSearch.find(data, from, end, marker);
}

std::int64_t CountMarkers(const std::uint8_t* data, std::size_t end, Marker marker) {
    return kSearch.count(data, end, marker);
}

std::size_t ListMarkers(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                        std::uint32_t* at, std::size_t room, std::size_t& reached) {
    return kSearch.list(data, from, end, marker, at, room, reached);
}

}  // namespace vagliante
