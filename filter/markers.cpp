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

// The wide loops, written once for every width. A width W, made from the
// marker, gives kWidth, the bytes of one step, and Mask(data, i): bit k set
// where the marker starts at i + k. The loops are inlined into functions
// built for W's instruction set.
template <typename W>
[[gnu::always_inline]] inline std::size_t FindWide(const std::uint8_t* data, std::size_t from,
                                                    std::size_t end, Marker marker) {
    const W wide(marker);
    for (; from + W::kWidth <= end; from += W::kWidth) {
        if (unsigned mask = wide.Mask(data, from))
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return FindPortable(data, from, end, marker);
}

template <typename W>
[[gnu::always_inline]] inline std::size_t ListWide(const std::uint8_t* data, std::size_t from,
                                                    std::size_t end, Marker marker,
                                                    std::uint32_t* at, std::size_t room,
                                                    std::size_t& reached) {
    const W wide(marker);
    std::size_t n = 0;
    for (; from + W::kWidth <= end; from += W::kWidth) {
        if (room - n < W::kWidth) {  // a whole step's markers might not fit
            reached = from;
            return n;
        }
        n += ListBits(wide.Mask(data, from), from, at + n);
    }
    return n + ListPortable(data, from, end, marker, at + n, room - n, reached);
}

// Two steps at a time, their masks counted together by W::Bits.
template <typename W>
[[gnu::always_inline]] inline std::int64_t CountWide(const std::uint8_t* data, std::size_t end,
                                                      Marker marker) {
    const W wide(marker);
    std::int64_t count = 0;
    std::size_t j = 0;
    for (; j + 2 * W::kWidth <= end; j += 2 * W::kWidth) {
        const std::uint64_t low = wide.Mask(data, j);
        const std::uint64_t high = wide.Mask(data, j + W::kWidth);
        count += W::Bits(low | high << W::kWidth);
    }
    if (j + W::kWidth <= end) {
        count += W::Bits(wide.Mask(data, j));
        j += W::kWidth;
    }
    for (; j < end; ++j) count += IsMarkerAt(data, j, marker);
    return count;
}

#ifdef VAGLIANTE_MARKER_SSE2
class Sse2 {
  public:
    static constexpr std::size_t kWidth = 16;
    explicit Sse2(Marker marker)
        : first_(_mm_set1_epi8(static_cast<char>(marker.first))),
          second_(_mm_set1_epi8(static_cast<char>(marker.second))) {}
    unsigned Mask(const std::uint8_t* data, std::size_t i) const {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        return static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, first_), _mm_cmpeq_epi8(b, second_))));
    }
    // Markers are rare: clearing bits one by one beats a popcount that the
    // baseline instruction set lacks.
    static int Bits(std::uint64_t mask) {
        int count = 0;
        for (; mask != 0; mask &= mask - 1) ++count;
        return count;
    }

  private:
    __m128i first_, second_;
};

std::size_t FindSse2(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker) {
    return FindWide<Sse2>(data, from, end, marker);
}

std::int64_t CountSse2(const std::uint8_t* data, std::size_t end, Marker marker) {
    return CountWide<Sse2>(data, end, marker);
}

std::size_t ListSse2(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                     std::uint32_t* at, std::size_t room, std::size_t& reached) {
    return ListWide<Sse2>(data, from, end, marker, at, room, reached);
}
#endif

#ifdef VAGLIANTE_MARKER_AVX2
class Avx2 {
  public:
    static constexpr std::size_t kWidth = 32;
    __attribute__((target("avx2"))) explicit Avx2(Marker marker)
        : first_(_mm256_set1_epi8(static_cast<char>(marker.first))),
          second_(_mm256_set1_epi8(static_cast<char>(marker.second))) {}
    __attribute__((target("avx2"))) unsigned Mask(const std::uint8_t* data, std::size_t i) const {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 1));
        return static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, first_), _mm256_cmpeq_epi8(b, second_))));
    }
    __attribute__((target("popcnt"))) static int Bits(std::uint64_t mask) {
        return __builtin_popcountll(mask);
    }

  private:
    __m256i first_, second_;
};

__attribute__((target("avx2"))) std::size_t FindAvx2(const std::uint8_t* data, std::size_t from,
                                                     std::size_t end, Marker marker) {
    return FindWide<Avx2>(data, from, end, marker);
}

__attribute__((target("avx2,popcnt"))) std::int64_t CountAvx2(const std::uint8_t* data,
                                                              std::size_t end, Marker marker) {
    return CountWide<Avx2>(data, end, marker);
}

__attribute__((target("avx2"))) std::size_t ListAvx2(const std::uint8_t* data, std::size_t from,
                                                     std::size_t end, Marker marker,
                                                     std::uint32_t* at, std::size_t room,
                                                     std::size_t& reached) {
    return ListWide<Avx2>(data, from, end, marker, at, room, reached);
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
#endif

const MarkerSearch kSearch = MarkerSearches().back();

}  // namespace

Marker ParseMarker(std::string_view text) {
    if (text.size() != 4 ||
        std::any_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) < 0; }))
        throw RunError(ErrorNumber::InvalidArgument, std::string(text));
    return {static_cast<std::uint8_t>(HexDigitValue(text[0]) * 16 + HexDigitValue(text[1])),
            static_cast<std::uint8_t>(HexDigitValue(text[2]) * 16 + HexDigitValue(text[3]))};
}

std::vector<MarkerSearch> MarkerSearches() {
    std::vector<MarkerSearch> searches{{"portable", FindPortable, CountPortable, ListPortable}};
#ifdef VAGLIANTE_MARKER_SSE2
    searches.push_back({"sse2", FindSse2, CountSse2, ListSse2});
#endif
#ifdef VAGLIANTE_MARKER_AVX2
    if (HasAvx2()) searches.push_back({"avx2", FindAvx2, CountAvx2, ListAvx2});
#endif
    return searches;
}

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
