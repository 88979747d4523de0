// The two filters: a binary command log in, text reports out.
#pragma once

#include <string>
#include <vector>

#include "filter/run_summary.h"
#include "filter/scan_options.h"
#include "platform/progress.h"

namespace vagliante {

inline constexpr const char* kMsgActivationDone = "Files creati con successo";
inline constexpr const char* kMsgUpdateDone = "File creato con successo";

// Activation commands ("8200") into the three reports named after
// `destination`. Throws RunError; on failure no report is changed. Returns
// what the run counted: the records, each report's lines, the left out.
RunSummary FilterActivation(const std::string& source, const std::string& destination,
                            Progress& progress);

// The three reports of an activation run to `destination`: its name without
// the last four characters (UTF-8 characters, not bytes) followed by
// "-5C.TXT", "-63-70.TXT" and "-63-71.TXT". BadFileName when those four
// characters hold a folder separator or the whole file name, as the reports
// would then land outside the destination's folder or have no name.
std::vector<std::string> ActivationReportNames(const std::string& destination);

// Update commands ("8400") into the report `destination`.
RunSummary FilterUpdate(const std::string& source, const std::string& destination,
                        Progress& progress);

// The same, the log read as `options` say (tests try small stretches and
// several numbers of workers).
RunSummary FilterActivationWith(const std::string& source, const std::string& destination,
                                Progress& progress, const ScanOptions& options);
RunSummary FilterUpdateWith(const std::string& source, const std::string& destination,
                            Progress& progress, const ScanOptions& options);

}  // namespace vagliante
