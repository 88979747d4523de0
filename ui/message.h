// A modal message box: a text, a title, an icon and a single OK button, and
// optionally a longer text the user can open below it.
#pragma once

#include <string>

namespace vagliante::ui {

enum class MessageIcon { None, Information, Critical };

struct Message {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
    std::string details;
};

// The title of every completion message.
inline constexpr const char* kMessageTitle = "Messaggio";

}  // namespace vagliante::ui
