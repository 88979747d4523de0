#include "cli/command_line.h"

#include <array>
#include <charconv>

#include "convert/convert.h"
#include "filter/filters.h"

namespace vagliante::cli {
namespace {

constexpr const char* kProgram = "vagliante-cli";

const std::array<CommandInfo, 5> kCommands = {{
    {CommandId::Aggiornamento, "aggiornamento", "Report of the update commands (84 00) of a log",
     "SOURCE.BIN", "DEST.TXT", kMsgUpdateDone, true, false, false,
     "Writes the update commands of SOURCE.BIN of the three known sizes into the report\n"
     "DEST.TXT. With -o, LOG1.BIN gives FOLDER/LOG1.TXT.\n",
     "vagliante-cli aggiornamento LOG.BIN AGG.TXT\n"
     "vagliante-cli aggiornamento --summary LOG.BIN AGG.TXT\n"
     "vagliante-cli aggiornamento -o reports -j 2 --summary=json logs/*.BIN\n"},
    {CommandId::Attivazione, "attivazione",
     "The three reports of the activation commands (82 00), named from DEST", "SOURCE.BIN",
     "DEST.TXT", kMsgActivationDone, true, false, false,
     "Writes the activation commands of SOURCE.BIN into three reports named after DEST.TXT\n"
     "without its last four characters: DEST-5C.TXT, DEST-63-70.TXT and DEST-63-71.TXT.\n"
     "With -o, LOG1.BIN gives FOLDER/LOG1-5C.TXT, FOLDER/LOG1-63-70.TXT and\n"
     "FOLDER/LOG1-63-71.TXT.\n",
     "vagliante-cli attivazione LOG.BIN ATT.TXT\n"
     "vagliante-cli attivazione --summary LOG.BIN ATT.TXT\n"
     "vagliante-cli attivazione -o reports --summary=json logs/*.BIN\n"},
    {CommandId::Bin2Txt, "bin2txt", "A binary file as hexadecimal text", "SOURCE.BIN", "DEST.TXT",
     kMsgConversionDone, false, true, true,
     "Writes every byte of SOURCE.BIN as two hexadecimal digits into DEST.TXT, without\n"
     "separators or line ends. \"-\" as SOURCE reads standard input, as DEST writes\n"
     "standard output (the message then goes to standard error). With -o, LOG1.BIN\n"
     "gives FOLDER/LOG1.TXT.\n",
     "vagliante-cli bin2txt LOG.BIN LOG.TXT\n"
     "vagliante-cli bin2txt -o hex logs/*.BIN\n"},
    {CommandId::Txt2Bin, "txt2bin", "Hexadecimal text back into binary", "SOURCE.TXT", "DEST.BIN",
     kMsgConversionDone, false, true, true,
     "Reads SOURCE.TXT two digits at a time into the bytes of DEST.BIN. \"-\" as SOURCE\n"
     "reads standard input, as DEST writes standard output (the message then goes to\n"
     "standard error). With -o, NAME.TXT gives FOLDER/NAME.BIN.\n",
     "vagliante-cli txt2bin LOG.TXT LOG.BIN\n"
     "vagliante-cli txt2bin -o binary hex/*.TXT\n"},
    {CommandId::Record, "record", "The record lines of one marker (8200 or 8400), one per line",
     "SOURCE.BIN", "DEST.TXT", kMsgUpdateDone, false, false, true,
     "Writes every record of SOURCE.BIN that begins with the marker (8200: activation,\n"
     "8400: update) as one line of hexadecimal digits ended by CR LF into DEST.TXT: all of\n"
     "them, those the filters leave out included. The record still open at the end of the\n"
     "log has no marker after it and is not listed. \"-\" as DEST writes standard output\n"
     "(the message then goes to standard error). With -o, LOG1.BIN gives FOLDER/LOG1.TXT.\n",
     "vagliante-cli record 8200 LOG.BIN RECORDS.TXT\n"
     "vagliante-cli record 8400 LOG.BIN -\n"
     "vagliante-cli record 8400 -o records logs/*.BIN\n"},
}};

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

// 1 to kMaxJobs, in plain decimal digits; anything else is nullopt.
std::optional<int> ParseJobs(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 1 || value > kMaxJobs)
        return std::nullopt;
    return value;
}

class Parser {
  public:
    Parser(const std::vector<std::string>& arguments, const CommandInfo* command)
        : args_(arguments), command_(command) {
        line_.command = command;
    }

    CommandLine Parse() {
        std::vector<std::string> paths;
        bool optionsEnded = false;
        for (i_ = 1; i_ < args_.size(); ++i_) {
            const std::string& arg = args_[i_];
            if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-')
                paths.push_back(arg);
            else if (arg == "--")
                optionsEnded = true;
            else if (arg.starts_with("--"))
                LongOption(arg);
            else
                ShortOption(arg);
        }
        if (help_) {
            line_.action = CommandLine::Action::Help;
            return line_;
        }
        Positionals(paths);
        return line_;
    }

  private:
    [[noreturn]] void Fail(const std::string& message) const {
        throw UsageError(message, command_);
    }

    void LongOption(const std::string& arg) {
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos) value = arg.substr(equals + 1);
        if (name == "--help") {
            if (value) Fail("option --help takes no value: " + arg);
            help_ = true;
        } else if (name == "--output" || name == "--jobs") {
            Valued(name, value ? *value : NextValue(name));
        } else if (name == "--summary" && command_->takesSummary) {
            if (seenSummary_) Fail("option --summary given twice");
            seenSummary_ = true;
            if (!value || *value == "text")
                line_.summary = SummaryMode::Text;
            else if (*value == "json")
                line_.summary = SummaryMode::Json;
            else
                Fail("--summary takes text or json, not: " + *value);
        } else {
            Fail("unknown option: " + arg);
        }
    }

    void ShortOption(const std::string& arg) {
        const std::string name = arg.substr(0, 2);
        if (arg == "-h")
            help_ = true;
        else if (name == "-o" || name == "-j")
            Valued(name, arg.size() > 2 ? arg.substr(2) : NextValue(name));
        else
            Fail("unknown option: " + arg);
    }

    // The next argument is the value, even when it begins with "-".
    std::string NextValue(const std::string& name) {
        if (i_ + 1 >= args_.size()) Fail("option " + name + " needs a value");
        return args_[++i_];
    }

    void Valued(const std::string& name, const std::string& value) {
        if (name == "-o" || name == "--output") {
            if (line_.folder) Fail("option -o (--output) given twice");
            if (value.empty()) Fail("option " + name + " needs a folder");
            line_.folder = value;
        } else {
            if (line_.jobs != 0) Fail("option -j (--jobs) given twice");
            auto jobs = ParseJobs(value);
            if (!jobs)
                Fail("option " + name + " takes a number from 1 to " + std::to_string(kMaxJobs) +
                     ", not: " + value);
            line_.jobs = *jobs;
        }
    }

    void Positionals(std::vector<std::string>& paths) {
        auto next = paths.begin();
        if (command_->id == CommandId::Record) {
            if (next == paths.end()) Fail("record needs the marker 8200 or 8400");
            if (*next != "8200" && *next != "8400")
                Fail("record takes the marker 8200 or 8400, not: " + *next);
            line_.marker = *next++;
        }
        std::vector<std::string> rest(next, paths.end());
        if (line_.folder) {
            if (rest.empty()) Fail("-o FOLDER needs at least one " + std::string(command_->source));
            line_.sources = std::move(rest);
            return;
        }
        if (line_.jobs != 0) Fail("option -j works only with -o FOLDER");
        if (rest.size() < 2)
            Fail(std::string("missing ") +
                 (rest.empty() ? command_->source : command_->destination));
        if (rest.size() > 2) Fail("unexpected argument: " + rest[2]);
        line_.sources = {rest[0]};
        line_.destination = rest[1];
    }

    const std::vector<std::string>& args_;
    const CommandInfo* command_;
    CommandLine line_;
    std::size_t i_ = 0;
    bool help_ = false;
    bool seenSummary_ = false;
};

}  // namespace

std::span<const CommandInfo> Commands() { return kCommands; }

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) throw UsageError("no command given", nullptr);
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h" || first == "--version") {
        if (arguments.size() > 1) throw UsageError("unexpected argument: " + arguments[1], nullptr);
        CommandLine line;
        line.action =
            first == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
        return line;
    }
    if (first.starts_with("-")) throw UsageError("unknown option: " + first, nullptr);
    const CommandInfo* command = FindCommand(first);
    if (!command) throw UsageError("unknown command: " + first, nullptr);
    return Parser(arguments, command).Parse();
}

std::string UsageText(const CommandInfo* command) {
    std::string text = "Usage:\n";
    if (!command) {
        text += std::string("  ") + kProgram + " COMMAND [OPTIONS] [--] SOURCE DEST\n";
        text += std::string("  ") + kProgram + " COMMAND [OPTIONS] -o FOLDER [--] SOURCE...\n";
        text += std::string("  ") + kProgram + " COMMAND --help\n";
        text += std::string("  ") + kProgram + " --version\n";
        return text;
    }
    const std::string head = std::string("  ") + kProgram + " " + command->name +
                             (command->id == CommandId::Record ? " 8200|8400" : "") + " [OPTIONS] ";
    text += head + "[--] " + command->source + " " + command->destination + "\n";
    text += head + "-o FOLDER [--] " + command->source + "...\n";
    return text;
}

std::string HelpText(const CommandInfo* command) {
    if (!command) {
        std::string text = std::string(kProgram) +
                           ": binary command logs into text reports, and binary/hex "
                           "conversions.\n\n" +
                           UsageText(nullptr) + "\nCommands:\n";
        for (const CommandInfo& c : kCommands) {
            std::string name = c.name;
            name.resize(15, ' ');
            text += "  " + name + c.purpose + "\n";
        }
        text +=
            "\nExit status: 0 done, 1 a source failed, 2 wrong usage.\n"
            "Run '" +
            std::string(kProgram) + " COMMAND --help' for a command's options and examples.\n";
        return text;
    }
    std::string text = UsageText(command) + "\n" + command->details + "\nOptions:\n";
    text +=
        "  -o, --output FOLDER   write each source's outputs into FOLDER, named after the\n"
        "                        source; any number of sources\n"
        "  -j, --jobs N          with -o, run up to N sources at once (default: the number\n"
        "                        of cores)\n";
    if (command->takesSummary)
        text +=
            "  --summary[=text]      after the completion message, the records, the lines of\n"
            "                        each report and the records left out, by reason and size\n"
            "  --summary=json        instead of the message and those lines, one JSON object on\n"
            "                        standard output; with -o one a line, in the order of the\n"
            "                        sources (a source that fails has none)\n";
    text +=
        "  -h, --help            this help\n"
        "  --                    the end of the options: a path after it may begin with \"-\"\n"
        "\nExamples:\n";
    std::string_view examples = command->examples;
    while (!examples.empty()) {
        const std::size_t end = examples.find('\n');
        text += "  ";
        text += examples.substr(0, end);
        text += '\n';
        examples.remove_prefix(end == std::string_view::npos ? examples.size() : end + 1);
    }
    return text;
}

}  // namespace vagliante::cli
