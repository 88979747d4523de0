#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/batch.h"
#include "cli/summary_json.h"
#include "cli/terminal_progress.h"
#include "platform/os_file.h"
#include "platform/progress.h"
#include "platform/run_error.h"
#include "tests/support/test_support.h"

namespace vagliante::cli {
namespace {

std::string Sep() { return std::string(1, os::Separator()); }

CommandLine Batch(const char* command, std::vector<std::string> sources,
                  const std::string& folder = "OUT") {
    CommandLine line;
    for (const CommandInfo& c : Commands())
        if (std::string(c.name) == command) line.command = &c;
    line.folder = folder;
    line.sources = std::move(sources);
    return line;
}

std::string UsageMessage(const CommandLine& line) {
    try {
        PlanJobs(line);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}

// ---- Output names ----

TEST(PlanJobsTest, OutputsAreNamedAfterTheSourceInTheFolder) {
    const std::string out = "OUT" + Sep();
    auto jobs = PlanJobs(
        Batch("aggiornamento", {"logs/LOG1.BIN", "LOG2.bin", "NOEXT", ".hidden", "a.b.BIN"}));
    ASSERT_EQ(jobs.size(), 5u);
    EXPECT_EQ(jobs[0].source, "logs/LOG1.BIN");
    EXPECT_EQ(jobs[0].destination, out + "LOG1.TXT");
    EXPECT_EQ(jobs[0].outputs, std::vector<std::string>{out + "LOG1.TXT"});
    EXPECT_EQ(jobs[1].destination, out + "LOG2.TXT");
    EXPECT_EQ(jobs[2].destination, out + "NOEXT.TXT");
    EXPECT_EQ(jobs[3].destination, out + ".hidden.TXT");
    EXPECT_EQ(jobs[4].destination, out + "a.b.TXT");

    auto activation = PlanJobs(Batch("attivazione", {"LOG1.BIN"}, "OUT" + Sep()));
    // The filter drops the destination's last four characters.
    EXPECT_EQ(activation[0].destination, out + "LOG1.TXT");
    EXPECT_EQ(activation[0].outputs,
              (std::vector<std::string>{out + "LOG1-5C.TXT", out + "LOG1-63-70.TXT",
                                        out + "LOG1-63-71.TXT"}));
    EXPECT_EQ(PlanJobs(Batch("txt2bin", {"NAME.TXT"}))[0].outputs,
              std::vector<std::string>{out + "NAME.BIN"});
    EXPECT_EQ(PlanJobs(Batch("bin2txt", {"X.BIN"}))[0].destination, out + "X.TXT");
    EXPECT_EQ(PlanJobs(Batch("record", {"X.BIN"}))[0].destination, out + "X.TXT");
#ifdef _WIN32
    EXPECT_EQ(PlanJobs(Batch("bin2txt", {"C:\\logs\\A.BIN", "D:B.BIN"}, "E:"))[1].destination,
              "E:B.TXT");
#endif
}

TEST(PlanJobsTest, TheTwoPathFormIsOneJobAsGiven) {
    CommandLine line = Batch("attivazione", {"LOG.BIN"});
    line.folder.reset();
    line.destination = "REPORT";
    auto jobs = PlanJobs(line);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].source, "LOG.BIN");
    EXPECT_EQ(jobs[0].destination, "REPORT");
}

// "-" is standard input or output only where the command streams it.
TEST(PlanJobsTest, ADashIsAStandardStreamWhereTheCommandTakesOne) {
    auto two = [](const char* command, const char* source, const char* destination) {
        CommandLine line = Batch(command, {source});
        line.folder.reset();
        line.destination = destination;
        return PlanJobs(line).at(0);
    };
    Job convert = two("bin2txt", "-", "-");
    EXPECT_EQ(convert.source, os::StandardInputPath());
    EXPECT_EQ(convert.destination, os::StandardOutputPath());
    EXPECT_TRUE(convert.toStandardOutput);
    Job listing = two("record", "-", "-");
    EXPECT_EQ(listing.source, "-");  // the listing reads its log twice: no stream
    EXPECT_TRUE(listing.toStandardOutput);
    Job filter = two("aggiornamento", "-", "-");
    EXPECT_EQ(filter.source, "-");
    EXPECT_EQ(filter.destination, "-");
    EXPECT_FALSE(filter.toStandardOutput);

    EXPECT_EQ(UsageMessage(Batch("txt2bin", {"A.TXT", "-"})),
              "lo standard input (-) non può essere una delle sorgenti di -o");
    EXPECT_EQ(PlanJobs(Batch("aggiornamento", {"-"}))[0].destination, "OUT" + Sep() + "-.TXT");
}

TEST(PlanJobsTest, SourcesThatWouldShareAnOutputAreRefused) {
    const std::string out = "OUT" + Sep();
    EXPECT_EQ(UsageMessage(Batch("bin2txt", {"a/LOG.BIN", "b/LOG.BIN"})),
              "sia a/LOG.BIN sia b/LOG.BIN sarebbero scritti in " + out + "LOG.TXT");
    // Case does not tell names apart on Windows, nor on many shared disks,
    // whatever the letters.
    EXPECT_EQ(UsageMessage(Batch("aggiornamento", {"LOG.BIN", "x/log.bin"})),
              "sia LOG.BIN sia x/log.bin sarebbero scritti in " + out + "log.TXT");
    EXPECT_EQ(UsageMessage(Batch("bin2txt", {"c1/È.BIN", "c2/è.BIN", "c3/Ж.BIN", "c4/ж.BIN"})),
              "sia c1/È.BIN sia c2/è.BIN sarebbero scritti in " + out + "è.TXT");
    EXPECT_EQ(UsageMessage(Batch("bin2txt", {"Ж.BIN", "ж.BIN"})),
              "sia Ж.BIN sia ж.BIN sarebbero scritti in " + out + "ж.TXT");
    EXPECT_EQ(UsageMessage(Batch("txt2bin", {"A.TXT", "A.TXT"})),
              "sia A.TXT sia A.TXT sarebbero scritti in " + out + "A.BIN");
    // The extension is not part of the name.
    EXPECT_EQ(UsageMessage(Batch("record", {"A.BIN", "A.DAT", "B.BIN"})),
              "sia A.BIN sia A.DAT sarebbero scritti in " + out + "A.TXT");
    EXPECT_EQ(UsageMessage(Batch("attivazione", {"A.BIN", "B.BIN", "C.BIN"})), "");
    EXPECT_EQ(UsageMessage(Batch("bin2txt", {"logs/"})),
              "nessun nome di file in SORGENTE.BIN: logs/");
}

// One source's output would replace another source, which may be being read.
TEST(PlanJobsTest, AnOutputMayNotBeAnotherSource) {
    test::TempDir dir;
    test::WriteFile(dir.File("A.BIN"), "log");
    test::WriteFile(dir.File("A-5C.TXT"), "an earlier report, now a source");
    EXPECT_EQ(
        UsageMessage(Batch("attivazione", {dir.File("A.BIN"), dir.File("A-5C.TXT")}, dir.Path())),
        dir.File("A.BIN") + " sarebbe scritto in " + dir.Path() + Sep() +
            "A-5C.TXT, che è la sorgente " + dir.File("A-5C.TXT"));
    // Under another case, where the disk (Windows') takes it for the same.
    test::WriteFile(dir.File("È.BIN"), "log");
    test::WriteFile(dir.File("è-5c.txt"), "an earlier report, now a source");
#ifdef _WIN32
    EXPECT_EQ(
        UsageMessage(Batch("attivazione", {dir.File("È.BIN"), dir.File("è-5c.txt")}, dir.Path())),
        dir.File("È.BIN") + " sarebbe scritto in " + dir.Path() + Sep() +
            "È-5C.TXT, che è la sorgente " + dir.File("è-5c.txt"));
#else
    EXPECT_EQ(
        UsageMessage(Batch("attivazione", {dir.File("È.BIN"), dir.File("è-5c.txt")}, dir.Path())),
        "");
#endif
    // Its own source is the core's to judge; elsewhere the name is free.
    EXPECT_EQ(UsageMessage(Batch("bin2txt", {dir.File("A-5C.TXT")}, dir.Path())), "");
    test::MakeFolder(dir.File("out"));
    EXPECT_EQ(UsageMessage(
                  Batch("attivazione", {dir.File("A.BIN"), dir.File("A-5C.TXT")}, dir.File("out"))),
              "");
}

// ---- Running ----

TEST(RunJobsTest, ReportsInTheOrderOfTheSourcesWhateverEndsFirst) {
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(threads);
        std::vector<std::size_t> order;
        std::atomic<int> running{0};
        std::atomic<int> most{0};
        RunJobs(
            6, threads,
            [&](std::size_t i) -> std::optional<RunSummary> {
                int now = ++running;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                // Earlier jobs take longer, so later ones end first.
                std::this_thread::sleep_for(std::chrono::milliseconds(5 * (6 - i)));
                --running;
                if (i == 2) throw RunError(ErrorNumber::FileNotFound, "C.BIN");
                RunSummary summary;
                summary.records = static_cast<std::int64_t>(i);
                return summary;
            },
            [&](std::size_t i, const Outcome& outcome) {
                order.push_back(i);
                if (i == 2) {
                    EXPECT_EQ(outcome.state, Outcome::State::Failed);
                    EXPECT_EQ(outcome.error, RunError(ErrorNumber::FileNotFound, "C.BIN").what());
                } else {
                    EXPECT_EQ(outcome.state, Outcome::State::Done);
                    ASSERT_TRUE(outcome.summary);
                    EXPECT_EQ(outcome.summary->records, static_cast<std::int64_t>(i));
                }
            });
        EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
        EXPECT_LE(most.load(), threads);
        if (threads > 1) {
            EXPECT_GT(most.load(), 1);
        }
    }
}

TEST(RunJobsTest, AStoppedJobStartsNoOther) {
    std::vector<std::size_t> started;
    std::vector<Outcome::State> states;
    RunJobs(
        4, 1,
        [&](std::size_t i) -> std::optional<RunSummary> {
            started.push_back(i);
            if (i == 1) throw RunStopped();
            return std::nullopt;
        },
        [&](std::size_t, const Outcome& outcome) { states.push_back(outcome.state); });
    EXPECT_EQ(started, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(states,
              (std::vector<Outcome::State>{Outcome::State::Done, Outcome::State::Stopped,
                                           Outcome::State::Stopped, Outcome::State::Stopped}));
}

// ---- The progress line ----

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// One line for all sources, by their bytes; text printed never lands inside it.
TEST(TerminalProgressTest, OneLineForTheWholeBatch) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        TerminalProgress progress(out, "aggiornamento", {300, 100});
        Progress& first = progress.Source(0);
        first.SetValue(kProgressEmpty);
        first.SetMax(301);
        first.SetValue(1);
        progress.SourceEnded(1);  // the small one ended first: a quarter of the bytes
        EXPECT_NE(Contents(out).rfind("\raggiornamento 1/2  25.0%  100 B / 400 B"),
                  std::string::npos);
        first.SetValue(kProgressEmpty);  // the bar emptied between passes changes nothing
        progress.Print(out, "B.BIN: done\n");
        EXPECT_TRUE(Contents(out).ends_with("\x1b[K\r\x1b[KB.BIN: done\n")) << Contents(out);
        progress.SourceEnded(0);
        EXPECT_NE(Contents(out).rfind("\raggiornamento 2/2 100.0%  400 B / 400 B"),
                  std::string::npos);
    }
    // Cleared at the end.
    EXPECT_TRUE(Contents(out).ends_with("\r\x1b[K"));
    std::fclose(out);

    // Without a terminal nothing is drawn, and text is just written.
    std::FILE* plain = std::tmpfile();
    ASSERT_NE(plain, nullptr);
    {
        TerminalProgress progress(nullptr, "bin2txt", {10});
        progress.Source(0).SetMax(11);
        progress.Source(0).SetValue(5);
        progress.SourceEnded(0);
        progress.Print(plain, "done\n");
    }
    EXPECT_EQ(Contents(plain), "done\n");
    std::fclose(plain);
}

// ---- JSON ----

TEST(SummaryJsonTest, HasExactlyTheDocumentedKeys) {
    RunSummary summary;
    summary.kind = FilterKind::Update;
    summary.log = "logs/\"quoted\"\\LOG.BIN";
    summary.records = 12;
    summary.reports = {{"OUT/LOG.TXT", 7}};
    summary.leftOut = {0, 0, 5, {{9, 1}, {105, 3}, {1048909, 1}}};
    const std::string text = SummaryJson(summary);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const auto json = nlohmann::json::parse(text);
    EXPECT_EQ(json.size(), 5u);
    EXPECT_EQ(json.at("log"), "logs/\"quoted\"\\LOG.BIN");
    EXPECT_EQ(json.at("records"), 12);
    EXPECT_EQ(json.at("reports"), (nlohmann::json{{"OUT/LOG.TXT", 7}}));
    EXPECT_EQ(json.at("left_out"),
              (nlohmann::json{{"no_1001", 0}, {"other_type", 0}, {"other_size", 5}}));
    EXPECT_EQ(json.at("other_sizes"), (nlohmann::json{{"9", 1}, {"105", 3}, {"1048909", 1}}));
    // In the documented order, sizes by number.
    EXPECT_LT(text.find("\"log\""), text.find("\"records\""));
    EXPECT_LT(text.find("\"reports\""), text.find("\"left_out\""));
    EXPECT_LT(text.find("\"9\""), text.find("\"105\""));

    RunSummary empty;
    EXPECT_EQ(nlohmann::json::parse(SummaryJson(empty)).at("other_sizes"),
              nlohmann::json::object());
}

#ifndef _WIN32
// A name that is not UTF-8 still gives JSON that parses.
TEST(SummaryJsonTest, ANameThatIsNotUtf8StillGivesJson) {
    RunSummary summary;
    summary.log = "LOG\xE8.BIN";
    summary.reports = {{"caff\xC3\xA8.TXT", 0}};
    const auto json = nlohmann::json::parse(SummaryJson(summary));
    EXPECT_EQ(json.at("log"), "LOG\xEF\xBF\xBD.BIN");
    EXPECT_TRUE(json.at("reports").contains("caff\xC3\xA8.TXT"));
}
#endif

}  // namespace
}  // namespace vagliante::cli
