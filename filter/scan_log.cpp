#include "filter/scan_log.h"

#include <algorithm>
#include <optional>

#include "filter/byte_to_hex.h"
#include "filter/record_count.h"
#include "filter/record_cutter.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Writes each record as one line of hexadecimal text. When the number of
// records that a later marker closes is known, only those are written;
// otherwise the open record at the end is written too and cut off again.
class WorkLines {
  public:
    // `closed`: that number, or -1 when not known.
    WorkLines(OutputFile& out, std::int64_t closed) : out_(out), closed_(closed) {}

    void Start() {
        writing_ = closed_ < 0 || recordCount_ < closed_;
        lineStart_ = out_.Position();
    }
    void Bytes(const std::uint8_t* bytes, std::size_t size) {
        if (!writing_) return;
        constexpr std::size_t kSlice = kIoBlock / 2;
        while (size > 0) {
            std::size_t n = std::min(size, kSlice);
            HexEncode(bytes, n, out_.Reserve(2 * n));
            out_.Commit(2 * n);
            bytes += n;
            size -= n;
        }
    }
    void Close() {
        out_.Write("\r\n", 2);
        ++recordCount_;
    }
    void Drop() {
        if (writing_) out_.TruncateTo(lineStart_);
    }

    std::int64_t RecordCount() const { return recordCount_; }

  private:
    OutputFile& out_;
    std::int64_t closed_;
    bool writing_ = false;
    std::int64_t lineStart_ = 0;
    std::int64_t recordCount_ = 0;
};

}  // namespace

std::int64_t ScanLog(const std::string& sourcePath, std::string_view marker, WorkFile& work,
                     Progress& progress) {
    const Marker bytes = ParseMarker(marker);
    std::int64_t recordCount = 0;
    {
        InputFile log(sourcePath);
        const std::int64_t length = log.Length();
        ProgressTracker tracker(progress, length);
        WorkLines lines(work.Writer(), -1);
        RecordCutter cutter(bytes, length, lines);
        ReadLogBlocks(log, length,
                      [&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
                          cutter.Feed(data, start, count);
                          tracker.At(start + static_cast<std::int64_t>(count) + 1);
                      });
        cutter.End();
        work.CloseWriter();
        tracker.Finish();
        recordCount = lines.RecordCount();
    }
    return recordCount;
}

// The records are counted first, so that the listing can go to a pipe or a
// device, which cannot take back the open record at the end. The two reads
// move the bar as one.
std::int64_t ListRecords(const std::string& sourcePath, std::string_view marker,
                         const std::string& destination, Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        const Marker bytes = ParseMarker(marker);
        std::optional<InputFile> log(std::in_place, sourcePath);
        log->RefuseAsOutput(destination);
        AtomicOutput listing(destination);
        const std::int64_t length = log->Length();
        ProgressTracker tracker(progress, length);

        const std::int64_t records = CountRecords(
            *log, length, bytes, [&](std::int64_t counted) { tracker.At(counted / 2 + 1); });
        log->Rewind();
        WorkLines lines(listing.Stream(), records);
        RecordCutter cutter(bytes, length, lines);
        ReadLogBlocks(*log, length,
                      [&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
                          cutter.Feed(data, start, count);
                          tracker.At((length + start + static_cast<std::int64_t>(count)) / 2 + 1);
                      });
        cutter.End();
        // Closed before the listing may take a name: Windows does not
        // replace a file that is still open.
        log.reset();
        listing.Commit(&tracker);
        tracker.Finish();
        return lines.RecordCount();
    });
}

}  // namespace vagliante
