// RecordCutter: cuts a binary command log into records at a two-byte marker.
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

#include "platform/input_file.h"

namespace vagliante {

inline constexpr std::string_view kActivationMarker = "8200";
inline constexpr std::string_view kUpdateMarker = "8400";

struct Marker {
    std::uint8_t first;
    std::uint8_t second;
};

// Four hexadecimal digits such as "8200"; anything else is InvalidArgument.
Marker ParseMarker(std::string_view text);

namespace detail {

// The first j in [from, end) where the marker starts, else `end` (also when
// from >= end). data[end] must be readable: a marker's second byte may lie
// there.
std::size_t FindMarker(const std::uint8_t* data, std::size_t from, std::size_t end, Marker marker);

// How many j in [0, end) start the marker; data[end] must be readable.
std::int64_t CountMarkers(const std::uint8_t* data, std::size_t end, Marker marker);

// How many of the `count` bytes from absolute index `start` may begin a
// marker in a log of `length` bytes: those at 0-based index <= length - 4.
inline std::size_t CandidateEnd(std::int64_t length, std::int64_t start, std::size_t count) {
    const std::int64_t limit =
        std::min<std::int64_t>(static_cast<std::int64_t>(count), length - 3 - start);
    return limit > 0 ? static_cast<std::size_t>(limit) : 0;
}

}  // namespace detail

// The one reader of a log's bytes: the first `length` bytes of `log`, block
// by block (FileBlocks), into reader.Feed(data, start, count) for absolute
// bytes [start, start + count); then step(start + count). data[count] is
// readable except in the last block, so that a marker split across two
// blocks is still seen whole. A block mapped into memory is read under
// os::RunGuarded: wherever Feed (and what it calls) reads `data`, no lock
// and no object with a destructor may be live, as the read may be abandoned
// where it stands. A log cut shorter than `length` meanwhile is an error.
template <typename Reader, typename Step>
void ReadLogBlocks(const InputFile& log, std::int64_t length, Reader& reader, Step&& step) {
    FileBlocks blocks(log, length);
    while (blocks.Next([&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
        reader.Feed(data, start, count);
    }))
        step(blocks.Reached());
}

// The number of records in a log of `length` bytes: every recognised marker
// but the first closes one. Fed by ReadLogBlocks.
class RecordCounter {
  public:
    RecordCounter(Marker marker, std::int64_t length) : marker_(marker), length_(length) {}

    void Feed(const std::uint8_t* data, std::int64_t start, std::size_t count) {
        markers_ +=
            detail::CountMarkers(data, detail::CandidateEnd(length_, start, count), marker_);
    }
    std::int64_t RecordCount() const { return markers_ > 0 ? markers_ - 1 : 0; }

  private:
    Marker marker_;
    std::int64_t length_;
    std::int64_t markers_ = 0;
};

// Walks the records of a log, telling `sink`:
//   sink.Start()                  a marker begins a new record;
//   sink.Bytes(data, n)           the next n bytes of the current record;
//   sink.Close()                  the current record ends at a following marker;
//   sink.Drop()                   (from End) the open record has no marker after it.
template <typename Sink>
class RecordCutter {
  public:
    RecordCutter(Marker marker, std::int64_t length, Sink& sink)
        : marker_(marker), length_(length), sink_(sink) {}

    // Fed by ReadLogBlocks.
    void Feed(const std::uint8_t* data, std::int64_t start, std::size_t count) {
        const std::size_t end = detail::CandidateEnd(length_, start, count);
        std::size_t i = 0;
        while (i < count) {
            // No marker among the candidates: the rest of the block, whole.
            std::size_t marker = detail::FindMarker(data, i, end, marker_);
            if (marker >= end) marker = count;
            if (inRecord_ && marker > i) sink_.Bytes(data + i, marker - i);
            if (marker == count) return;
            if (inRecord_) sink_.Close();
            inRecord_ = true;
            sink_.Start();
            sink_.Bytes(data + marker, 1);
            i = marker + 1;
        }
    }

    void End() {
        if (inRecord_) sink_.Drop();
        inRecord_ = false;
    }

  private:
    Marker marker_;
    std::int64_t length_;
    Sink& sink_;
    bool inRecord_ = false;
};

}  // namespace vagliante
