// Text in a std::string is UTF-8 throughout the program, paths included, on
// every platform. On Windows every call that takes or gives text is the wide
// (UTF-16) one, converted here at the edge, so that a name outside the user's
// code page arrives whole whatever that code page is: the manifest asks for
// UTF-8 as the code page, but Windows before 10 version 1903, and machines
// whose policy says otherwise, keep the user's own.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vagliante {

// Makes `argv` the program's arguments in UTF-8. On Windows it rebuilds
// them from the wide command line; elsewhere it leaves them as they are.
void UseUtf8Arguments(int& argc, char**& argv);

// Writes `text` to `stream` for a person to read: to a Windows console in
// UTF-16 through WriteConsoleW, whatever the console's code page (cmd.exe's
// is the OEM one), with "\n" written as CR LF; anywhere else as the bytes
// themselves, as the C runtime writes them (CR LF on a redirected Windows
// stream). The stream is flushed.
void WriteText(std::FILE* stream, std::string_view text);

// Compares two names regardless of case, as Windows compares file names:
// negative, 0 or positive. On Windows by CompareStringOrdinal ignoring
// case, elsewhere by each character's upper case (È and è are one name).
int CompareCaseBlind(std::string_view a, std::string_view b);

// Whether `stream` is a terminal: on Windows, a console.
bool IsConsole(std::FILE* stream);

// While it lives, the terminal `stream` writes to takes the control
// sequences of a line drawn over itself ("\r", ESC [K): for a Windows console
// it turns their processing on (Windows 10 and later), and back to what it
// was at the end. Works() is false only for a console that cannot take them
// (older Windows); a POSIX terminal, a file or a pipe takes them as they are.
class ConsoleSequences {
  public:
    explicit ConsoleSequences(std::FILE* stream);
    ~ConsoleSequences();
    ConsoleSequences(const ConsoleSequences&) = delete;
    ConsoleSequences& operator=(const ConsoleSequences&) = delete;

    bool Works() const { return works_; }

  private:
    void* console_ = nullptr;  // the console whose mode is to be put back
    unsigned long mode_ = 0;
    bool works_ = true;
};

#ifdef _WIN32
// UTF-8 to UTF-16 and back; an invalid sequence becomes U+FFFD.
std::wstring ToUtf16(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

// The form of the UTF-8 `path` that a wide Windows call is given. A path
// whose full form is as long as kLongPathFrom or longer is given as
// "\\?\C:\..." or "\\?\UNC\server\share\...", which lifts the limit of
// MAX_PATH characters on every Windows, long-path setting or not. That form
// is taken literally, so it is made from the full path: a relative path is
// resolved against the current folder, "/" becomes "\", "." and ".."
// components are folded, as the system does for a plain path. Any other
// path (shorter ones, and those already in a "\\?\" or "\\.\" form) is
// given as it is, in UTF-16.
std::wstring SystemPath(std::string_view path);
// A folder's path must leave room for an 8.3 name: MAX_PATH less 12.
inline constexpr std::size_t kLongPathFrom = 248;

// The full form of the wide `path`, as the system makes it (the current
// folder and drive, "/" as "\", "." and ".."); empty when it cannot.
std::wstring FullPath(const std::wstring& path);

// A path the system gave back, in UTF-8, without the "\\?\" or "\\?\UNC\"
// of a drive or network path.
std::string UserPath(std::wstring_view path);
#endif

}  // namespace vagliante
