// Shows each window of the program in turn, as a user sees it, so that a
// script can take its picture: for each window it prints
//   SHOW <name> <left> <top> <width> <height>
// (the window's frame on the screen, in pixels) and waits for a line on its
// input before going on to the next. Prints DONE at the end. With
// --high-contrast, the windows are shown in high contrast (black), their
// names ending in "-hc".
#include <cstdio>
#include <optional>
#include <string>

#include "about/frm_about.h"
#include "app/frm_main.h"
#include "convert/frm_cnv.h"
#include "platform/utf8.h"
#include "tests/win32/high_contrast.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/win32_form.h"

namespace {

using vagliante::ui::win32::Win32Form;

void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        vagliante::ui::win32::DispatchFormMessage(message);
}

// Waits while handling messages: Wine also puts what was painted on the
// screen while a program waits for messages, not when it paints.
void Settle() {
    for (int i = 0; i < 15; ++i) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::string suffix;  // of every window's name

// Lets the window paint itself whole, then hands it to the script.
void Shot(const std::string& name, HWND window) {
    Settle();
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle();
    RECT rect;
    ::GetWindowRect(window, &rect);
    std::printf("SHOW %s %ld %ld %ld %ld\n", (name + suffix).c_str(), rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return;
}

void Type(const Win32Form& form, const char* box, const std::string& text) {
    ::SetWindowTextW(form.Control(box), vagliante::ToUtf16(text).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<vagliante::test::HighContrast> contrast;
    if (argc > 1 && std::string(argv[1]) == "--high-contrast") {
        contrast.emplace();
        suffix = "-hc";
    }
    vagliante::frmMain mainForm;
    auto main = Win32Form::Create(mainForm);
    Type(*main, "Text1", "C:\\Log città\\Log1.bin");
    Type(*main, "Text2", "C:\\Журнал\\Rapporto.TXT");
    main->Show();
    Shot("frmMain", main->Handle());

    for (auto [name, mode] :
         {std::pair{"B2T", &vagliante::kBinToTxt}, std::pair{"T2B", &vagliante::kTxtToBin}}) {
        vagliante::frmCnv form;
        auto window = Win32Form::Create(form, main.get());
        form.Chiamatoda = mode;
        Type(*window, "Text1", std::string("C:\\Log città\\centrale-") + name + ".dat");
        window->Show();
        Shot(std::string("frmCnv-") + name, window->Handle());
    }

    vagliante::frmAbout about;
    auto window = Win32Form::Create(about, main.get());
    window->Show();
    Shot("frm_about", window->Handle());

    std::printf("DONE\n");
    std::fflush(stdout);
    return 0;
}
