// Text in the system's own 8-bit encoding (paths as the program receives
// them) as UTF-8, for formats that require it such as JSON.
#pragma once

#include <string>

namespace vagliante::os {

// POSIX names are bytes, given as they are (UTF-8 on any usual system);
// on Windows the ANSI code page's text is converted.
std::string NativeToUtf8(const std::string& text);

}  // namespace vagliante::os
