#include "filter/scan_log.h"

#include <algorithm>
#include <optional>

#include "filter/byte_to_hex.h"
#include "filter/record_count.h"
#include "filter/record_cutter.h"
#include "platform/input_file.h"
#include "platform/output_set.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Writes each of the first `records` records (those that a later marker
// closes, counted before) as one line of hexadecimal text: the open record
// at the end never reaches the listing, which may be a pipe. Bytes reads the
// log's block with no lock held (ReadLogBlocks): the room in the output is
// reserved before the block is read.
class RecordLines {
  public:
    RecordLines(OutputFile& out, std::int64_t records) : out_(out), records_(records) {}

    void Start() { writing_ = written_ < records_; }
    void Bytes(const std::uint8_t* bytes, std::size_t size) {
        if (!writing_) return;
        constexpr std::size_t kSlice = kIoBlock / 2;
        while (size > 0) {
            const std::size_t n = std::min(size, kSlice);
            HexEncode(bytes, n, out_.Reserve(2 * n));
            out_.Commit(2 * n);
            bytes += n;
            size -= n;
        }
    }
    void Close() {
        if (!writing_) return;
        out_.Write("\r\n", 2);
        ++written_;
    }
    void Drop() {}

    std::int64_t Written() const { return written_; }

  private:
    OutputFile& out_;
    std::int64_t records_;
    bool writing_ = false;
    std::int64_t written_ = 0;
};

}  // namespace

// The records are counted first, so that the listing can go to a pipe or a
// device, which cannot take back the open record at the end. The two reads
// move the bar as one.
std::int64_t ScanLog(const std::string& source, std::string_view marker,
                     const std::string& destination, Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        const Marker bytes = ParseMarker(marker);
        std::optional<InputFile> log(std::in_place, source);
        log->RefuseAsOutput(destination);
        AtomicOutput listing(destination);
        const std::int64_t length = log->Length();
        ProgressTracker tracker(progress, length);

        const std::int64_t records = CountRecords(
            *log, length, bytes, [&](std::int64_t counted) { tracker.At(counted / 2 + 1); });
        RecordLines lines(listing.Stream(), records);
        RecordCutter cutter(bytes, length, lines);
        ReadLogBlocks(*log, length, cutter,
                      [&](std::int64_t read) { tracker.At((length + read) / 2 + 1); });
        cutter.End();
        // Closed before the listing may take a name: Windows does not
        // replace a file that is still open.
        log.reset();
        listing.Commit(&tracker);
        tracker.Finish();
        return lines.Written();
    });
}

}  // namespace vagliante
