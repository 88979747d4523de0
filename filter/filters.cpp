#include "filter/filters.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>

#include "filter/byte_to_hex.h"
#include "filter/record_cutter.h"
#include "filter/remove_extra_bytes.h"
#include "filter/report.h"
#include "filter/scan_log.h"
#include "platform/files.h"
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
        CutExtraBytes(shortened_, "4740B6");
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
            CutExtraBytes(shortened_, "474126");
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
    void Close() { pass_.Take(RecordHead{head_, used_, 2 * size_}); }
    void Drop() {}

  private:
    Pass& pass_;
    std::uint8_t head_[kHeadBytes];
    std::size_t used_ = 0;
    std::int64_t size_ = 0;
};

// The filters read the log twice: once to count its records, which the
// header shows before any line, and once to select the lines. Both passes
// stop at the length the log had when it was opened, so that they agree.
// The bar follows the two passes as one read.
template <typename Pass>
struct LogPasses {
    LogPasses(const std::string& source, std::string_view marker, Progress& progress)
        : marker_(ParseMarker(marker)),
          log_(std::in_place, source),
          length_(log_->Length()),
          tracker_(progress, length_) {}

    std::int64_t CountRecords() {
        RecordCounter counter(marker_, length_);
        ReadLogBlocks(*log_, length_,
                      [&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
                          counter.Feed(data, start, count);
                          tracker_.At((start + static_cast<std::int64_t>(count)) / 2 + 1);
                      });
        return counter.RecordCount();
    }

    void Select(Pass& pass) {
        log_->Rewind();
        RecordHeads<Pass> heads(pass);
        RecordCutter cutter(marker_, length_, heads);
        ReadLogBlocks(*log_, length_,
                      [&](const std::uint8_t* data, std::int64_t start, std::size_t count) {
                          cutter.Feed(data, start, count);
                          tracker_.At((length_ + start + static_cast<std::int64_t>(count)) / 2 + 1);
                      });
        cutter.End();
        // Closed before a report may take its name: Windows does not
        // replace a file that is still open.
        log_.reset();
    }

    // Refuses report names that are the log itself, before anything is read.
    void RefuseAsReports(const std::vector<std::string>& names) const {
        for (const std::string& name : names) log_->RefuseAsOutput(name);
    }

    Marker marker_;
    std::optional<InputFile> log_;
    std::int64_t length_;
    ProgressTracker tracker_;
};

}  // namespace

RunSummary FilterActivation(const std::string& source, const std::string& destination,
                            Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        // The report names drop the last four characters of the destination,
        // which must leave a name in the destination's own folder.
        const std::string base = DropLastCharacters(destination, 4);
        const std::vector<std::string> names = {base + "-5C.TXT", base + "-63-70.TXT",
                                                base + "-63-71.TXT"};
        const HeaderFacts facts = CollectHeaderFacts(source);
        LogPasses<ActivationPass> passes(source, kActivationMarker, progress);
        passes.RefuseAsReports(names);
        // The three change together: all new, or all as they were.
        OutputSet reports(names);
        const std::int64_t recordCount = passes.CountRecords();
        const std::string version = VersionText();
        WriteReportHeader(reports[0].Stream(), kActivation5C, version, facts, recordCount);
        WriteReportHeader(reports[1].Stream(), kActivation63, version, facts, recordCount);
        WriteReportHeader(reports[2].Stream(), kActivation63, version, facts, recordCount);

        ActivationPass pass({&reports[0].Stream(), &reports[1].Stream(), &reports[2].Stream()});
        passes.Select(pass);
        reports.Commit(&passes.tracker_);
        passes.tracker_.Finish();
        return RunSummary{FilterKind::Activation,
                          source,
                          recordCount,
                          {{names[0], pass.Lines(ActivationReport::k5C)},
                           {names[1], pass.Lines(ActivationReport::k63_70)},
                           {names[2], pass.Lines(ActivationReport::k63_71)}},
                          pass.LeftOutCounts()};
    });
}

RunSummary FilterUpdate(const std::string& source, const std::string& destination,
                        Progress& progress) {
    return RunWithErrorNumbers([&] {
        progress.SetValue(kProgressEmpty);
        RequireDestination(destination, 1);
        const HeaderFacts facts = CollectHeaderFacts(source);
        LogPasses<UpdatePass> passes(source, kUpdateMarker, progress);
        passes.RefuseAsReports({destination});
        AtomicOutput report(destination);
        const std::int64_t recordCount = passes.CountRecords();
        WriteReportHeader(report.Stream(), kUpdateReport, VersionText(), facts, recordCount);
        UpdatePass pass(report.Stream());
        passes.Select(pass);
        report.Commit(&passes.tracker_);
        passes.tracker_.Finish();
        return RunSummary{FilterKind::Update,
                          source,
                          recordCount,
                          {{destination, pass.Lines()}},
                          pass.LeftOutCounts()};
    });
}

}  // namespace vagliante
