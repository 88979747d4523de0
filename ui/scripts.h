// Test scripts that answer the file dialogs and the message boxes in place
// of the user, so that no test waits on a real one. Every renderer asks
// these before it shows a real dialog or box. Set and cleared by tests only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ui/common_dialog.h"
#include "ui/message.h"

namespace vagliante::ui {

// Returns the chosen path, or nothing for a cancelled dialog.
using FileDialogScript = std::function<std::optional<std::string>(const FileDialogRequest&)>;
using MessageScript = std::function<void(const Message&)>;

// Installs (or, with an empty function, removes) a script.
void SetFileDialogScript(FileDialogScript script);
void SetMessageScript(MessageScript script);

// The installed scripts, empty when none is.
const FileDialogScript& ActiveFileDialogScript();
const MessageScript& ActiveMessageScript();

}  // namespace vagliante::ui
