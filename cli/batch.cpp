#include "cli/batch.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "filter/filters.h"
#include "platform/os_file.h"
#include "platform/progress.h"
#include "platform/utf8.h"

namespace vagliante::cli {
namespace {

// The last part of a path: after its last separator, or after the drive
// of a name such as "C:LOG.BIN" on Windows.
std::string FileName(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (os::IsSeparator(path[i]) || (os::Separator() == '\\' && i == 1 && path[i] == ':'))
            start = i + 1;
    return path.substr(start);
}

// The name without its last extension; a name that begins with its only
// dot keeps it.
std::string Stem(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Join(const std::string& folder, const std::string& name) {
    const char last = folder.back();
    const bool ended = os::IsSeparator(last) || (os::Separator() == '\\' && last == ':');
    return ended ? folder + name : folder + os::Separator() + name;
}

// Names in the order of CompareCaseBlind: "È.TXT" and "è.txt" are one.
struct CaseBlindLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return CompareCaseBlind(a, b) < 0;
    }
};

Job BatchJob(const CommandInfo& command, const std::string& source, const std::string& folder) {
    const std::string stem = Stem(FileName(source));
    if (stem.empty())
        throw UsageError("nessun nome di file in " + std::string(command.source) + ": " + source,
                         &command);
    Job job{source, {}, {}};
    switch (command.id) {
        case CommandId::Attivazione:
            job.destination = Join(folder, stem + ".TXT");
            job.outputs = ActivationReportNames(job.destination);
            return job;
        case CommandId::Txt2Bin:
            job.destination = Join(folder, stem + ".BIN");
            break;
        default:
            job.destination = Join(folder, stem + ".TXT");
            break;
    }
    job.outputs = {job.destination};
    return job;
}

}  // namespace

std::vector<Job> PlanJobs(const CommandLine& line) {
    const CommandInfo& command = *line.command;
    if (!line.folder) {
        Job job{line.sources.at(0), line.destination, {line.destination}};
        if (command.readsStandardInput && job.source == "-") job.source = os::StandardInputPath();
        if (command.writesStandardOutput && job.destination == "-") {
            job.destination = os::StandardOutputPath();
            job.toStandardOutput = true;
        }
        return {job};
    }

    std::vector<Job> jobs;
    std::map<std::string, std::size_t, CaseBlindLess> owners;  // each output to its job
    for (const std::string& source : line.sources) {
        if (command.readsStandardInput && source == "-")
            throw UsageError("lo standard input (-) non può essere una delle sorgenti di -o",
                             &command);
        jobs.push_back(BatchJob(command, source, *line.folder));
        for (const std::string& output : jobs.back().outputs) {
            auto [at, added] = owners.emplace(output, jobs.size() - 1);
            if (!added)
                throw UsageError("sia " + jobs[at->second].source + " sia " + source +
                                     " sarebbero scritti in " + output,
                                 &command);
        }
    }
    // An output whose name another source bears may be that source itself,
    // which another job could be reading.
    std::multimap<std::string, std::size_t, CaseBlindLess> sourcesByName;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        sourcesByName.emplace(FileName(jobs[i].source), i);
    for (std::size_t i = 0; i < jobs.size(); ++i)
        for (const std::string& output : jobs[i].outputs) {
            auto [first, last] = sourcesByName.equal_range(FileName(output));
            for (auto it = first; it != last; ++it)
                if (it->second != i && os::SameFile(output, jobs[it->second].source))
                    throw UsageError(jobs[i].source + " sarebbe scritto in " + output +
                                         ", che è la sorgente " + jobs[it->second].source,
                                     &command);
        }
    return jobs;
}

void RunJobs(std::size_t count, int threads,
             const std::function<std::optional<RunSummary>(std::size_t)>& work,
             const std::function<void(std::size_t, const Outcome&)>& report) {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<std::optional<Outcome>> outcomes(count);
    std::size_t next = 0;  // the next job to start
    bool stopped = false;

    // Runs the next job, if one is left, and keeps its outcome.
    auto runNext = [&] {
        std::size_t i;
        bool start;
        {
            std::lock_guard lock(mutex);
            if (next == count) return false;
            i = next++;
            start = !stopped;
        }
        Outcome outcome;
        if (start) {
            try {
                outcome.summary = work(i);
                outcome.state = Outcome::State::Done;
            } catch (const RunStopped&) {
                outcome.state = Outcome::State::Stopped;
            } catch (const std::exception& error) {
                outcome.state = Outcome::State::Failed;
                outcome.error = error.what();
            }
        }
        {
            std::lock_guard lock(mutex);
            if (outcome.state == Outcome::State::Stopped) stopped = true;
            outcomes[i] = std::move(outcome);
        }
        ended.notify_all();
        return true;
    };

    // Several at once: helpers run the jobs and this thread reports them, so
    // that a report that waits on its stream waits here, where a stop's
    // signal arrives first. A helper that cannot be started (no memory left
    // for it) leaves its share to the others; with none, this thread runs
    // the jobs itself.
    std::vector<std::thread> helpers;
    const std::size_t wanted =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), count);
    if (wanted > 1) {
        try {
            helpers.reserve(wanted);
            while (helpers.size() < wanted)
                helpers.emplace_back([&] {
                    while (runNext()) {
                    }
                });
        } catch (const std::exception&) {
        }
    }
    std::unique_lock lock(mutex);
    for (std::size_t reported = 0; reported < count; ++reported) {
        if (helpers.empty()) {
            lock.unlock();
            runNext();
            lock.lock();
        }
        ended.wait(lock, [&] { return outcomes[reported].has_value(); });
        const Outcome outcome = std::move(*outcomes[reported]);
        outcomes[reported].reset();
        lock.unlock();
        report(reported, outcome);
        lock.lock();
    }
    lock.unlock();
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace vagliante::cli
