// ScanLog: the record listing that `vagliante-cli record` writes. Cuts a
// binary command log into records at a two-byte marker (by the rules in
// filter/markers.h) and writes each record as one line of hexadecimal text, ended by
// CR LF: the record lines that the filters select from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filter/scan_options.h"
#include "platform/progress.h"

namespace vagliante {

// Scans the log at `source` for `marker` (four hexadecimal digits, such as
// "8200") into `destination`, which is replaced whole only when the scan
// has succeeded (a pipe or device is written directly). A destination that
// is the log itself is refused. Moves `progress` from empty through 1 to
// L + 1 and back to empty. Returns the number of record lines.
std::int64_t ScanLog(const std::string& source, std::string_view marker,
                     const std::string& destination, Progress& progress);
// The same, the log read as `options` say (for tests).
std::int64_t ScanLogWith(const std::string& source, std::string_view marker,
                         const std::string& destination, Progress& progress,
                         const ScanOptions& options);

}  // namespace vagliante
