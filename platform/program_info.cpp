#include "platform/program_info.h"

namespace vagliante {

VersionNumbers ProgramVersion() { return {kVersionMajor, kVersionMinor, kVersionRevision}; }

}  // namespace vagliante
