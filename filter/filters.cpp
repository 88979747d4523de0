#include "filter/filters.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

#include "filter/byte_to_hex.h"
#include "filter/remove_extra_bytes.h"
#include "filter/report.h"
#include "filter/scan_options.h"
#include "filter/stretches.h"
#include "platform/input_file.h"
#include "platform/os_file.h"
#include "platform/output_set.h"
#include "platform/program_info.h"
#include "platform/run_error.h"

namespace vagliante {
namespace {

// Record lines longer than this are never reported whole, so a record of
// any length costs no more memory than half this in bytes.
constexpr std::size_t kLineHead = 240;
constexpr std::size_t kHeadBytes = kLineHead / 2;

// Where the two fields and the command sit in a record line, in characters
// of its hexadecimal text; all even, so each also names a byte.
struct LineLayout {
    std::size_t first;
    std::size_t firstLength;
    std::size_t second;
    std::size_t secondLength;
    std::size_t command;  // to the end of the line
};

// Lays out one report line in the report's text: LN, the two fields and
// the command, a blank after each field. put(out, from, n) writes the n
// characters of the record line that start at character `from`; the line
// is `lineLength` characters long, at least up to the command.
template <typename Put>
void WriteReportLine(StretchText& report, std::string_view ln, const LineLayout& at,
                     std::size_t lineLength, Put put) {
    const std::size_t commandLength = lineLength - at.command;
    const std::size_t total =
        ln.size() + at.firstLength + 1 + at.secondLength + 1 + commandLength + 2;
    char* p = std::copy(ln.begin(), ln.end(), report.Reserve(total));
    put(p, at.first, at.firstLength);
    p += at.firstLength;
    *p++ = ' ';
    put(p, at.second, at.secondLength);
    p += at.secondLength;
    *p++ = ' ';
    put(p, at.command, commandLength);
    p += commandLength;
    *p++ = '\r';
    *p = '\n';
    report.Commit(total);
}

// The line from its hexadecimal text.
void WriteReportLine(StretchText& report, std::string_view ln, const LineLayout& at,
                     std::string_view line) {
    WriteReportLine(report, ln, at, line.size(), [&](char* out, std::size_t from, std::size_t n) {
        std::copy_n(line.data() + from, n, out);
    });
}

// The line of the record whose bytes start at `bytes`, rendered straight
// into the report with no text between.
void WriteReportLine(StretchText& report, std::string_view ln, const LineLayout& at,
                     const std::uint8_t* bytes, std::size_t lineLength) {
    WriteReportLine(report, ln, at, lineLength, [&](char* out, std::size_t from, std::size_t n) {
        HexEncode(bytes + from / 2, n / 2, out);
    });
}

// The start of one record: its first bytes (at most kHeadBytes) and the
// length of its whole record line, which is twice its size.
struct RecordHead {
    const std::uint8_t* bytes;
    std::size_t size;
    std::int64_t lineLength;

    // The record line's text into `text`, whose storage is reused; only
    // for lines shorter than kLineHead.
    void Text(std::string& text) const {
        text.resize(2 * size);
        HexEncode(bytes, size, text.data());
    }
};

// The records a pass leaves out, by reason; those of other sizes by size in
// bytes. These are counted in a table, without a search, and only the rare
// ones of 4 KiB and more in a map: a record of one kind runs over every
// record of the other kind up to its own next marker, so in a mixed log
// sizes of several hundred bytes are common.
class LeftOutTally {
  public:
    void No1001() { ++no1001_; }
    void OtherType() { ++otherType_; }
    void OtherSize(std::int64_t lineLength) {
        ++otherSize_;
        const std::int64_t size = lineLength / 2;
        if (size < kTableSizes)
            ++table_[static_cast<std::size_t>(size)];
        else
            ++larger_[size];
    }

    // Adds what another worker left out.
    void Add(const LeftOutTally& other) {
        no1001_ += other.no1001_;
        otherType_ += other.otherType_;
        otherSize_ += other.otherSize_;
        for (std::size_t size = 0; size < table_.size(); ++size) table_[size] += other.table_[size];
        for (const auto& [size, count] : other.larger_) larger_[size] += count;
    }

    LeftOut Counts() const {
        LeftOut out{no1001_, otherType_, otherSize_, larger_};
        for (std::size_t size = 0; size < table_.size(); ++size)
            if (table_[size] > 0) out.otherSizes[static_cast<std::int64_t>(size)] = table_[size];
        return out;
    }

  private:
    static constexpr std::int64_t kTableSizes = 4096;
    std::int64_t no1001_ = 0;
    std::int64_t otherType_ = 0;
    std::int64_t otherSize_ = 0;
    std::vector<std::int64_t> table_ = std::vector<std::int64_t>(kTableSizes);  // not on the stack
    std::map<std::int64_t, std::int64_t> larger_;
};

// Activation selection: "1001" at characters 27-30; type "66" of 210, 240
// or 220 characters into the 5C report; type "6D" of 224, more than 240 or
// 234 characters into 63-70 or 63-71 by characters 21-22. On the record's
// bytes: 10 01 at bytes 14-15, the type at byte 3, 70 or not at byte 11.
// One pass per worker: it writes the lines of the stretch in hand into that
// stretch's texts, and counts what it wrote and left out.
enum class ActivationReport { k5C, k63_70, k63_71 };
constexpr LineLayout kActivationLine{10, 8, 18, 4, 26};

class ActivationPass {
  public:
    static constexpr std::size_t kReports = 3;
    using Texts = std::array<StretchText, kReports>;

    // A record too short to hold characters 27-30 has no "1001" either.
    void Take(const RecordHead& head, Texts& lines) {
        if (head.size < 15 || head.bytes[13] != 0x10 || head.bytes[14] != 0x01)
            return leftOut_.No1001();
        const std::int64_t length = head.lineLength;
        if (head.bytes[2] == 0x66) {
            if (length == 210 || length == 240)
                Write(lines, ActivationReport::k5C, "5C ", head, 210);
            else if (length == 220)
                WriteShortened(lines, ActivationReport::k5C, "5C ", head);
            else
                leftOut_.OtherSize(length);
        } else if (head.bytes[2] == 0x6D) {
            auto report =
                head.bytes[10] == 0x70 ? ActivationReport::k63_70 : ActivationReport::k63_71;
            if (length == 224 || length > 240)
                Write(lines, report, "63 ", head, 224);
            else if (length == 234)
                WriteShortened(lines, report, "63 ", head);
            else
                leftOut_.OtherSize(length);
        } else {
            leftOut_.OtherType();
        }
    }

    std::int64_t Lines(std::size_t report) const { return lines_[report]; }
    // What this pass and `other` wrote and left out, together.
    void Add(const ActivationPass& other) {
        for (std::size_t r = 0; r < kReports; ++r) lines_[r] += other.lines_[r];
        leftOut_.Add(other.leftOut_);
    }
    LeftOut LeftOutCounts() const { return leftOut_.Counts(); }

  private:
    void Write(Texts& lines, ActivationReport report, std::string_view ln, const RecordHead& head,
               std::size_t lineLength) {
        WriteReportLine(lines[static_cast<int>(report)], ln, kActivationLine, head.bytes,
                        lineLength);
        ++lines_[static_cast<int>(report)];
    }
    void WriteShortened(Texts& lines, ActivationReport report, std::string_view ln,
                        const RecordHead& head) {
        head.Text(shortened_);
        RemoveExtraBytes(shortened_, "4740B6");
        WriteReportLine(lines[static_cast<int>(report)], ln, kActivationLine, shortened_);
        ++lines_[static_cast<int>(report)];
    }

    std::string shortened_;
    std::array<std::int64_t, kReports> lines_{};
    LeftOutTally leftOut_;
};

// Update selection, by length alone: 204 whole, 232 cut to 204, 214
// shortened by the "474126" rule.
constexpr LineLayout kUpdateLine{6, 4, 10, 6, 20};

class UpdatePass {
  public:
    static constexpr std::size_t kReports = 1;
    using Texts = std::array<StretchText, kReports>;

    void Take(const RecordHead& head, Texts& lines) {
        if (head.lineLength == 204 || head.lineLength == 232) {
            WriteReportLine(lines[0], "5C ", kUpdateLine, head.bytes, 204);
        } else if (head.lineLength == 214) {
            head.Text(shortened_);
            RemoveExtraBytes(shortened_, "474126");
            WriteReportLine(lines[0], "5C ", kUpdateLine, shortened_);
        } else {
            return leftOut_.OtherSize(head.lineLength);
        }
        ++lines_;
    }

    std::int64_t Lines(std::size_t) const { return lines_; }
    void Add(const UpdatePass& other) {
        lines_ += other.lines_;
        leftOut_.Add(other.leftOut_);
    }
    LeftOut LeftOutCounts() const { return leftOut_.Counts(); }

  private:
    std::string shortened_;
    std::int64_t lines_ = 0;
    LeftOutTally leftOut_;
};

// Hands take(head) every record that starts in stretch k and that a later
// marker closes. The record that runs across the stretch's end belongs to
// this stretch: its end is sought past it, in the margin read with the
// stretch and, for a record longer than that, window by window. The open
// record at the end of the log is not handed on.
template <typename Take>
void TakeRecords(const LogStretches& log, StretchWorker& worker, std::int64_t k, Take&& take) {
    const std::int64_t length = log.Length(), start = log.Start(k);
    const std::size_t stretch = static_cast<std::size_t>(log.End(k) - start);
    const Marker marker = log.Searched();
    const std::int64_t viewEnd =
        std::min(length, log.End(k) + static_cast<std::int64_t>(log.Margin()));
    // Where a marker may start in a view from `from` to `to`: its second
    // byte must lie in the view too.
    auto candidates = [&](std::int64_t from, std::int64_t to) {
        const std::size_t size = static_cast<std::size_t>(to - from);
        return std::min(CandidateEnd(length, from, size), to < length ? size - 1 : size);
    };
    // The record that runs past the view: its head, and where it starts.
    std::uint8_t head[kHeadBytes];
    std::size_t headSize = 0;
    std::int64_t openAt = -1;
    const std::size_t size = static_cast<std::size_t>(viewEnd - start);
    const std::size_t searched = candidates(start, viewEnd);
    worker.View().Read(start, size, [&](const std::uint8_t* data) {
        // The markers of the stretch, a list at a time; each closes the
        // record before it.
        const std::size_t ours = std::min(stretch, searched);
        std::uint32_t at[kMarkerList];
        std::size_t from = 0, record = 0;
        bool inRecord = false;
        while (from < ours) {
            const std::size_t n = ListMarkers(data, from, ours, marker, at, kMarkerList, from);
            for (std::size_t i = 0; i < n; ++i) {
                if (inRecord)
                    take(RecordHead{data + record, std::min(kHeadBytes, at[i] - record),
                                    2 * static_cast<std::int64_t>(at[i] - record)});
                record = at[i];
                inRecord = true;
            }
        }
        if (!inRecord) return;
        // The last one runs across the stretch's end, up to the next marker.
        const std::size_t next = FindMarker(data, std::max(record + 1, ours), searched, marker);
        if (next < searched) {
            take(RecordHead{data + record, std::min(kHeadBytes, next - record),
                            2 * static_cast<std::int64_t>(next - record)});
        } else if (viewEnd < length) {
            // Past the view too. (At the log's end, the record is open.)
            headSize = std::min(kHeadBytes, size - record);
            std::copy_n(data + record, headSize, head);
            openAt = start + static_cast<std::int64_t>(record);
        }
    });
    if (openAt < 0) return;
    constexpr std::int64_t kWindow = std::int64_t{1} << 20;
    for (std::int64_t from = start + static_cast<std::int64_t>(searched); from < length - 3;) {
        if (worker.Cancelled()) return;
        const std::int64_t to = std::min(length, from + kWindow + 1);
        const std::size_t count = candidates(from, to);
        std::size_t found = count;
        worker.View().Read(
            from, static_cast<std::size_t>(to - from),
            [&](const std::uint8_t* data) { found = FindMarker(data, 0, count, marker); });
        if (found < count) {
            const std::int64_t end = from + static_cast<std::int64_t>(found);
            return take(RecordHead{head, headSize, 2 * (end - openAt)});
        }
        from += static_cast<std::int64_t>(count);
        if (count == 0) return;
    }
}

// A filter's run: the records of the log counted first, for the headers;
// then every stretch selected by a pass of its worker into its slot, and the
// slots written to the reports in the log's order. Returns the summary's
// counts, the paths aside.
template <typename Pass>
RunSummary SelectInto(const std::string& source, std::string_view markerText, Progress& progress,
                      const std::vector<std::string>& names,
                      const std::array<const ReportKind*, Pass::kReports>& kinds,
                      const ScanOptions& options) {
    const HeaderFacts facts = CollectHeaderFacts(source);
    const Marker marker = ParseMarker(markerText);
    std::optional<InputFile> log(std::in_place, source);
    const std::int64_t length = log->Length();
    ProgressTracker tracker(progress, length);
    // Report names that are the log itself are refused before anything is
    // read or written.
    for (const std::string& name : names) log->RefuseAsOutput(name);
    // The reports change together: all new, or all as they were.
    OutputSet reports(names);

    LogStretches stretches(*log, length, marker, options, tracker);
    const std::int64_t records = stretches.CountRecords();
    const std::string version = VersionText();
    for (std::size_t r = 0; r < Pass::kReports; ++r)
        WriteReportHeader(reports[r].Stream(), *kinds[r], version, facts, records);

    std::vector<Pass> passes(static_cast<std::size_t>(stretches.MaxWorkers()));
    std::vector<typename Pass::Texts> slots(static_cast<std::size_t>(stretches.Slots()));
    // A worker reads its stretch, and the pass reads the record heads, never
    // under a lock nor with an object to destroy on the way (FileView::Read).
    stretches.Select(
        [&](StretchWorker& worker, std::int64_t k, int slot) {
            Pass& pass = passes[static_cast<std::size_t>(worker.Index())];
            typename Pass::Texts& lines = slots[static_cast<std::size_t>(slot)];
            TakeRecords(stretches, worker, k,
                        [&](const RecordHead& head) { pass.Take(head, lines); });
        },
        [&](std::int64_t, int slot) {
            for (std::size_t r = 0; r < Pass::kReports; ++r)
                slots[static_cast<std::size_t>(slot)][r].WriteTo(reports[r].Stream());
        });
    // Closed before a report may take its name: Windows does not replace a
    // file that is still open.
    log.reset();
    reports.Commit(&tracker);
    tracker.Finish();

    for (std::size_t i = 1; i < passes.size(); ++i) passes[0].Add(passes[i]);
    RunSummary summary;
    summary.log = source;
    summary.records = records;
    for (std::size_t r = 0; r < Pass::kReports; ++r)
        summary.reports.push_back({names[r], passes[0].Lines(r)});
    summary.leftOut = passes[0].LeftOutCounts();
    return summary;
}

}  // namespace

std::vector<std::string> ActivationReportNames(const std::string& destination) {
    const auto refused = [&] { return RunError(ErrorNumber::BadFileName, destination); };
    std::size_t end = destination.size();
    for (int n = 0; n < 4; ++n) {
        if (end == 0) throw refused();
        --end;
        // Back to the first byte of a UTF-8 character.
        while (end > 0 && (static_cast<unsigned char>(destination[end]) & 0xC0) == 0x80) --end;
        if (os::IsSeparator(destination[end])) throw refused();
    }
    // Something of the file name must be left in front of the cut.
    if (end == 0 || os::IsSeparator(destination[end - 1])) throw refused();
#ifdef _WIN32
    if (end == 2 && destination[1] == ':') throw refused();
#endif
    const std::string base = destination.substr(0, end);
    return {base + "-5C.TXT", base + "-63-70.TXT", base + "-63-71.TXT"};
}

RunSummary FilterActivationWith(const std::string& source, const std::string& destination,
                                Progress& progress, const ScanOptions& options) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        const std::vector<std::string> names = ActivationReportNames(destination);
        RunSummary summary =
            SelectInto<ActivationPass>(source, kActivationMarker, progress, names,
                                       {&kActivation5C, &kActivation63, &kActivation63}, options);
        summary.kind = FilterKind::Activation;
        return summary;
    });
}

RunSummary FilterUpdateWith(const std::string& source, const std::string& destination,
                            Progress& progress, const ScanOptions& options) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        // An empty destination is refused before anything is read or written.
        if (destination.empty()) throw RunError(ErrorNumber::BadFileName, destination);
        RunSummary summary = SelectInto<UpdatePass>(source, kUpdateMarker, progress, {destination},
                                                    {&kUpdateReport}, options);
        summary.kind = FilterKind::Update;
        return summary;
    });
}

RunSummary FilterActivation(const std::string& source, const std::string& destination,
                            Progress& progress) {
    return FilterActivationWith(source, destination, progress, {});
}

RunSummary FilterUpdate(const std::string& source, const std::string& destination,
                        Progress& progress) {
    return FilterUpdateWith(source, destination, progress, {});
}

}  // namespace vagliante
