#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "convert/convert.h"
#include "filter/filters.h"
#include "filter/scan_log.h"
#include "platform/os_file.h"
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

std::string SampleLog(const TempDir& dir, const std::string& name = "LOG.BIN", int seed = 7) {
    samples::Rng rng(seed);
    std::string path = dir.File(name);
    WriteFile(path, samples::MixedCatalogue(rng));
    return path;
}

// Text the core renders with "\n", as the program writes it to a redirected
// stream.
std::string Printed(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += test::kTextLineEnd;
        else
            out += c;
    }
    return out;
}

// The lines of a program's output, without their line ends.
std::vector<std::string> OutputLines(const std::string& text) {
    std::vector<std::string> lines = test::Split(text, '\n');
    for (std::string& line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    return lines;
}

// Every file under `folder` (names sorted) with its content.
std::vector<std::pair<std::string, std::string>> Contents(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.emplace_back(entry.path().filename().string(), ReadFile(entry.path().string()));
    std::sort(files.begin(), files.end());
    return files;
}

NullProgress none;

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
        EXPECT_NE(outcome.err.find("\nUso: vagliante-cli "), std::string::npos) << arguments;
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

// Each command's files are those the core writes for the same paths, and its
// completion message is the window's.
TEST(CliTest, WritesWhatTheCoreWrites) {
    TempDir dir;
    std::string log = SampleLog(dir);
    std::string dest = dir.File("OUT.TXT");
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
        {"bin2txt", "Conversione conclusa", {dest}, test::WithoutSummary<ConvertBinToTxt>},
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

    // The record listing is the scan's.
    Outcome listing =
        RunCli(dir, "record 8400 " + Quoted(log) + " " + Quoted(dir.File("LIST.TXT")));
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_EQ(listing.out, Line("File creato con successo"));
    ScanLog(log, "8400", dest, none);
    EXPECT_EQ(ReadFile(dir.File("LIST.TXT")), ReadFile(dest));

    // "-": the listing on standard output, the message on standard error.
    Outcome piped = RunCli(dir, "record 8400 " + Quoted(log) + " -");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadFile(dest));
    EXPECT_EQ(piped.err, Line("File creato con successo"));

    // The text form goes back to the log's bytes.
    ConvertBinToTxt(log, dest, none);
    Outcome back = RunCli(dir, "txt2bin " + Quoted(dest) + " " + Quoted(dir.File("BACK.BIN")));
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, Line("Conversione conclusa"));
    EXPECT_EQ(ReadFile(dir.File("BACK.BIN")), ReadFile(log));
}

// A failure is one line on stderr and status 1, and an existing destination
// is left as it was.
#ifndef _WIN32
// The log's name is upper-cased letter by letter in the header, accented ones
// included, whatever the user's locale: the plain one, or one not installed.
TEST(CliTest, TheHeaderUpperCasesAnAccentedNameInAnyLocale) {
    TempDir dir;
    const std::string log = SampleLog(dir, "log \xC3\xA8 1.bin");
    for (const char* locale : {"C", "xx_XX.UTF-8"}) {
        SCOPED_TRACE(locale);
        const std::string report = dir.File("OUT.TXT");
        ASSERT_EQ(test::RunCommandLine(std::string("LC_ALL=") + locale + " LANG=" + locale + " " +
                                       Quoted(VAGLIANTE_CLI_PATH) + " aggiornamento " +
                                       Quoted(log) + " " + Quoted(report) + " >/dev/null"),
                  0);
        EXPECT_EQ(test::SplitCrLf(ReadFile(report)).at(2),
                  "## Log name:        LOG \xC3\x88 1.BIN");
    }
}
#endif

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

// ---- The summary ----

TEST(CliTest, TheSummaryFollowsTheCompletionMessage) {
    TempDir dir;
    const std::string log = SampleLog(dir);
    const RunSummary update = FilterUpdate(log, dir.File("CORE.TXT"), none);
    const RunSummary activation = FilterActivation(log, dir.File("OUT.TXT"), none);
    Outcome outcome =
        RunCli(dir, "attivazione --summary " + Quoted(log) + " " + Quoted(dir.File("OUT.TXT")));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, Line("Files creati con successo") + Printed(SummaryText(activation)));

    outcome = RunCli(dir, "aggiornamento " + Quoted(log) + " " + Quoted(dir.File("UPD.TXT")) +
                              " --summary=text");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    RunSummary expected = update;
    expected.reports[0].path = dir.File("UPD.TXT");
    EXPECT_EQ(outcome.out, Line("File creato con successo") + Printed(SummaryText(expected)));
    EXPECT_NE(outcome.out.find("Record esclusi: 3"), std::string::npos);
}

TEST(CliTest, TheJsonSummaryParsesBack) {
    TempDir dir;
    const std::string log = SampleLog(dir);
    const RunSummary core = FilterActivation(log, dir.File("CORE.TXT"), none);
    Outcome outcome = RunCli(
        dir, "attivazione --summary=json " + Quoted(log) + " " + Quoted(dir.File("OUT.TXT")));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    ASSERT_EQ(OutputLines(outcome.out).size(), 1u) << outcome.out;
    // Ordered, to see the keys in the order written.
    const auto json = nlohmann::ordered_json::parse(outcome.out);
    std::vector<std::string> keys;
    for (const auto& item : json.items()) keys.push_back(item.key());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"log", "records", "reports", "left_out", "other_sizes"}));
    EXPECT_EQ(json["log"], log);
    EXPECT_EQ(json["records"], core.records);
    EXPECT_EQ(json["reports"],
              (nlohmann::json{{dir.File("OUT-5C.TXT"), core.reports[0].lines},
                              {dir.File("OUT-63-70.TXT"), core.reports[1].lines},
                              {dir.File("OUT-63-71.TXT"), core.reports[2].lines}}));
    EXPECT_EQ(json["left_out"], (nlohmann::ordered_json{{"no_1001", core.leftOut.no1001},
                                                        {"other_type", core.leftOut.otherType},
                                                        {"other_size", core.leftOut.otherSize}}));
    nlohmann::ordered_json sizes = nlohmann::ordered_json::object();
    for (const auto& [size, count] : core.leftOut.otherSizes) sizes[std::to_string(size)] = count;
    EXPECT_EQ(json["other_sizes"], sizes);

    // The update filter has the same keys, with the reasons it cannot meet at 0.
    outcome = RunCli(
        dir, "aggiornamento --summary=json " + Quoted(log) + " " + Quoted(dir.File("UPD.TXT")));
    const auto update = nlohmann::json::parse(outcome.out);
    EXPECT_EQ(update["left_out"]["no_1001"], 0);
    EXPECT_EQ(update["left_out"]["other_type"], 0);
    EXPECT_EQ(update["reports"].size(), 1u);
}

// Text that is not all hexadecimal still converts, by the pair rule, with a
// warning that counts its odd pairs; the summaries give the conversions' counts.
TEST(CliTest, TextToBinaryWarnsOfPairsThatWereNotHexadecimal) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 1234; ++i) text += "0A84FF\r\n";  // one pair of the line end each
    WriteFile(dir.File("HEX.TXT"), text);
    const std::string paths = Quoted(dir.File("HEX.TXT")) + " " + Quoted(dir.File("OUT.BIN"));
    Outcome outcome = RunCli(dir, "txt2bin " + paths);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, Line("Conversione conclusa"));
    EXPECT_EQ(outcome.err, Line("vagliante-cli: Attenzione: Coppie non esadecimali: 1.234"));
    EXPECT_EQ(ReadFile(dir.File("OUT.BIN")).size(), text.size() / 2);

    outcome = RunCli(dir, "txt2bin --summary " + paths);
    EXPECT_EQ(outcome.out, Line("Conversione conclusa") + Line("Byte letti: 9.872") +
                               Line("Byte scritti: 4.936") + Line("Coppie non esadecimali: 1.234"));
    outcome = RunCli(dir, "txt2bin --summary=json " + paths);
    EXPECT_EQ(nlohmann::ordered_json::parse(outcome.out),
              (nlohmann::ordered_json{{"source", dir.File("HEX.TXT")},
                                      {"bytes_read", 9872},
                                      {"bytes_written", 4936},
                                      {"non_hex_pairs", 1234}}));
    EXPECT_NE(outcome.err.find("Coppie non esadecimali: 1.234"), std::string::npos);

    // Well-formed text, and the other way: no warning.
    outcome = RunCli(dir, "bin2txt --summary=json " + Quoted(dir.File("OUT.BIN")) + " " +
                              Quoted(dir.File("BACK.TXT")));
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(nlohmann::json::parse(outcome.out)["non_hex_pairs"], 0);
    outcome =
        RunCli(dir, "txt2bin " + Quoted(dir.File("BACK.TXT")) + " " + Quoted(dir.File("OUT2.BIN")));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
}

// ---- Many logs at once ----

TEST(CliTest, ABatchGoesOnAfterAFailingSource) {
    TempDir dir;
    test::MakeFolder(dir.File("out"));
    test::MakeFolder(dir.File("core"));
    std::vector<std::string> logs = {SampleLog(dir, "LOG1.BIN", 1), dir.File("NONE.BIN"),
                                     SampleLog(dir, "LOG2.BIN", 2), SampleLog(dir, "LOG3.BIN", 3)};
    std::string arguments = "attivazione -j 2 --summary=json -o " + Quoted(dir.File("out"));
    for (const std::string& log : logs) arguments.append(" ").append(Quoted(log));
    Outcome outcome = RunCli(dir, arguments);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              Line("vagliante-cli: Errore 53: Impossibile trovare il file: " + logs[1]));
    // One object per source that was done, in the order of the sources.
    auto lines = OutputLines(outcome.out);
    ASSERT_EQ(lines.size(), 3u) << outcome.out;
    for (int i : {0, 2, 3}) {
        const auto json = nlohmann::json::parse(lines[i == 0 ? 0 : i - 1]);
        EXPECT_EQ(json["log"], logs[i]);
        const std::string name = "LOG" + std::to_string(i == 0 ? 1 : i);
        // Each source's reports are those the core makes for it.
        FilterActivation(logs[i], dir.File("core/" + name + ".TXT"), none);
        for (const char* ending : {"-5C.TXT", "-63-70.TXT", "-63-71.TXT"}) {
            const std::string report = name + ending;
            EXPECT_TRUE(json["reports"].contains(dir.File("out") + std::string(1, os::Separator()) +
                                                 report))
                << json.dump();
            EXPECT_EQ(ReadFile(dir.File("out/" + report)), ReadFile(dir.File("core/" + report)))
                << report;
        }
    }
    EXPECT_EQ(Contents(dir.File("out")).size(), 9u);
}

TEST(CliTest, OneJobOrTwoGiveTheSameFilesAndOutput) {
    TempDir dir;
    std::string sources;
    int seed = 0;
    for (const char* name : {"L1.BIN", "L2.BIN", "L3.BIN", "L4.BIN", "L5.BIN"})
        sources.append(" ").append(Quoted(SampleLog(dir, name, ++seed)));
    struct Case {
        const char* command;
        const char* doneText;
        std::size_t files;
    };
    const Case cases[] = {{"aggiornamento --summary", "File creato con successo", 5},
                          {"attivazione --summary", "Files creati con successo", 15},
                          {"bin2txt", "Conversione conclusa", 5},
                          {"record 8200", "File creato con successo", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::vector<Outcome> outcomes;
        for (const char* jobs : {"1", "2"}) {
            const std::string folder = dir.File(std::string("j") + jobs);
            test::MakeFolder(folder);
            outcomes.push_back(RunCli(
                dir, std::string(c.command) + " -j " + jobs + " -o " + Quoted(folder) + sources));
            EXPECT_EQ(outcomes.back().status, 0) << outcomes.back().err;
        }
        const auto one = Contents(dir.File("j1"));
        EXPECT_EQ(one.size(), c.files);
        EXPECT_EQ(one, Contents(dir.File("j2")));
        // The summaries name the folder: compare with the names swapped.
        std::string two = outcomes[1].out;
        for (std::size_t at; (at = two.find(dir.File("j2"))) != std::string::npos;)
            two.replace(at, dir.File("j2").size(), dir.File("j1"));
        EXPECT_EQ(outcomes[0].out, two);
        EXPECT_EQ(OutputLines(outcomes[0].out)[0], dir.File("L1.BIN") + ": " + c.doneText);
        std::filesystem::remove_all(dir.File("j1"));
        std::filesystem::remove_all(dir.File("j2"));
    }
}

// A clash is found before anything runs: nothing is written. Names are
// compared regardless of case, whatever their letters.
TEST(CliTest, TwoSourcesForOneOutputAreAUsageError) {
    TempDir dir;
    test::MakeFolder(dir.File("a"));
    test::MakeFolder(dir.File("out"));
    const std::string first = SampleLog(dir, "È.BIN");
    const std::string second = SampleLog(dir, "a/è.BIN");
    Outcome outcome = RunCli(
        dir, "bin2txt -o " + Quoted(dir.File("out")) + " " + Quoted(first) + " " + Quoted(second));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(OutputLines(outcome.err)[0], "vagliante-cli: sia " + first + " sia " + second +
                                               " sarebbero scritti in " + dir.File("out") +
                                               std::string(1, os::Separator()) + "è.TXT");
    EXPECT_TRUE(Contents(dir.File("out")).empty());

    // An output that is another source under another case.
    WriteFile(dir.File("è.TXT"), "a source");
    outcome = RunCli(dir, "bin2txt -o " + Quoted(dir.Path()) + " " + Quoted(first) + " " +
                              Quoted(dir.File("è.TXT")));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(ReadFile(dir.File("è.TXT")), "a source");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a", "out", "È.BIN", "è.TXT"}));

    // A missing folder is one error, before any source.
    outcome = RunCli(dir, "bin2txt -o " + Quoted(dir.File("none")) + " " + Quoted(first));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, Line("vagliante-cli: Errore 76: Impossibile trovare il percorso: " +
                                dir.File("none")));
}

// ---- The command line's habits ----

TEST(CliTest, AnUnknownOptionIsNamedAndNothingIsWritten) {
    TempDir dir;
    const std::string log = SampleLog(dir);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Outcome outcome = RunCli(dir, "aggiornamento LOG.BIN -h.TXT");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(OutputLines(outcome.err)[0], "vagliante-cli: opzione sconosciuta: -h.TXT");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LOG.BIN"});

    // After "--" the same name is a report.
    outcome = RunCli(dir, "aggiornamento -- LOG.BIN -h.TXT");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"-h.TXT", "LOG.BIN"}));
    std::filesystem::current_path(here);
    FilterUpdate(log, dir.File("UPD.TXT"), none);
    EXPECT_EQ(ReadFile(dir.File("-h.TXT")), ReadFile(dir.File("UPD.TXT")));

    outcome = RunCli(dir, "attivazione --help");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find("Esempi:"), std::string::npos);
    EXPECT_NE(outcome.out.find("--summary"), std::string::npos);
    EXPECT_EQ(outcome.err, "");
}

}  // namespace
}  // namespace vagliante
