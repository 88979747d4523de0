// bench-window-driver: one run from the program's own window, timed.
//
//   bench-window-driver COMMAND SOURCE DESTINATION
//
// COMMAND is aggiornamento, attivazione, bin2txt or txt2bin. The driver makes
// the window that runs it (the main window for the filters, the conversion
// window in its mode for the conversions) with the platform's renderer, fills
// its two boxes, selects the filter, presses the button as a user would and
// prints the seconds from the press to the completion message, then the
// message. Exit status 1 when the message is not the completion message.
// tools/bench-window runs it beside vagliante-cli.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "app/frm_main.h"
#include "convert/convert.h"
#include "convert/frm_cnv.h"
#include "filter/filters.h"
#include "ui/scripts.h"

#ifdef _WIN32
#include "platform/utf8.h"
#include "ui/win32/win32_form.h"
#else
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include "ui/qt/qt_form.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Command {
    std::string_view name;
    const char* option;                     // the filter's option, or nullptr
    const vagliante::ConversionMode* mode;  // the conversion's mode, or nullptr
    const char* doneText;
};

const Command kCommands[] = {
    {"aggiornamento", "Option1", nullptr, vagliante::kMsgUpdateDone},
    {"attivazione", "Option2", nullptr, vagliante::kMsgActivationDone},
    {"bin2txt", nullptr, &vagliante::kBinToTxt, vagliante::kMsgConversionDone},
    {"txt2bin", nullptr, &vagliante::kTxtToBin, vagliante::kMsgConversionDone},
};

#ifdef _WIN32
// Fills the boxes, selects the option and presses the button by messages,
// as the system passes a user's clicks on.
void Press(vagliante::ui::Form& form, const Command& command, const std::string& source,
           const std::string& destination, Clock::time_point& pressed) {
    using vagliante::ui::win32::Win32Form;
    auto window = Win32Form::Create(form);
    window->Show();
    ::SetWindowTextW(window->Control("Text1"), vagliante::ToUtf16(source).c_str());
    ::SetWindowTextW(window->Control("Text2"), vagliante::ToUtf16(destination).c_str());
    if (command.option) ::SendMessageW(window->Control(command.option), BM_CLICK, 0, 0);
    pressed = Clock::now();
    ::SendMessageW(window->Control("Command1"), BM_CLICK, 0, 0);
}
#else
void Press(vagliante::ui::Form& form, const Command& command, const std::string& source,
           const std::string& destination, Clock::time_point& pressed) {
    using vagliante::ui::qt::QtForm;
    auto window = QtForm::Create(form);
    window->show();
    window->SetText("Text1", source);
    window->SetText("Text2", destination);
    if (command.option) window->Control<QRadioButton>(command.option)->click();
    pressed = Clock::now();
    window->Control<QPushButton>("Command1")->click();
}
#endif

int Bench(const Command& command, const std::string& source, const std::string& destination) {
    Clock::time_point pressed;
    double seconds = -1;
    std::string message;
    vagliante::ui::SetMessageScript([&](const vagliante::ui::Message& m) {
        seconds = std::chrono::duration<double>(Clock::now() - pressed).count();
        message = m.text;
    });
    std::unique_ptr<vagliante::ui::Form> form;
    if (command.option) {
        form = std::make_unique<vagliante::frmMain>();
    } else {
        auto cnv = std::make_unique<vagliante::frmCnv>();
        cnv->Chiamatoda = command.mode;
        form = std::move(cnv);
    }
    Press(*form, command, source, destination, pressed);
    std::printf("%.4f %s\n", seconds, message.c_str());
    return message == command.doneText ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    vagliante::UseUtf8Arguments(argc, argv);
#else
    QApplication app(argc, argv);
#endif
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench-window-driver COMMAND SOURCE DESTINATION\n");
        return 2;
    }
    for (const Command& command : kCommands)
        if (command.name == argv[1]) return Bench(command, argv[2], argv[3]);
    std::fprintf(stderr, "bench-window-driver: no command %s\n", argv[1]);
    return 2;
}
