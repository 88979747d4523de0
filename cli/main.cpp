// vagliante-cli: the filters and conversions of Vagliante, from the command line.
//
// It calls the same core functions as the windows, so the files it writes are
// byte for byte theirs. Exit status: 0 done, 1 the work failed (one line on
// stderr), 2 wrong usage, 128 + N stopped by signal N (Ctrl-C: 130).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "cli/terminal_progress.h"
#include "convert/convert.h"
#include "filter/filters.h"
#include "platform/os_file.h"
#include "platform/program_info.h"
#include "platform/run_error.h"
#include "platform/stop.h"
#include "platform/utf8.h"

namespace {

using Work = std::function<void(const std::string&, const std::string&, vagliante::Progress&)>;

struct Command {
    const char* name;
    const char* help;
    const char* sourceHelp;
    const char* destinationHelp;
    Work work;
    const char* doneText;
    bool streams;  // "-" names standard input or output
};

const Command kCommands[] = {
    {"aggiornamento", "Report of the update commands (84 00) of a log", "SOURCE.BIN", "DEST.TXT",
     vagliante::FilterUpdate, vagliante::kMsgUpdateDone, false},
    {"attivazione", "The three reports of the activation commands (82 00), named from DEST",
     "SOURCE.BIN", "DEST.TXT", vagliante::FilterActivation, vagliante::kMsgActivationDone, false},
    {"bin2txt", "A binary file as hexadecimal text", "SOURCE.BIN", "DEST.TXT",
     vagliante::ConvertBinToTxt, vagliante::kMsgConversionDone, true},
    {"txt2bin", "Hexadecimal text back into binary", "SOURCE.TXT", "DEST.BIN",
     vagliante::ConvertTxtToBin, vagliante::kMsgConversionDone, true},
};

int Run(const Command& command, std::string source, std::string destination) {
    // Data on standard output: the completion message goes to stderr.
    FILE* messages = stdout;
    if (command.streams && source == "-") source = vagliante::os::StandardInputPath();
    if (command.streams && destination == "-") {
        destination = vagliante::os::StandardOutputPath();
        messages = stderr;
    }
    try {
        if (vagliante::cli::TerminalProgress::IsTerminal(stderr)) {
            vagliante::cli::TerminalProgress progress(stderr, command.name);
            command.work(source, destination, progress);
        } else {
            vagliante::NullProgress progress;
            command.work(source, destination, progress);
        }
    } catch (const vagliante::RunStopped&) {
        return vagliante::StopExitStatus(vagliante::StopSignal());
    } catch (const vagliante::RunError& error) {
        std::fprintf(stderr, "vagliante-cli: %s\n", error.what());
        return 1;
    } catch (const std::exception& error) {  // out of memory and the like
        std::fprintf(stderr, "vagliante-cli: %s\n", error.what());
        return 1;
    }
    std::fprintf(messages, "%s\n", command.doneText);
    return std::fflush(messages) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    vagliante::UseUtf8Arguments(argc, argv);
    CLI::App app{"Vagliante: binary command logs into text reports, and binary/hex conversions.",
                 "vagliante-cli"};
    app.set_version_flag("--version", std::string(vagliante::VersionText()));
    app.require_subcommand(1);

    struct Arguments {
        std::string source;
        std::string destination;
    };
    const Command* chosen = nullptr;
    Arguments arguments;
    for (const Command& command : kCommands) {
        CLI::App* sub = app.add_subcommand(command.name, command.help);
        sub->add_option("source", arguments.source, command.sourceHelp)
            ->required()
            ->type_name(command.sourceHelp);
        sub->add_option("destination", arguments.destination, command.destinationHelp)
            ->required()
            ->type_name(command.destinationHelp);
        sub->callback([&chosen, &command] { chosen = &command; });
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "vagliante-cli: " << e.what() << "\n\n" << app.help();
        return 2;
    }
    vagliante::StopOnSignals();
    return Run(*chosen, arguments.source, arguments.destination);
}
