#include "cli/summary_json.h"

#include <nlohmann/json.hpp>

namespace vagliante::cli {
namespace {

// Keys in the order documented, not sorted.
using Json = nlohmann::ordered_json;

// Text is UTF-8 throughout; a POSIX name that is not (it may be any bytes)
// shows U+FFFD where its bytes do not decode, rather than failing the run.
std::string Dump(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string SummaryJson(const RunSummary& summary) {
    Json reports = Json::object();
    for (const ReportLines& report : summary.reports) reports[report.path] = report.lines;
    Json sizes = Json::object();
    for (const auto& [size, count] : summary.leftOut.otherSizes)
        sizes[std::to_string(size)] = count;
    const Json object = {
        {"log", summary.log},
        {"records", summary.records},
        {"reports", std::move(reports)},
        {"left_out",
         {{"no_1001", summary.leftOut.no1001},
          {"other_type", summary.leftOut.otherType},
          {"other_size", summary.leftOut.otherSize}}},
        {"other_sizes", std::move(sizes)},
    };
    return Dump(object);
}

std::string SummaryJson(const ConversionSummary& summary) {
    return Dump({
        {"source", summary.source},
        {"bytes_read", summary.read},
        {"bytes_written", summary.written},
        {"non_hex_pairs", summary.nonHexPairs},
    });
}

}  // namespace vagliante::cli
