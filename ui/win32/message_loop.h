// The program's message loop on Windows, and the file named at its start.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace vagliante::ui::win32 {

// Dispatches one message of the thread's queue: keyboard navigation (Tab,
// the arrows in the option group, access letters) for a form's window.
void DispatchFormMessage(MSG& message);

// Runs the program's message loop until the main window closes; returns the
// exit status.
int RunMessageLoop();

// The file named on the command line `commandLine` (the program's own
// name first; a log dropped on the program's icon arrives so), as a full
// path, or a file: address as it is (the window's drop takes either);
// empty without one.
std::string FileArgument(const wchar_t* commandLine);

}  // namespace vagliante::ui::win32
