// ScanLog: cuts a binary command log into records at a two-byte marker (by
// RecordCutter's rules) and writes each record as one line of hexadecimal
// text, ended by CR LF: to the work file, or as the record listing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/progress.h"

namespace vagliante {

inline constexpr std::string_view kActivationMarker = "8200";
inline constexpr std::string_view kUpdateMarker = "8400";

// Scans the log at `sourcePath` for `marker` (four hexadecimal digits, such
// as "8200") into the work file, whose writer is closed on return. Moves
// `progress` from 1 to L + 1 and back to empty. Returns RecordCount, the
// number of record lines written.
std::int64_t ScanLog(const std::string& sourcePath, std::string_view marker, WorkFile& work,
                     Progress& progress);

// The record listing: the same lines into `destination`, which is replaced
// whole only when the scan has succeeded (a pipe or device is written
// directly). A destination that is the log itself is refused. Returns the
// number of lines.
std::int64_t ListRecords(const std::string& sourcePath, std::string_view marker,
                         const std::string& destination, Progress& progress);

}  // namespace vagliante
