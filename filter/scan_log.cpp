#include "filter/scan_log.h"

#include <optional>
#include <vector>

#include "filter/byte_to_hex.h"
#include "filter/stretches.h"
#include "platform/input_file.h"
#include "platform/output_set.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Writes the part of the listing that stretch k holds: the hexadecimal text
// of each of its bytes that belongs to a record a later marker closes, and
// the line end in front of each marker that closes one. A record that runs
// across stretches is written in parts, each by the worker of its stretch;
// which parts are written follows from the markers counted before (record
// g starts at marker g and is closed when g is not the last marker).
void ListStretch(const LogStretches& log, StretchWorker& worker, std::int64_t k,
                 StretchText& text) {
    const std::int64_t length = log.Length(), start = log.Start(k), end = log.End(k);
    const std::size_t stretch = static_cast<std::size_t>(end - start);
    const std::int64_t closed = log.Markers() - 1;  // records that a marker closes
    // The record that the stretch's first bytes belong to (-1: none).
    std::int64_t record = log.MarkersBefore(k) - 1;
    // Every byte may give two digits, and every marker a line end.
    char* out = text.Reserve(3 * stretch);
    char* const first = out;
    // And the byte after, for a marker across the stretch's end.
    worker.View().Read(start, stretch + (end < length ? 1 : 0), [&](const std::uint8_t* data) {
        const std::size_t candidates = CandidateEnd(length, start, stretch);
        // Writes the bytes [from, to) if their record is one a marker closes.
        auto part = [&](std::size_t from, std::size_t to) {
            if (record < 0 || record >= closed) return;
            HexEncode(data + from, to - from, out);
            out += 2 * (to - from);
        };
        std::uint32_t at[kMarkerList];
        std::size_t from = 0;  // where the part of the current record starts
        for (std::size_t search = 0; search < candidates;) {
            const std::size_t n =
                ListMarkers(data, search, candidates, log.Searched(), at, kMarkerList, search);
            for (std::size_t i = 0; i < n; ++i) {
                part(from, at[i]);
                // The marker closes the record before it.
                if (record >= 0) {
                    *out++ = '\r';
                    *out++ = '\n';
                }
                ++record;
                from = at[i];
            }
        }
        part(from, stretch);
    });
    text.Commit(static_cast<std::size_t>(out - first));
}

}  // namespace

// The records are counted first, so that the listing can go to a pipe or a
// device, which cannot take back the open record at the end.
std::int64_t ScanLogWith(const std::string& source, std::string_view marker,
                         const std::string& destination, Progress& progress,
                         const ScanOptions& options) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        const Marker bytes = ParseMarker(marker);
        std::optional<InputFile> log(std::in_place, source);
        log->RefuseAsOutput(destination);
        AtomicOutput listing(destination);
        const std::int64_t length = log->Length();
        ProgressTracker tracker(progress, length);

        LogStretches stretches(*log, length, bytes, options, tracker);
        const std::int64_t records = stretches.CountRecords();
        std::vector<StretchText> slots(static_cast<std::size_t>(stretches.Slots()));
        stretches.Select(
            [&](StretchWorker& worker, std::int64_t k, int slot) {
                ListStretch(stretches, worker, k, slots[static_cast<std::size_t>(slot)]);
            },
            [&](std::int64_t, int slot) {
                slots[static_cast<std::size_t>(slot)].WriteTo(listing.Stream());
            });
        // Closed before the listing may take a name: Windows does not
        // replace a file that is still open.
        log.reset();
        listing.Commit(&tracker);
        tracker.Finish();
        return records;
    });
}

std::int64_t ScanLog(const std::string& source, std::string_view marker,
                     const std::string& destination, Progress& progress) {
    return ScanLogWith(source, marker, destination, progress, {});
}

}  // namespace vagliante
