// Which programs hold a file open, as Windows' Restart Manager tells: what
// the message of a report that cannot be replaced names.
#pragma once

#include <string>

namespace vagliante::os {

// The names of the programs that hold `path` open ("Microsoft Excel"),
// joined by ", "; empty where the Restart Manager cannot tell (as under
// Wine) or is missing.
std::string HoldersOf(const std::string& path);

// Puts `lookup` in the Restart Manager's place, nullptr the Restart Manager
// again; returns the one it replaces. For the tests, which give the answer
// that Wine cannot.
using HoldersLookup = std::string (*)(const std::string& path);
HoldersLookup SetHoldersLookup(HoldersLookup lookup);

}  // namespace vagliante::os
