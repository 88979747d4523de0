// Vagliante on Windows: the main window in native controls.
#include "app/frm_main.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/win32_form.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    vagliante::frmMain form;
    auto window = vagliante::ui::win32::Win32Form::Create(form);
    // A log named at the start (dropped on the program's icon, or "Open
    // with") is as one dropped on the window.
    const std::string log = vagliante::ui::win32::FileArgument(::GetCommandLineW());
    if (!log.empty()) form.FileDropped({}, log);
    window->Show();
    return vagliante::ui::win32::RunMessageLoop();
}
