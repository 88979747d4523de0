// Every search for markers this processor runs, against the plain loop: on
// every alignment, across the 16- and 32-byte steps of the wide loads, and
// with a list that fills up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/markers.h"

namespace vagliante {
namespace {

constexpr Marker kMarker{0x82, 0x00};

std::vector<std::size_t> Plain(const std::vector<std::uint8_t>& data, std::size_t from,
                               std::size_t end) {
    std::vector<std::size_t> found;
    for (std::size_t j = from; j < end; ++j)
        if (data[j] == 0x82 && data[j + 1] == 0x00) found.push_back(j);
    return found;
}

// Every way to search [from, end) of `data`, each against the plain loop.
void ExpectLikePlain(const MarkerSearch& search, const std::vector<std::uint8_t>& data,
                     std::size_t from, std::size_t end) {
    SCOPED_TRACE("from " + std::to_string(from) + " to " + std::to_string(end));
    const std::vector<std::size_t> want = Plain(data, from, end);
    EXPECT_EQ(search.find(data.data(), from, end, kMarker), want.empty() ? end : want.front());
    if (from == 0) {
        EXPECT_EQ(search.count(data.data(), end, kMarker), static_cast<std::int64_t>(want.size()));
    }
    // A list with the least room, taken up again where it stopped.
    std::vector<std::size_t> listed;
    std::uint32_t at[kLeastListRoom];
    for (std::size_t next = from; next < end;) {
        const std::size_t n =
            search.list(data.data(), next, end, kMarker, at, kLeastListRoom, next);
        ASSERT_TRUE(n > 0 || next > from || end == from) << "no progress";
        listed.insert(listed.end(), at, at + n);
    }
    EXPECT_EQ(listed, want);
}

TEST(MarkerSearchTest, EveryImplementationFindsWhatThePlainLoopFinds) {
    const std::vector<MarkerSearch> searches = MarkerSearches();
    ASSERT_FALSE(searches.empty());
    EXPECT_STREQ(searches.front().name, "portable");
    for (const MarkerSearch& search : searches) {
        SCOPED_TRACE(search.name);
        // One marker at every position, and its first byte alone: across
        // every step of 16 and 32 bytes, at the start and at the end.
        for (std::size_t p = 0; p < 100; ++p) {
            SCOPED_TRACE("marker at " + std::to_string(p));
            std::vector<std::uint8_t> data(130, 0x11);
            data[p] = 0x82;
            data[p + 1] = 0x00;
            for (std::size_t end : {p, p + 1, p + 2, std::size_t{31}, std::size_t{32},
                                    std::size_t{33}, std::size_t{64}, std::size_t{128}})
                for (std::size_t from : {std::size_t{0}, std::size_t{1}, p, p + 1})
                    if (from <= end) ExpectLikePlain(search, data, from, end);
            data[p + 1] = 0x11;  // 82 without 00
            ExpectLikePlain(search, data, 0, 128);
        }
        // Markers back to back, overlapping bytes (82 82 00) and a dense run
        // that fills the list many times over.
        std::vector<std::uint8_t> dense;
        for (int i = 0; i < 300; ++i) {
            dense.insert(dense.end(), {0x82, 0x00});
            if (i % 3 == 0) dense.insert(dense.end(), {0x82, 0x82, 0x00, 0x00});
        }
        dense.push_back(0x82);
        for (std::size_t from = 0; from < 40; ++from)
            ExpectLikePlain(search, dense, from, dense.size() - 1 - from % 33);
    }
}

}  // namespace
}  // namespace vagliante
