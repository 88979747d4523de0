// A run's summary as one JSON object on one line, for programs to read.
// A filter's:
//   {"log": ..., "records": N, "reports": {PATH: LINES, ...},
//    "left_out": {"no_1001": N, "other_type": N, "other_size": N},
//    "other_sizes": {"SIZE": RECORDS, ...}}
// ("left_out" always holds all three keys); a conversion's:
//   {"source": ..., "bytes_read": N, "bytes_written": N, "non_hex_pairs": N}
// ("non_hex_pairs" 0 for bin2txt). Paths are as given.
#pragma once

#include <string>

#include "convert/convert.h"
#include "filter/run_summary.h"

namespace vagliante::cli {

std::string SummaryJson(const RunSummary& summary);
std::string SummaryJson(const ConversionSummary& summary);

}  // namespace vagliante::cli
