#include "filter/filters.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

#include "filter/byte_to_hex.h"
#include "filter/record_count.h"
#include "filter/record_cutter.h"
#include "filter/remove_extra_bytes.h"
#include "filter/report.h"
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

// Lays out one report line in the report's buffer: LN, the two fields and
// the command, a blank after each field. put(out, from, n) writes the n
// characters of the record line that start at character `from`; the line
// is `lineLength` characters long, at least up to the command.
template <typename Put>
void WriteReportLine(OutputFile& report, std::string_view ln, const LineLayout& at,
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
void WriteReportLine(OutputFile& report, std::string_view ln, const LineLayout& at,
                     std::string_view line) {
    WriteReportLine(report, ln, at, line.size(), [&](char* out, std::size_t from, std::size_t n) {
        std::copy_n(line.data() + from, n, out);
    });
}

// The line of the record whose bytes start at `bytes`, rendered straight
// into the report with no text between.
void WriteReportLine(OutputFile& report, std::string_view ln, const LineLayout& at,
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

// An empty destination, or one too short to give a report name, is refused
// before anything is read or written.
void RequireDestination(const std::string& destination, std::size_t minimumLength) {
    if (destination.size() < minimumLength) throw RunError(ErrorNumber::BadFileName, destination);
}

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
enum class ActivationReport { k5C, k63_70, k63_71 };
constexpr LineLayout kActivationLine{10, 8, 18, 4, 26};

class ActivationPass {
  public:
    explicit ActivationPass(std::array<OutputFile*, 3> reports) : reports_(reports) {}

    // A record too short to hold characters 27-30 has no "1001" either.
    void Take(const RecordHead& head) {
        if (head.size < 15 || head.bytes[13] != 0x10 || head.bytes[14] != 0x01)
            return leftOut_.No1001();
        const std::int64_t length = head.lineLength;
        if (head.bytes[2] == 0x66) {
            if (length == 210 || length == 240)
                Write(ActivationReport::k5C, "5C ", head, 210);
            else if (length == 220)
                WriteShortened(ActivationReport::k5C, "5C ", head);
            else
                leftOut_.OtherSize(length);
        } else if (head.bytes[2] == 0x6D) {
            auto report =
                head.bytes[10] == 0x70 ? ActivationReport::k63_70 : ActivationReport::k63_71;
            if (length == 224 || length > 240)
                Write(report, "63 ", head, 224);
            else if (length == 234)
                WriteShortened(report, "63 ", head);
            else
                leftOut_.OtherSize(length);
        } else {
            leftOut_.OtherType();
        }
    }

    std::int64_t Lines(ActivationReport report) const { return lines_[static_cast<int>(report)]; }
    LeftOut LeftOutCounts() const { return leftOut_.Counts(); }

  private:
    void Write(ActivationReport report, std::string_view ln, const RecordHead& head,
               std::size_t lineLength) {
        WriteReportLine(*reports_[static_cast<int>(report)], ln, kActivationLine, head.bytes,
                        lineLength);
        ++lines_[static_cast<int>(report)];
    }
    void WriteShortened(ActivationReport report, std::string_view ln, const RecordHead& head) {
        head.Text(shortened_);
        RemoveExtraBytes(shortened_, "4740B6");
        WriteReportLine(*reports_[static_cast<int>(report)], ln, kActivationLine, shortened_);
        ++lines_[static_cast<int>(report)];
    }

    std::array<OutputFile*, 3> reports_;
    std::string shortened_;
    std::array<std::int64_t, 3> lines_{};
    LeftOutTally leftOut_;
};

// Update selection, by length alone: 204 whole, 232 cut to 204, 214
// shortened by the "474126" rule.
constexpr LineLayout kUpdateLine{6, 4, 10, 6, 20};

class UpdatePass {
  public:
    explicit UpdatePass(OutputFile& report) : report_(report) {}

    void Take(const RecordHead& head) {
        if (head.lineLength == 204 || head.lineLength == 232) {
            WriteReportLine(report_, "5C ", kUpdateLine, head.bytes, 204);
        } else if (head.lineLength == 214) {
            head.Text(shortened_);
            RemoveExtraBytes(shortened_, "474126");
            WriteReportLine(report_, "5C ", kUpdateLine, shortened_);
        } else {
            return leftOut_.OtherSize(head.lineLength);
        }
        ++lines_;
    }

    std::int64_t Lines() const { return lines_; }
    LeftOut LeftOutCounts() const { return leftOut_.Counts(); }

  private:
    OutputFile& report_;
    std::string shortened_;
    std::int64_t lines_ = 0;
    LeftOutTally leftOut_;
};

// Hands each record of the log to `pass` as a RecordHead: what the pass
// needs of the record's line, without writing the line anywhere.
template <typename Pass>
class RecordHeads {
  public:
    explicit RecordHeads(Pass& pass) : pass_(pass) {}

    void Start() {
        used_ = 0;
        size_ = 0;
    }
    void Bytes(const std::uint8_t* bytes, std::size_t size) {
        size_ += static_cast<std::int64_t>(size);
        const std::size_t take = std::min(size, kHeadBytes - used_);
        std::copy(bytes, bytes + take, head_ + used_);
        used_ += take;
    }
    void Close() {
        ++records_;
        pass_.Take(RecordHead{head_, used_, 2 * size_});
    }
    void Drop() {}

    std::int64_t Records() const { return records_; }

  private:
    Pass& pass_;
    std::uint8_t head_[kHeadBytes];
    std::size_t used_ = 0;
    std::int64_t size_ = 0;
    std::int64_t records_ = 0;
};

// One report being written: its stream, the kind of its header, and where
// the header's record count begins.
struct ReportStream {
    OutputFile& out;
    const ReportKind& kind;
    std::int64_t countAt = 0;
};

// Logs from this size up have their count estimated rather than counted
// first; smaller ones are counted in a few milliseconds.
constexpr std::int64_t kEstimateFrom = std::int64_t{8} << 20;

// The records of the log are counted for the headers either before the
// selection or, on a large log, by the selection itself (record_count.h).
// Every read stops at the length the log had when it was opened, so that
// they agree. The bar follows the reads as one.
template <typename Pass>
class LogRun {
  public:
    LogRun(const std::string& source, std::string_view marker, Progress& progress)
        : marker_(ParseMarker(marker)),
          log_(std::in_place, source),
          length_(log_->Length()),
          tracker_(progress, length_) {}

    // Refuses report names that are the log itself, before anything is read.
    void RefuseAsReports(const std::vector<std::string>& names) const {
        for (const std::string& name : names) log_->RefuseAsOutput(name);
    }

    // Writes the reports: their headers, then the lines of a pass made by
    // `makePass()`, which is left in `pass`. Returns the count of records.
    // `rewritable`: the reports are files, whose headers may be written
    // over, not streams.
    template <typename MakePass>
    std::int64_t Write(std::vector<ReportStream>& reports, const HeaderFacts& facts,
                       bool rewritable, MakePass makePass, std::optional<Pass>& pass) {
        const std::string version = VersionText();
        auto begin = [&](std::int64_t count) {
            for (ReportStream& report : reports) {
                report.out.TruncateTo(0);
                report.countAt = WriteReportHeader(report.out, report.kind, version, facts, count);
            }
            pass.emplace(makePass());
        };
        std::optional<std::int64_t> estimate;
        if (rewritable && length_ >= kEstimateFrom)
            estimate = EstimateRecords(SampleLog(*log_, length_, marker_), length_);
        std::int64_t records = 0;
        if (estimate) {
            begin(*estimate);
            records = Select(*pass, 0);
            if (DecimalDigits(records) != DecimalDigits(*estimate)) {
                // Written again with the count known; the bar waits at the
                // end of the first writing until the second passes it.
                begin(records);
                Select(*pass, 0);
            } else {
                const std::string text = std::to_string(records);
                for (ReportStream& report : reports) report.out.Overwrite(report.countAt, text);
            }
        } else {
            // The count first, then the lines, each over half the bar.
            records = CountRecords(*log_, length_, marker_,
                                   [&](std::int64_t counted) { tracker_.At(counted / 2 + 1); });
            begin(records);
            Select(*pass, length_);
        }
        // Closed before a report may take its name: Windows does not
        // replace a file that is still open.
        log_.reset();
        return records;
    }

    ProgressTracker& Tracker() { return tracker_; }

  private:
    // Hands the records of the log to `pass`; the bar shows (`before` + the
    // bytes read) / 2 with a count before, else the bytes read. Returns the
    // records that the log's markers close.
    std::int64_t Select(Pass& pass, std::int64_t before) {
        RecordHeads<Pass> heads(pass);
        RecordCutter cutter(marker_, length_, heads);
        // The cutter reads a block in its search for markers and in its
        // copy of each record's head, never under a lock nor with an object
        // to destroy on the way (ReadLogBlocks).
        ReadLogBlocks(*log_, length_, cutter, [&](std::int64_t read) {
            tracker_.At((before > 0 ? (before + read) / 2 : read) + 1);
        });
        cutter.End();
        return heads.Records();
    }

    Marker marker_;
    std::optional<InputFile> log_;
    std::int64_t length_;
    ProgressTracker tracker_;
};

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

RunSummary FilterActivation(const std::string& source, const std::string& destination,
                            Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        const std::vector<std::string> names = ActivationReportNames(destination);
        const HeaderFacts facts = CollectHeaderFacts(source);
        LogRun<ActivationPass> run(source, kActivationMarker, progress);
        run.RefuseAsReports(names);
        // The three change together: all new, or all as they were.
        OutputSet reports(names);
        std::vector<ReportStream> streams = {{reports[0].Stream(), kActivation5C},
                                             {reports[1].Stream(), kActivation63},
                                             {reports[2].Stream(), kActivation63}};
        const bool rewritable =
            !reports[0].IsDirect() && !reports[1].IsDirect() && !reports[2].IsDirect();
        std::optional<ActivationPass> pass;
        const std::int64_t recordCount = run.Write(
            streams, facts, rewritable,
            [&] {
                return ActivationPass(
                    {&reports[0].Stream(), &reports[1].Stream(), &reports[2].Stream()});
            },
            pass);
        reports.Commit(&run.Tracker());
        run.Tracker().Finish();
        return RunSummary{FilterKind::Activation,
                          source,
                          recordCount,
                          {{names[0], pass->Lines(ActivationReport::k5C)},
                           {names[1], pass->Lines(ActivationReport::k63_70)},
                           {names[2], pass->Lines(ActivationReport::k63_71)}},
                          pass->LeftOutCounts()};
    });
}

RunSummary FilterUpdate(const std::string& source, const std::string& destination,
                        Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        RequireDestination(destination, 1);
        const HeaderFacts facts = CollectHeaderFacts(source);
        LogRun<UpdatePass> run(source, kUpdateMarker, progress);
        run.RefuseAsReports({destination});
        AtomicOutput report(destination);
        std::vector<ReportStream> streams = {{report.Stream(), kUpdateReport}};
        std::optional<UpdatePass> pass;
        const std::int64_t recordCount = run.Write(
            streams, facts, !report.IsDirect(), [&] { return UpdatePass(report.Stream()); }, pass);
        report.Commit(&run.Tracker());
        run.Tracker().Finish();
        return RunSummary{FilterKind::Update,
                          source,
                          recordCount,
                          {{destination, pass->Lines()}},
                          pass->LeftOutCounts()};
    });
}

}  // namespace vagliante
