// Vagliante on Windows: the main window in native controls.
#include "app/frm_main.h"
#include "ui/win32/win32_form.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    vagliante::frmMain form;
    auto window = vagliante::ui::win32::Win32Form::Create(form);
    window->Show();
    return vagliante::ui::win32::RunMessageLoop();
}
