// The program's own title and version numbers.
#pragma once

#include <string>

namespace vagliante {

inline constexpr const char* kProgramTitle = "Vagliante";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 1;

// "Vagliante  Versione 1.2.1": the title, a blank, then " Versione " and the
// numbers, as the report header and the command line print it.
inline std::string VersionText() {
    return std::string(kProgramTitle) + " " + " Versione " + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision);
}

}  // namespace vagliante
