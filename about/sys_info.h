// StartSysInfo: finds the system-information program through two registry
// locations and starts it; the texts of the About window.
#pragma once

#include <string>

#include "about/registry.h"

namespace vagliante {

inline constexpr const char* kSysInfoUnavailable =
    "Le informazioni sul sistema non sono attualmente disponibili.";

// Location 1 holds the program's full path, location 2 its folder.
inline constexpr const char* kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoPathValue = "PATH";
inline constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoFolderValue = "MSINFO";
inline constexpr const char* kSysInfoProgram = "\\MSINFO32.EXE";

enum class SysInfoOutcome {
    Started,
    Unavailable,  // the caller shows kSysInfoUnavailable
};

// Starts the path of location 1 as read (whether or not a file is there);
// otherwise the program in the folder of location 2 if it exists there. Any
// failure, a failed start included, gives Unavailable.
SysInfoOutcome StartSysInfo(Registry& registry, Launcher& launcher);

// "Informazioni su VAGLIANTE", "VAGLIANTE" and "Versione 1.2.1".
std::string AboutWindowTitle();
std::string AboutProgramTitle();
std::string AboutVersionText();

}  // namespace vagliante
