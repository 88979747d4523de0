// The sources of one command line as jobs: their outputs' names, the checks
// made before anything runs, and the running of up to N of them at once.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "filter/run_summary.h"

namespace vagliante::cli {

struct Job {
    std::string source;                // the path the command takes
    std::string destination;           // likewise
    std::vector<std::string> outputs;  // the files it writes
    bool toStandardOutput = false;     // its data goes to standard output
};

// The one job of the two-path form ("-" standing for standard input or
// output where the command takes it), or with -o FOLDER one job per source
// writing into FOLDER under the source's name. Throws UsageError when two
// sources would give the same output name (compared without regard to
// case, as Windows does), an output would replace another source, or "-"
// stands among the sources.
std::vector<Job> PlanJobs(const CommandLine& line);

// The end of one job.
struct Outcome {
    enum class State { Done, Failed, Stopped };
    State state = State::Stopped;
    std::string error;                  // Failed: the error's text
    std::optional<RunSummary> summary;  // Done, for the filters
};

// Runs work(i) for i in [0, count) on up to `threads` threads and calls
// report(i, outcome) on the calling thread for each job in their order, as
// soon as that job and all before it have ended. A failed job does not stop
// the others; a stopped one (RunStopped) starts no further job, and those
// not started are reported as stopped. Threads that cannot be started
// leave their jobs to those that could, or to the calling thread.
void RunJobs(std::size_t count, int threads,
             const std::function<std::optional<RunSummary>(std::size_t)>& work,
             const std::function<void(std::size_t, const Outcome&)>& report);

}  // namespace vagliante::cli
