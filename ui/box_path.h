// Paths as users put them in a window's text boxes: typed, pasted (Explorer's
// "Copy as path" wraps them in double quotes), dropped from a file manager
// (a file:// address), and the folder a file dialog opens in for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vagliante::ui {

// The path the text of a box means: a path wrapped in double quotes (blanks
// around them allowed) without them, a file:// address as the local path it
// names; any other text unchanged.
std::string PathFromBox(std::string_view text);

// The local path that a file:// address names ("file:///home/a%20b.BIN" is
// "/home/a b.BIN"; on Windows "file:///C:/Log/x.bin" is "C:\Log\x.bin" and a
// host gives a network path); nothing for another scheme, a host that is not
// this machine (on POSIX) or an escaped NUL.
std::optional<std::string> LocalPathFromUri(std::string_view uri);

// The path a file dropped on a window, or named at the program's start,
// gives: a file: address the local path it names (nothing when it names
// none), any other text the path as it is.
std::optional<std::string> DroppedPath(std::string_view text);

// The folder a file dialog opens in for the path in its box: the path itself
// when it names a folder, else the folder it lies in; for an empty box, that
// of the path in the other box of the pair (the source's for an empty
// destination). Empty when neither names one: the system chooses.
std::string DialogFolder(std::string_view boxText, std::string_view otherBoxText);

}  // namespace vagliante::ui
