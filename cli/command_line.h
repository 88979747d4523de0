// The command line of vagliante-cli: its commands, their options, and the
// help that shows them.
//
//   vagliante-cli COMANDO [OPZIONI] [--] SORGENTE DEST
//   vagliante-cli COMANDO [OPZIONI] -o CARTELLA [--] SORGENTE...
//   vagliante-cli record 8200|8400 [OPZIONI] [--] SORGENTE DEST   (and with -o)
//
// Options may stand anywhere before "--"; after it every argument is a path,
// even one that begins with "-". A lone "-" is a path too. Anything else
// that begins with "-" and is not an option of the command is a usage error
// that names it. Every text it shows is Italian, as the program's messages.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vagliante::cli {

enum class CommandId { Aggiornamento, Attivazione, Bin2Txt, Txt2Bin, Record };

struct CommandInfo {
    CommandId id;
    const char* name;
    const char* purpose;  // one line, for the list of commands
    const char* source;   // how its help names a source
    const char* destination;
    const char* doneText;       // printed when a source is done
    const char* summary;        // --summary's text in its help; nullptr: it takes none
    bool readsStandardInput;    // "-" as SOURCE (the two-path form)
    bool writesStandardOutput;  // "-" as DEST
    const char* details;        // its help's paragraph: what it writes
    const char* examples;       // its help's examples, one a line
};

std::span<const CommandInfo> Commands();

enum class SummaryMode { None, Text, Json };

struct CommandLine {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    const CommandInfo* command = nullptr;  // null for the program's own help and version
    std::string marker;                    // record: "8200" or "8400"
    std::vector<std::string> sources;      // one, unless -o is given
    std::string destination;               // without -o
    std::optional<std::string> folder;     // -o FOLDER
    int jobs = 0;                          // -j N; 0: as many as the cores
    SummaryMode summary = SummaryMode::None;
};

// Wrong usage: the message names what was wrong; `command` is the command
// whose usage to show (null: the program's).
class UsageError : public std::runtime_error {
  public:
    UsageError(const std::string& message, const CommandInfo* command)
        : std::runtime_error(message), command_(command) {}
    const CommandInfo* Command() const { return command_; }

  private:
    const CommandInfo* command_;
};

inline constexpr int kMaxJobs = 256;

// `arguments` without the program's name. Throws UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage lines of a command (or of the program, for null).
std::string UsageText(const CommandInfo* command);
// The whole help: usage, what it does, options, examples.
std::string HelpText(const CommandInfo* command);

}  // namespace vagliante::cli
