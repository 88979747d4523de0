#include "filter/scan_log.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "filter/byte_to_hex.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

class Scanner {
  public:
    Scanner(std::uint8_t first, std::uint8_t second, std::int64_t length, OutputFile& out)
        : first_(first),
          second_(second),
          // 0-based index of the last byte at which a marker may start.
          lastMarkerStart_(length - 4),
          out_(out) {}

    // Bytes at absolute indices [start, start + count); data[count] exists
    // whenever a marker may start at start + count - 1.
    void Feed(const std::uint8_t* data, std::int64_t start, std::size_t count) {
        std::size_t i = 0;
        while (i < count) {
            std::size_t marker = FindMarker(data, start, i, count);
            if (inRecord_) Encode(data + i, marker - i);
            if (marker == count) return;
            if (inRecord_) {
                out_.Write("\r\n", 2);
                ++recordCount_;
            }
            inRecord_ = true;
            lineStart_ = out_.Position();
            Encode(data + marker, 1);
            i = marker + 1;
        }
    }

    // Drops the record still open: it has no marker after it.
    void End() {
        if (inRecord_) out_.TruncateTo(lineStart_);
        inRecord_ = false;
    }

    std::int64_t RecordCount() const { return recordCount_; }

  private:
    // The first marker at a relative index in [from, count), else count.
    std::size_t FindMarker(const std::uint8_t* data, std::int64_t start, std::size_t from,
                           std::size_t count) const {
        std::int64_t limit =
            std::min<std::int64_t>(static_cast<std::int64_t>(count), lastMarkerStart_ - start + 1);
        std::size_t end = limit > 0 ? static_cast<std::size_t>(limit) : 0;
        while (from < end) {
            const void* hit = std::memchr(data + from, first_, end - from);
            if (!hit) break;
            auto j = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
            if (data[j + 1] == second_) return j;
            from = j + 1;
        }
        return count;
    }

    void Encode(const std::uint8_t* bytes, std::size_t size) {
        constexpr std::size_t kSlice = kIoBlock / 2;
        while (size > 0) {
            std::size_t n = std::min(size, kSlice);
            HexEncode(bytes, n, out_.Reserve(2 * n));
            out_.Commit(2 * n);
            bytes += n;
            size -= n;
        }
    }

    std::uint8_t first_;
    std::uint8_t second_;
    std::int64_t lastMarkerStart_;
    OutputFile& out_;
    bool inRecord_ = false;
    std::int64_t lineStart_ = 0;
    std::int64_t recordCount_ = 0;
};

}  // namespace

std::int64_t ScanLog(const std::string& sourcePath, std::string_view marker, WorkFile& work,
                     Progress& progress) {
    if (marker.size() != 4 ||
        std::any_of(marker.begin(), marker.end(), [](char c) { return HexValue(c) < 0; }))
        throw RunError(ErrorNumber::InvalidArgument, std::string(marker));
    auto first = static_cast<std::uint8_t>(HexValue(marker[0]) * 16 + HexValue(marker[1]));
    auto second = static_cast<std::uint8_t>(HexValue(marker[2]) * 16 + HexValue(marker[3]));

    InputFile log(sourcePath);
    const std::int64_t length = log.Length();
    ProgressTracker tracker(progress, length);
    Scanner scanner(first, second, length, work.Writer());

    // One byte is held back from each block, so that a marker split across
    // two blocks is still seen whole.
    // Not zeroed: a small log touches only the pages it fills.
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kIoBlock + 1]);
    std::uint8_t* buffer = block.get();
    std::size_t held = 0;
    std::int64_t start = 0;
    for (;;) {
        std::size_t n = log.Read(buffer + held, kIoBlock);
        std::size_t have = held + n;
        bool atEnd = n < kIoBlock;
        std::size_t ready = atEnd ? have : have - 1;
        scanner.Feed(buffer, start, ready);
        start += static_cast<std::int64_t>(ready);
        tracker.At(start + 1);
        if (atEnd) break;
        buffer[0] = buffer[ready];
        held = 1;
    }
    scanner.End();
    work.CloseWriter();
    tracker.Finish();
    return scanner.RecordCount();
}

}  // namespace vagliante
