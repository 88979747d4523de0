// vagliante-cli: the filters and conversions of Vagliante, from the command line.
//
// It calls the same core functions as the windows, so the files it writes are
// byte for byte theirs. Exit status: 0 done, 1 the work of a source failed
// (one line on stderr each), 2 wrong usage, 128 + N stopped by signal N
// (Ctrl-C: 130), with the files of the sources not done as they were. A
// signal that comes once a source's files are in place stops nothing: the
// source is done.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "cli/command_line.h"
#include "cli/summary_json.h"
#include "cli/terminal_progress.h"
#include "convert/convert.h"
#include "filter/filters.h"
#include "filter/scan_log.h"
#include "platform/os_file.h"
#include "platform/program_info.h"
#include "platform/run_error.h"
#include "platform/stop.h"
#include "platform/utf8.h"

namespace {

using namespace vagliante;
using namespace vagliante::cli;

constexpr const char* kProgram = "vagliante-cli";

// A filter's summary is the batch's; a conversion's goes into `conversion`.
std::optional<RunSummary> RunCommand(const CommandLine& line, const Job& job, Progress& progress,
                                     std::optional<ConversionSummary>& conversion) {
    switch (line.command->id) {
        case CommandId::Aggiornamento:
            return FilterUpdate(job.source, job.destination, progress);
        case CommandId::Attivazione:
            return FilterActivation(job.source, job.destination, progress);
        case CommandId::Bin2Txt:
            conversion = ConvertBinToTxt(job.source, job.destination, progress);
            break;
        case CommandId::Txt2Bin:
            conversion = ConvertTxtToBin(job.source, job.destination, progress);
            break;
        case CommandId::Record:
            ScanLog(job.source, line.marker, job.destination, progress);
            break;
    }
    return std::nullopt;
}

// What standard output shows for a source that is done.
std::string DoneText(const CommandLine& line, const Job& job, const Outcome& outcome,
                     const std::optional<ConversionSummary>& conversion) {
    if (line.summary == SummaryMode::Json)
        return (outcome.summary ? SummaryJson(*outcome.summary) : SummaryJson(*conversion)) + "\n";
    std::string text = line.folder ? job.source + ": " : std::string();
    text += line.command->doneText;
    text += '\n';
    if (line.summary == SummaryMode::Text)
        text += outcome.summary ? SummaryText(*outcome.summary) : SummaryText(*conversion);
    return text;
}

// The name the user gave for `path`: "-" rather than the path that stands
// for standard input or output. In a batch, an error that names no file
// (out of memory) names the source.
std::string GivenName(const CommandLine& line, const Job& job, const std::string& path) {
    if (line.folder) return path.empty() ? job.source : path;
    if (path == job.destination) return line.destination;
    if (path == job.source) return line.sources.at(0);
    return path;
}

// Whether a job's data goes to standard output, as "-" or under any other
// name of it: its completion message then goes to standard error.
bool WritesStandardOutput(const Job& job) {
    if (job.toStandardOutput) return true;
    for (const std::string& output : job.outputs)
        if (os::IsStandardOutput(output)) return true;
    return false;
}

// A source's length for the progress line, without opening it (a pipe
// would wait for its writer); 0 when it is no plain file or cannot be seen.
std::int64_t SourceLength(const std::string& source) {
    try {
        std::error_code error;
        const std::u8string utf8(source.begin(), source.end());
        const auto size = std::filesystem::file_size(std::filesystem::path(utf8), error);
        return error ? 0 : static_cast<std::int64_t>(size);
    } catch (const std::exception&) {  // a name the library cannot convert
        return 0;
    }
}

int Run(const CommandLine& line, const std::vector<Job>& jobs) {
    // One error line for a missing folder, rather than one per source.
    if (line.folder && !os::IsDirectory(*line.folder)) {
        WriteText(stderr, std::string(kProgram) + ": " +
                              RunError(ErrorNumber::PathNotFound, *line.folder).what() + "\n");
        return 1;
    }
    const bool display = IsConsole(stderr);
    std::vector<std::int64_t> sizes(jobs.size(), 0);
    if (display)
        for (std::size_t i = 0; i < jobs.size(); ++i) sizes[i] = SourceLength(jobs[i].source);
    std::vector<bool> toStandardOutput(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i)
        toStandardOutput[i] = WritesStandardOutput(jobs[i]);
    TerminalProgress progress(display ? stderr : nullptr, line.command->name, std::move(sizes));

    const int threads = line.jobs > 0
                            ? line.jobs
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    bool failed = false;
    bool stopped = false;
    std::vector<std::optional<ConversionSummary>> conversions(jobs.size());
    RunJobs(
        jobs.size(), threads,
        [&](std::size_t i) {
            struct Ended {
                TerminalProgress& progress;
                std::size_t index;
                ~Ended() { progress.SourceEnded(index); }
            } ended{progress, i};
            if (StopSignal() != 0) throw RunStopped();
            try {
                return RunWithErrorNumbers(
                    [&] { return RunCommand(line, jobs[i], progress.Source(i), conversions[i]); });
            } catch (const RunError& error) {
                throw RunError(error.Code(), GivenName(line, jobs[i], error.Path()));
            }
        },
        [&](std::size_t i, const Outcome& outcome) {
            switch (outcome.state) {
                case Outcome::State::Done:
                    // With the data on standard output, the message goes to stderr.
                    progress.Print(toStandardOutput[i] ? stderr : stdout,
                                   DoneText(line, jobs[i], outcome, conversions[i]));
                    // Text that was not all hexadecimal: the run stands, with a warning.
                    if (conversions[i] && conversions[i]->nonHexPairs > 0)
                        progress.Print(stderr, std::string(kProgram) + ": Attenzione: " +
                                                   (line.folder ? jobs[i].source + ": " : "") +
                                                   NonHexPairsText(conversions[i]->nonHexPairs) +
                                                   "\n");
                    break;
                case Outcome::State::Failed:
                    failed = true;
                    progress.Print(stderr, std::string(kProgram) + ": " + outcome.error + "\n");
                    break;
                case Outcome::State::Stopped:
                    stopped = true;
                    break;
            }
        });
    // A stopped run is no failure: no message, the status tells the signal.
    if (stopped) return StopExitStatus(StopSignal());
    // Standard output that failed is an error, unless a stop (its reader
    // gone, a signal during the message) came once every source was done.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && StopSignal() == 0) return 1;
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Arguments(argc, argv);
    // First, before anything opens a file that could take a closed
    // standard stream's number.
    StopOnSignals();
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    CommandLine line;
    std::vector<Job> jobs;
    try {
        line = ParseCommandLine(arguments);
        if (line.action == CommandLine::Action::Help) {
            WriteText(stdout, HelpText(line.command));
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
        if (line.action == CommandLine::Action::Version) {
            WriteText(stdout, VersionText() + "\n");
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
        jobs = PlanJobs(line);
    } catch (const UsageError& error) {
        const std::string command = error.Command() ? std::string(" ") + error.Command()->name : "";
        WriteText(stderr, std::string(kProgram) + ": " + error.what() + "\n\n" +
                              UsageText(error.Command()) + "Per saperne di più: " + kProgram +
                              command + " --help\n");
        return 2;
    }
    // Held to the end, so that a signal after the run cannot end the process
    // with another status than the one that tells what became of the files.
    const RunScope running;
    try {
        std::exit(Run(line, jobs));
    } catch (const std::bad_alloc&) {
        WriteText(stderr, std::string(kProgram) + ": " +
                              RunError(ErrorNumber::OutOfMemory, "").what() + "\n");
        std::exit(1);
    }
}
