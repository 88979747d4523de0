// Text in a std::string is UTF-8 throughout the program, paths included, on
// every platform: on Windows the programs run with UTF-8 as their code page
// (their manifest asks for it), and the calls that take UTF-16 convert here.
#pragma once

#include <string>
#include <string_view>

namespace vagliante {

// Makes `argv` the program's arguments in UTF-8. On Windows it rebuilds
// them from the wide command line, so that a path outside the user's code
// page arrives whole even where the manifest's code page is not honoured
// (Windows before 10 version 1903); elsewhere it leaves them as they are.
void UseUtf8Arguments(int& argc, char**& argv);

#ifdef _WIN32
// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring ToUtf16(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);
#endif

}  // namespace vagliante
