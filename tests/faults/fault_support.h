// What the fault tests share: their logs, the command line, and the files a
// run must not leave behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/progress.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante::faults {

using Work = void (*)(const std::string&, const std::string&, Progress&);

// A log of every kind of record, the same for the same seed.
inline std::string Catalogue(unsigned seed = 11) {
    samples::Rng rng(seed);
    return samples::MixedCatalogue(rng);
}

// A log of about `mib` MiB: several stretches, so that a run has steps in
// the middle and reports of more than a buffer each.
inline std::string LargeLog(unsigned seed, std::size_t mib = 5) {
    samples::Rng rng(seed);
    std::string log;
    while (log.size() < mib * (std::size_t{1} << 20)) log += samples::MixedCatalogue(rng);
    return log;
}

// vagliante-cli, quoted for a command line.
inline std::string Cli() { return test::Quoted(VAGLIANTE_CLI_PATH); }

// Runs a command line through the shell; its status and what it printed.
struct Shell {
    int status;
    std::string out;
};
inline Shell RunShell(const test::TempDir& dir, const std::string& line) {
    const std::string out = dir.File("shell.log");
    const int status = test::RunCommandLine(line + " >" + test::Quoted(out) + " 2>&1");
    Shell result{status, test::ReadFile(out)};
    test::RemoveFile(out);
    return result;
}

// Names in `dir` that look like our temporary or set-aside files.
inline std::vector<std::string> Leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(test::FsPath(dir))) {
        const std::string name = test::Utf8Of(entry.path().filename());
        if (name.find(".~vagliante-") != std::string::npos) names.push_back(name);
    }
    return names;
}

}  // namespace vagliante::faults
