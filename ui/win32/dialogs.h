// The system's file dialog and message box, as the forms ask for them (or
// the test scripts in their place).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>
#include <string>

#include "ui/common_dialog.h"
#include "ui/message.h"

namespace vagliante::ui::win32 {

std::optional<std::string> ShowFileDialog(HWND owner, const FileDialogRequest& request);
void ShowMessageBox(HWND owner, const Message& message);

// A message's details as a task dialog shows them: the task dialog does not
// scroll, so details of more than `maxLines` lines (a log with records of
// many sizes) keep their first lines and say how many more there are.
std::string ExpandedInformation(const std::string& details, std::size_t maxLines = 24);

}  // namespace vagliante::ui::win32
