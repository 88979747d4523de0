// Markers: the two bytes that start every record of a log, and the search
// for them.
//
// A record runs from one recognised marker up to the byte before the next.
// Bytes before the first marker belong to no record; the record still open at
// the end of the log has no marker after it and is dropped. A marker is
// recognised only where it starts at a 1-based position p <= L - 3. The
// marker of the other kind does not end a record.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vagliante {

inline constexpr std::string_view kActivationMarker = "8200";
inline constexpr std::string_view kUpdateMarker = "8400";

struct Marker {
    std::uint8_t first;
    std::uint8_t second;
};

// Four hexadecimal digits such as "8200"; anything else is InvalidArgument.
Marker ParseMarker(std::string_view text);

// One implementation of the search, for one instruction set. In both calls
// data[end] must be readable: a marker's second byte may lie there.
struct MarkerSearch {
    const char* name;
    // The first j in [from, end) where the marker starts, else `end` (also
    // when from >= end).
    std::size_t (*find)(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker);
    // How many j in [0, end) start the marker.
    std::int64_t (*count)(const std::uint8_t* data, std::size_t end, Marker marker);
    // The j in [from, end) where the marker starts, in order, into at[]:
    // at most `room` of them (at least kLeastListRoom). Returns how many;
    // `reached` is where the search stopped: `end`, or earlier when what
    // follows might not have fitted.
    std::size_t (*list)(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                        std::uint32_t* at, std::size_t room, std::size_t& reached);
};
inline constexpr std::size_t kLeastListRoom = 64;

// Every implementation this processor runs: the portable loop first, the
// one in use (the widest) last.
std::vector<MarkerSearch> MarkerSearches();

// The search with the one in use.
std::size_t FindMarker(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker);
std::int64_t CountMarkers(const std::uint8_t* data, std::size_t end, Marker marker);
std::size_t ListMarkers(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker,
                        std::uint32_t* at, std::size_t room, std::size_t& reached);

// Of the `count` bytes from absolute index `start` of a log of `length`
// bytes, how many may begin a marker: those at 0-based index <= length - 4.
inline std::size_t CandidateEnd(std::int64_t length, std::int64_t start, std::size_t count) {
    const std::int64_t limit =
        std::min<std::int64_t>(static_cast<std::int64_t>(count), length - 3 - start);
    return limit > 0 ? static_cast<std::size_t>(limit) : 0;
}

}  // namespace vagliante
