#include "filter/scan_log.h"

#include <algorithm>
#include <optional>

#include "filter/byte_to_hex.h"
#include "filter/record_cutter.h"

namespace vagliante {
namespace {

// Writes each record as one line of hexadecimal text; the open record at
// the end is cut off again.
class WorkLines {
  public:
    explicit WorkLines(OutputFile& out) : out_(out) {}

    void Start() { lineStart_ = out_.Position(); }
    void Bytes(const std::uint8_t* bytes, std::size_t size) {
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
    void Drop() { out_.TruncateTo(lineStart_); }

    std::int64_t RecordCount() const { return recordCount_; }

  private:
    OutputFile& out_;
    std::int64_t lineStart_ = 0;
    std::int64_t recordCount_ = 0;
};

// The scan into `out`; `finish` completes the output once the log is
// closed (Windows does not replace a file that is still open), before the
// bar's last position.
template <typename Finish>
std::int64_t Scan(const std::string& sourcePath, std::string_view marker, OutputFile& out,
                  Progress& progress, Finish finish) {
    const Marker bytes = ParseMarker(marker);
    std::optional<InputFile> log(std::in_place, sourcePath);
    const std::int64_t length = log->Length();
    ProgressTracker tracker(progress, length);
    WorkLines lines(out);
    RecordCutter cutter(bytes, length, lines);
    ReadLogBlocks(*log, length,
                  [&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
                      cutter.Feed(data, start, count);
                      tracker.At(start + static_cast<std::int64_t>(count) + 1);
                  });
    cutter.End();
    log.reset();
    finish();
    tracker.Finish();
    return lines.RecordCount();
}

}  // namespace

std::int64_t ScanLog(const std::string& sourcePath, std::string_view marker, WorkFile& work,
                     Progress& progress) {
    return Scan(sourcePath, marker, work.Writer(), progress, [&] { work.CloseWriter(); });
}

std::int64_t ListRecords(const std::string& sourcePath, std::string_view marker,
                         const std::string& destination, Progress& progress) {
    progress.SetValue(kProgressEmpty);
    AtomicOutput listing(destination);
    return Scan(sourcePath, marker, listing.Stream(), progress, [&] { listing.Commit(); });
}

}  // namespace vagliante
