#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "filter/filters.h"
#include "platform/program_info.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::Quoted;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs vagliante-cli with `arguments` (already quoted where needed), its
// stdout and stderr captured in files of `dir` (not terminals: no progress).
Outcome RunCli(const TempDir& dir, const std::string& arguments) {
    std::string out = dir.File("stdout.log");
    std::string err = dir.File("stderr.log");
    int status = test::RunCommandLine(Quoted(VAGLIANTE_CLI_PATH) + " " + arguments + " >" +
                                      Quoted(out) + " 2>" + Quoted(err));
    Outcome outcome{status, ReadFile(out), ReadFile(err)};
    test::RemoveFile(out);
    test::RemoveFile(err);
    return outcome;
}

// One line of the program's own text output.
std::string Line(std::string_view text) {
    return std::string(text) + std::string(test::kTextLineEnd);
}

std::string SampleLog(const TempDir& dir) {
    samples::Rng rng(7);
    std::string path = dir.File("LOG.BIN");
    WriteFile(path, samples::MixedCatalogue(rng));
    return path;
}

TEST(CliTest, VersionAndHelp) {
    TempDir dir;
    Outcome version = RunCli(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, Line("Vagliante  Versione 1.2.1"));

    Outcome help = RunCli(dir, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"aggiornamento", "attivazione", "bin2txt", "txt2bin"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
}

TEST(CliTest, WrongUsageGivesTheUsageAndStatusTwo) {
    TempDir dir;
    const char* cases[] = {"", "filtra a b", "bin2txt only-one", "txt2bin a b c",
                           "aggiornamento --nope a b"};
    for (const char* arguments : cases) {
        Outcome outcome = RunCli(dir, arguments);
        EXPECT_EQ(outcome.status, 2) << "[" << arguments << "]";
        EXPECT_TRUE(outcome.out.empty()) << arguments;
        EXPECT_NE(outcome.err.find("Usage"), std::string::npos) << arguments;
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

// Each command's files are those the core writes for the same paths, and its
// completion message is the window's.
TEST(CliTest, WritesWhatTheCoreWrites) {
    TempDir dir;
    std::string log = SampleLog(dir);
    std::string dest = dir.File("OUT.TXT");
    NullProgress none;

    struct Case {
        const char* command;
        const char* doneText;
        std::vector<std::string> outputs;
        void (*core)(const std::string&, const std::string&, Progress&);
    };
    const Case cases[] = {
        {"aggiornamento",
         "File creato con successo",
         {dest},
         [](const std::string& s, const std::string& d, Progress& p) { FilterUpdate(s, d, p); }},
        {"attivazione",
         "Files creati con successo",
         {dir.File("OUT-5C.TXT"), dir.File("OUT-63-70.TXT"), dir.File("OUT-63-71.TXT")},
         [](const std::string& s, const std::string& d, Progress& p) {
             FilterActivation(s, d, p);
         }},
        {"bin2txt", "Conversione conclusa", {dest}, ConvertBinToTxt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        c.core(log, dest, none);
        std::vector<std::string> expected;
        for (const std::string& output : c.outputs) {
            expected.push_back(ReadFile(output));
            test::RemoveFile(output);
        }
        Outcome outcome =
            RunCli(dir, std::string(c.command) + " " + Quoted(log) + " " + Quoted(dest));
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, Line(c.doneText));
        EXPECT_EQ(outcome.err, "");
        for (std::size_t i = 0; i < c.outputs.size(); ++i) {
            EXPECT_EQ(ReadFile(c.outputs[i]), expected[i]) << c.outputs[i];
            test::RemoveFile(c.outputs[i]);
        }
    }

    // The text form goes back to the log's bytes.
    ConvertBinToTxt(log, dest, none);
    Outcome back = RunCli(dir, "txt2bin " + Quoted(dest) + " " + Quoted(dir.File("BACK.BIN")));
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, Line("Conversione conclusa"));
    EXPECT_EQ(ReadFile(dir.File("BACK.BIN")), ReadFile(log));
}

// A failure is one line on stderr and status 1, and an existing destination
// is left as it was.
TEST(CliTest, FailuresAreOneLineAndLoseNothing) {
    TempDir dir;
    std::string log = SampleLog(dir);
    std::string dest = dir.File("OUT.TXT");
    WriteFile(dest, "previous report");
    std::string missing = dir.File("NONE.BIN");

    struct Case {
        std::string arguments;
        std::string line;
    };
    const Case cases[] = {
        {"aggiornamento " + Quoted(missing) + " " + Quoted(dest),
         Line("vagliante-cli: Errore 53: Impossibile trovare il file: " + missing)},
        {"bin2txt " + Quoted(missing) + " " + Quoted(dest),
         Line("vagliante-cli: Errore 53: Impossibile trovare il file: " + missing)},
        {"bin2txt " + Quoted(log) + " " + Quoted(dir.File("no/such/OUT.TXT")), ""},
        {"attivazione " + Quoted(log) + " " + Quoted(dir.File("no/OUT.TXT")), ""},
        {"txt2bin " + Quoted(missing) + " " + Quoted(dest), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Outcome outcome = RunCli(dir, c.arguments);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        if (!c.line.empty()) {
            EXPECT_EQ(outcome.err, c.line);
        } else {
            EXPECT_EQ(outcome.err.rfind("vagliante-cli: Errore ", 0), 0u) << outcome.err;
            EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
            EXPECT_TRUE(outcome.err.ends_with(test::kTextLineEnd)) << outcome.err;
        }
        EXPECT_EQ(ReadFile(dest), "previous report");
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"LOG.BIN", "OUT.TXT"}));
    }
}

}  // namespace
}  // namespace vagliante
