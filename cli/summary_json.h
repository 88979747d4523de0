// A run's summary as one JSON object on one line, for programs to read:
//   {"log": ..., "records": N, "reports": {PATH: LINES, ...},
//    "left_out": {"no_1001": N, "other_type": N, "other_size": N},
//    "other_sizes": {"SIZE": RECORDS, ...}}
// Paths are as given; "left_out" always holds all three keys.
#pragma once

#include <string>

#include "filter/run_summary.h"

namespace vagliante::cli {

std::string SummaryJson(const RunSummary& summary);

}  // namespace vagliante::cli
