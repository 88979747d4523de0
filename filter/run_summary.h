// RunSummary: what a filter run read, wrote and left out.
//
// Every record of the log (the header's count) either gave one report line
// or was left out by the first selection rule that dropped it, so the lines
// of the reports plus the records left out are the records. The command line
// prints the summary after its completion message; the windows show the same
// text as their message's details.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vagliante {

enum class FilterKind { Activation, Update };

// The records that gave no report line, by the first rule that dropped them,
// in the order the selection tests them.
struct LeftOut {
    std::int64_t no1001 = 0;     // characters 27-30 are not "1001" (short records too)
    std::int64_t otherType = 0;  // a type other than "66" and "6D"
    std::int64_t otherSize = 0;  // a size that its type (or the update filter) does not take
    std::map<std::int64_t, std::int64_t> otherSizes;  // those by size in bytes

    std::int64_t Total() const { return no1001 + otherType + otherSize; }
};

struct ReportLines {
    std::string path;  // as the filter wrote it
    std::int64_t lines = 0;
};

struct RunSummary {
    FilterKind kind = FilterKind::Update;
    std::string log;                   // the source path as given
    std::int64_t records = 0;          // the count every header shows
    std::vector<ReportLines> reports;  // in the order the filter writes them
    LeftOut leftOut;
};

// The summary as Italian lines, each ended by "\n": the records, the lines
// of each report, the records left out by reason and those of other sizes.
std::string SummaryText(const RunSummary& summary);

}  // namespace vagliante
