// The two filters: a binary command log in, text reports out.
#pragma once

#include <string>

#include "platform/progress.h"

namespace vagliante {

inline constexpr const char* kMsgActivationDone = "Files creati con successo";
inline constexpr const char* kMsgUpdateDone = "File creato con successo";

// Activation commands ("8200") into the three reports named after
// `destination`. Throws RunError; on failure no report is changed.
void FilterActivation(const std::string& source, const std::string& destination,
                      Progress& progress);

// Update commands ("8400") into the report `destination`.
void FilterUpdate(const std::string& source, const std::string& destination, Progress& progress);

}  // namespace vagliante
