#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "tests/support/test_support.h"

namespace vagliante::cli {
namespace {

std::vector<std::string> Words(const std::string& text) { return test::Split(text, ' '); }

CommandLine Parse(const std::string& text) { return ParseCommandLine(Words(text)); }

// The message of the usage error `text` gives, or "" when it parses.
std::string UsageMessage(const std::vector<std::string>& arguments) {
    try {
        ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}
std::string UsageMessage(const std::string& text) { return UsageMessage(Words(text)); }

TEST(CommandLineTest, TheTwoPathForm) {
    CommandLine line = Parse("attivazione LOG.BIN OUT.TXT");
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.command->id, CommandId::Attivazione);
    EXPECT_EQ(line.sources, std::vector<std::string>{"LOG.BIN"});
    EXPECT_EQ(line.destination, "OUT.TXT");
    EXPECT_FALSE(line.folder);
    EXPECT_EQ(line.jobs, 0);
    EXPECT_EQ(line.summary, SummaryMode::None);

    // Options stand anywhere before "--", in either spelling.
    for (const char* text :
         {"aggiornamento --summary LOG.BIN OUT.TXT", "aggiornamento LOG.BIN --summary=text OUT.TXT",
          "aggiornamento LOG.BIN OUT.TXT --summary"}) {
        CommandLine summary = Parse(text);
        EXPECT_EQ(summary.summary, SummaryMode::Text) << text;
        EXPECT_EQ(summary.destination, "OUT.TXT") << text;
    }
    EXPECT_EQ(Parse("attivazione --summary=json LOG.BIN OUT.TXT").summary, SummaryMode::Json);
}

TEST(CommandLineTest, ManySourcesIntoAFolder) {
    for (const char* text :
         {"bin2txt -o OUT -j 3 A.BIN B.BIN C.BIN", "bin2txt -oOUT -j3 A.BIN B.BIN C.BIN",
          "bin2txt A.BIN --output OUT B.BIN --jobs 3 C.BIN",
          "bin2txt --output=OUT --jobs=3 A.BIN B.BIN C.BIN"}) {
        CommandLine line = Parse(text);
        EXPECT_EQ(line.folder, "OUT") << text;
        EXPECT_EQ(line.jobs, 3) << text;
        EXPECT_EQ(line.sources, (std::vector<std::string>{"A.BIN", "B.BIN", "C.BIN"})) << text;
        EXPECT_EQ(line.destination, "") << text;
    }
    // One source is a batch too, and -o takes a value that begins with "-".
    CommandLine one = Parse("txt2bin -o -dir- A.TXT");
    EXPECT_EQ(one.folder, "-dir-");
    EXPECT_EQ(one.sources, std::vector<std::string>{"A.TXT"});
}

TEST(CommandLineTest, TheRecordListingTakesItsMarkerFirst) {
    CommandLine line = Parse("record 8400 LOG.BIN LIST.TXT");
    EXPECT_EQ(line.command->id, CommandId::Record);
    EXPECT_EQ(line.marker, "8400");
    EXPECT_EQ(line.sources, std::vector<std::string>{"LOG.BIN"});
    EXPECT_EQ(line.destination, "LIST.TXT");
    CommandLine batch = Parse("record -o OUT 8200 A.BIN B.BIN");
    EXPECT_EQ(batch.marker, "8200");
    EXPECT_EQ(batch.sources, (std::vector<std::string>{"A.BIN", "B.BIN"}));
}

TEST(CommandLineTest, AfterTheEndOfOptionsEverythingIsAPath) {
    CommandLine line = Parse("aggiornamento -- -LOG.BIN --summary");
    EXPECT_EQ(line.sources, std::vector<std::string>{"-LOG.BIN"});
    EXPECT_EQ(line.destination, "--summary");
    EXPECT_EQ(line.summary, SummaryMode::None);
    // A lone "-" and an empty path are paths anywhere.
    CommandLine dash = ParseCommandLine({"bin2txt", "-", ""});
    EXPECT_EQ(dash.sources, std::vector<std::string>{"-"});
    EXPECT_EQ(dash.destination, "");
    EXPECT_EQ(Parse("bin2txt -o OUT -- -a -j").sources, (std::vector<std::string>{"-a", "-j"}));
}

TEST(CommandLineTest, HelpAndVersion) {
    EXPECT_EQ(Parse("--help").action, CommandLine::Action::Help);
    EXPECT_EQ(Parse("-h").command, nullptr);
    EXPECT_EQ(Parse("--version").action, CommandLine::Action::Version);
    for (const char* text :
         {"attivazione --help", "attivazione -h", "record --help", "bin2txt LOG.BIN --help"}) {
        CommandLine line = Parse(text);
        EXPECT_EQ(line.action, CommandLine::Action::Help) << text;
        ASSERT_NE(line.command, nullptr);
    }
}

// Every wrong use is an error that names what was wrong.
TEST(CommandLineTest, WrongUsageNamesTheCulprit) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"aggiornamento LOG.BIN -h.TXT", "opzione sconosciuta: -h.TXT"},
        {"aggiornamento --nope LOG.BIN OUT.TXT", "opzione sconosciuta: --nope"},
        {"aggiornamento -x LOG.BIN OUT.TXT", "opzione sconosciuta: -x"},
        {"aggiornamento --help=yes", "l'opzione --help non vuole un valore: --help=yes"},
        {"filtra LOG.BIN OUT.TXT", "comando sconosciuto: filtra"},
        {"-v", "opzione sconosciuta: -v"},
        {"--version extra", "argomento in più: extra"},
        {"record --summary 8200 LOG.BIN OUT.TXT", "opzione sconosciuta: --summary"},
        {"attivazione --summary=xml LOG.BIN OUT.TXT", "--summary vuole text o json, non: xml"},
        {"txt2bin --summary --summary=json A B", "opzione --summary data due volte"},
        {"bin2txt LOG.BIN", "manca DEST.TXT"},
        {"txt2bin", "manca SORGENTE.TXT"},
        {"txt2bin A B C", "argomento in più: C"},
        {"bin2txt -o", "l'opzione -o vuole un valore"},
        {"bin2txt -o OUT", "-o CARTELLA vuole almeno un SORGENTE.BIN"},
        {"bin2txt -o A -o B X", "opzione -o (--output) data due volte"},
        {"bin2txt --output= X", "l'opzione --output vuole una cartella"},
        {"bin2txt -o OUT -j 0 X", "l'opzione -j vuole un numero da 1 a 256, non: 0"},
        {"bin2txt -o OUT -j 257 X", "l'opzione -j vuole un numero da 1 a 256, non: 257"},
        {"bin2txt -o OUT --jobs=2x X", "l'opzione --jobs vuole un numero da 1 a 256, non: 2x"},
        {"bin2txt -o OUT -j -1 X", "l'opzione -j vuole un numero da 1 a 256, non: -1"},
        {"bin2txt -o OUT -j 2 -j 2 X", "opzione -j (--jobs) data due volte"},
        {"bin2txt -j 2 A B", "l'opzione -j vale solo con -o CARTELLA"},
        {"record LOG.BIN OUT.TXT", "record vuole il marcatore 8200 o 8400, non: LOG.BIN"},
        {"record 8200", "manca SORGENTE.BIN"},
        {"record -o OUT 8400", "-o CARTELLA vuole almeno un SORGENTE.BIN"},
    };
    for (const Case& c : cases) EXPECT_EQ(UsageMessage(c.text), c.message) << c.text;
    EXPECT_EQ(UsageMessage(std::vector<std::string>{}), "nessun comando");
    EXPECT_EQ(UsageMessage("record"), "record vuole il marcatore 8200 o 8400");
}

TEST(CommandLineTest, AnErrorShowsTheUsageOfItsCommand) {
    try {
        Parse("record 8200 --nope A B");
        FAIL() << "no error";
    } catch (const UsageError& error) {
        ASSERT_NE(error.Command(), nullptr);
        EXPECT_EQ(UsageText(error.Command()),
                  "Uso: vagliante-cli record 8200|8400 [OPZIONI] [--] SORGENTE.BIN DEST.TXT\n"
                  "  o: vagliante-cli record 8200|8400 [OPZIONI] -o CARTELLA [--] "
                  "SORGENTE.BIN...\n");
    }
}

// Each command's help shows its forms, its options and examples that parse.
TEST(CommandLineTest, EachCommandsHelpShowsItsOptionsWithExamples) {
    for (const CommandInfo& command : Commands()) {
        SCOPED_TRACE(command.name);
        const std::string help = HelpText(&command);
        EXPECT_EQ(help.rfind(UsageText(&command), 0), 0u);
        for (const char* option : {"-o, --output CARTELLA", "-j, --jobs N", "-h, --help", "--  "})
            EXPECT_NE(help.find(option), std::string::npos) << option;
        EXPECT_EQ(help.find("--summary") != std::string::npos, command.summary != nullptr);
        const std::size_t examples = help.find("\nEsempi:\n");
        ASSERT_NE(examples, std::string::npos);
        std::size_t at = examples + 9;
        int count = 0;
        while (at < help.size()) {
            const std::size_t end = help.find('\n', at);
            const std::string example = help.substr(at + 2, end - at - 2);
            std::vector<std::string> words = Words(example);
            ASSERT_EQ(words.front(), "vagliante-cli");
            words.erase(words.begin());
            EXPECT_EQ(UsageMessage(words), "") << example;
            EXPECT_EQ(ParseCommandLine(words).command, &command) << example;
            ++count;
            at = end + 1;
        }
        EXPECT_GE(count, 2);
    }
    const std::string help = HelpText(nullptr);
    for (const CommandInfo& command : Commands())
        EXPECT_NE(help.find(std::string("  ") + command.name + " "), std::string::npos);
}

}  // namespace
}  // namespace vagliante::cli
