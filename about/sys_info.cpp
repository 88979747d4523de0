#include "about/sys_info.h"

#include <exception>

#include "about/get_key_value.h"
#include "platform/program_info.h"

namespace vagliante {

SysInfoOutcome StartSysInfo(Registry& registry, Launcher& launcher) {
    try {
        std::string path;
        if (!GetKeyValue(registry, kHkeyLocalMachine, kSysInfoPathKey, kSysInfoPathValue, path)) {
            if (!GetKeyValue(registry, kHkeyLocalMachine, kSysInfoFolderKey, kSysInfoFolderValue,
                             path)) {
                return SysInfoOutcome::Unavailable;
            }
            if (!launcher.FileExists(path + kSysInfoProgram)) return SysInfoOutcome::Unavailable;
            path += kSysInfoProgram;
        }
        return launcher.StartProgram(path) ? SysInfoOutcome::Started : SysInfoOutcome::Unavailable;
    } catch (const std::exception&) {
        return SysInfoOutcome::Unavailable;
    }
}

std::string AboutProgramTitle() {
    std::string title = kProgramTitle;
    for (char& c : title) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return title;
}

std::string AboutWindowTitle() { return "Informazioni su " + AboutProgramTitle(); }

std::string AboutVersionText() { return "Versione " + VersionNumberText(); }

}  // namespace vagliante
