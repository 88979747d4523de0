// The program's own title and version numbers.
#pragma once

#include <string>

namespace vagliante {

inline constexpr const char* kProgramTitle = "Vagliante";

// The numbers as built, from the CMake project's version.
inline constexpr int kVersionMajor = VAGLIANTE_VERSION_MAJOR;
inline constexpr int kVersionMinor = VAGLIANTE_VERSION_MINOR;
inline constexpr int kVersionRevision = VAGLIANTE_VERSION_PATCH;

struct VersionNumbers {
    int major;
    int minor;
    int revision;
};

// The running program's version numbers: on Windows those of its version
// resource, as the system shows them in the file's properties; elsewhere,
// or for a program without that resource, the numbers built in.
VersionNumbers ProgramVersion();

// "1.2.1": the numbers in plain decimal, without leading zeros.
inline std::string VersionNumberText() {
    const VersionNumbers v = ProgramVersion();
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

// "Vagliante  Versione 1.2.1": the title, a blank, then " Versione " and the
// numbers, as the report header and the command line print it.
inline std::string VersionText() {
    return std::string(kProgramTitle) + " " + " Versione " + VersionNumberText();
}

}  // namespace vagliante
