#include "cli/command_line.h"

#include <array>
#include <charconv>

#include "convert/convert.h"
#include "filter/filters.h"

namespace vagliante::cli {
namespace {

constexpr const char* kProgram = "vagliante-cli";

// --summary's line in the help of the filters and of the conversions.
constexpr const char* kFilterSummary =
    "dopo il messaggio di fine, i record, le righe di ogni\n"
    "report e i record esclusi, per motivo e dimensione";
constexpr const char* kConversionSummary =
    "dopo il messaggio di fine, i byte letti e scritti e\n"
    "(txt2bin) le coppie di caratteri che non erano due\n"
    "cifre esadecimali";

const std::array<CommandInfo, 5> kCommands = {{
    {CommandId::Aggiornamento, "aggiornamento",
     "Il report dei comandi di aggiornamento (84 00) di un log", "SORGENTE.BIN", "DEST.TXT",
     kMsgUpdateDone, kFilterSummary, false, false,
     "Scrive nel report DEST.TXT i comandi di aggiornamento di SORGENTE.BIN delle\n"
     "tre dimensioni note. Con -o, LOG1.BIN dà CARTELLA/LOG1.TXT.\n",
     "vagliante-cli aggiornamento LOG.BIN AGG.TXT\n"
     "vagliante-cli aggiornamento --summary LOG.BIN AGG.TXT\n"
     "vagliante-cli aggiornamento -o report -j 2 --summary=json logs/*.BIN\n"},
    {CommandId::Attivazione, "attivazione",
     "I tre report dei comandi di attivazione (82 00), nomi da DEST", "SORGENTE.BIN", "DEST.TXT",
     kMsgActivationDone, kFilterSummary, false, false,
     "Scrive i comandi di attivazione di SORGENTE.BIN in tre report con il nome di\n"
     "DEST.TXT senza gli ultimi quattro caratteri: DEST-5C.TXT, DEST-63-70.TXT e\n"
     "DEST-63-71.TXT. Con -o, LOG1.BIN dà CARTELLA/LOG1-5C.TXT,\n"
     "CARTELLA/LOG1-63-70.TXT e CARTELLA/LOG1-63-71.TXT.\n",
     "vagliante-cli attivazione LOG.BIN ATT.TXT\n"
     "vagliante-cli attivazione --summary LOG.BIN ATT.TXT\n"
     "vagliante-cli attivazione -o report --summary=json logs/*.BIN\n"},
    {CommandId::Bin2Txt, "bin2txt", "Un file binario come testo esadecimale", "SORGENTE.BIN",
     "DEST.TXT", kMsgConversionDone, kConversionSummary, true, true,
     "Scrive ogni byte di SORGENTE.BIN in DEST.TXT come due cifre esadecimali,\n"
     "senza separatori né fine riga. Con -o, LOG1.BIN dà CARTELLA/LOG1.TXT.\n",
     "vagliante-cli bin2txt LOG.BIN LOG.TXT\n"
     "vagliante-cli bin2txt -o esadecimale logs/*.BIN\n"},
    {CommandId::Txt2Bin, "txt2bin", "Il testo esadecimale di nuovo in binario", "SORGENTE.TXT",
     "DEST.BIN", kMsgConversionDone, kConversionSummary, true, true,
     "Legge SORGENTE.TXT due caratteri alla volta nei byte di DEST.BIN. Una coppia\n"
     "che non è di due cifre esadecimali (un fine riga, uno spazio, un altro\n"
     "carattere) dà 00 o il valore della sua prima cifra: se ce ne sono, un avviso\n"
     "sullo standard error le conta. Con -o, NOME.TXT dà CARTELLA/NOME.BIN.\n",
     "vagliante-cli txt2bin LOG.TXT LOG.BIN\n"
     "vagliante-cli txt2bin --summary LOG.TXT LOG.BIN\n"
     "vagliante-cli txt2bin -o binari esadecimale/*.TXT\n"},
    {CommandId::Record, "record", "Le righe dei record di un marcatore (8200 o 8400), una per riga",
     "SORGENTE.BIN", "DEST.TXT", kMsgUpdateDone, nullptr, false, true,
     "Scrive in DEST.TXT ogni record di SORGENTE.BIN che comincia con il marcatore\n"
     "(8200: attivazione, 8400: aggiornamento) come una riga di cifre esadecimali\n"
     "chiusa da CR LF: tutti, anche quelli che i filtri escludono. Il record ancora\n"
     "aperto alla fine del log non ha un marcatore dopo di sé e non è elencato.\n"
     "Con -o, LOG1.BIN dà CARTELLA/LOG1.TXT.\n",
     "vagliante-cli record 8200 LOG.BIN RECORD.TXT\n"
     "vagliante-cli record 8400 LOG.BIN -\n"
     "vagliante-cli record 8400 -o record logs/*.BIN\n"},
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
            if (value) Fail("l'opzione --help non vuole un valore: " + arg);
            help_ = true;
        } else if (name == "--output" || name == "--jobs") {
            Valued(name, value ? *value : NextValue(name));
        } else if (name == "--summary" && command_->summary) {
            if (seenSummary_) Fail("opzione --summary data due volte");
            seenSummary_ = true;
            if (!value || *value == "text")
                line_.summary = SummaryMode::Text;
            else if (*value == "json")
                line_.summary = SummaryMode::Json;
            else
                Fail("--summary vuole text o json, non: " + *value);
        } else {
            Fail("opzione sconosciuta: " + arg);
        }
    }

    void ShortOption(const std::string& arg) {
        const std::string name = arg.substr(0, 2);
        if (arg == "-h")
            help_ = true;
        else if (name == "-o" || name == "-j")
            Valued(name, arg.size() > 2 ? arg.substr(2) : NextValue(name));
        else
            Fail("opzione sconosciuta: " + arg);
    }

    // The next argument is the value, even when it begins with "-".
    std::string NextValue(const std::string& name) {
        if (i_ + 1 >= args_.size()) Fail("l'opzione " + name + " vuole un valore");
        return args_[++i_];
    }

    void Valued(const std::string& name, const std::string& value) {
        if (name == "-o" || name == "--output") {
            if (line_.folder) Fail("opzione -o (--output) data due volte");
            if (value.empty()) Fail("l'opzione " + name + " vuole una cartella");
            line_.folder = value;
        } else {
            if (line_.jobs != 0) Fail("opzione -j (--jobs) data due volte");
            auto jobs = ParseJobs(value);
            if (!jobs)
                Fail("l'opzione " + name + " vuole un numero da 1 a " + std::to_string(kMaxJobs) +
                     ", non: " + value);
            line_.jobs = *jobs;
        }
    }

    void Positionals(std::vector<std::string>& paths) {
        auto next = paths.begin();
        if (command_->id == CommandId::Record) {
            if (next == paths.end()) Fail("record vuole il marcatore 8200 o 8400");
            if (*next != "8200" && *next != "8400")
                Fail("record vuole il marcatore 8200 o 8400, non: " + *next);
            line_.marker = *next++;
        }
        std::vector<std::string> rest(next, paths.end());
        if (line_.folder) {
            if (rest.empty()) Fail("-o CARTELLA vuole almeno un " + std::string(command_->source));
            line_.sources = std::move(rest);
            return;
        }
        if (line_.jobs != 0) Fail("l'opzione -j vale solo con -o CARTELLA");
        if (rest.size() < 2)
            Fail(std::string("manca ") + (rest.empty() ? command_->source : command_->destination));
        if (rest.size() > 2) Fail("argomento in più: " + rest[2]);
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
    if (arguments.empty()) throw UsageError("nessun comando", nullptr);
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h" || first == "--version") {
        if (arguments.size() > 1) throw UsageError("argomento in più: " + arguments[1], nullptr);
        CommandLine line;
        line.action =
            first == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
        return line;
    }
    if (first.starts_with("-")) throw UsageError("opzione sconosciuta: " + first, nullptr);
    const CommandInfo* command = FindCommand(first);
    if (!command) throw UsageError("comando sconosciuto: " + first, nullptr);
    return Parser(arguments, command).Parse();
}

std::string UsageText(const CommandInfo* command) {
    // The first form after "Uso:", the others after "o:" beneath it.
    std::string text;
    auto form = [&](const std::string& arguments) {
        text += text.empty() ? "Uso: " : "  o: ";
        text += std::string(kProgram) + " " + arguments + "\n";
    };
    if (!command) {
        form("COMANDO [OPZIONI] [--] SORGENTE DEST");
        form("COMANDO [OPZIONI] -o CARTELLA [--] SORGENTE...");
        form("COMANDO --help");
        form("--version");
        return text;
    }
    const std::string head = std::string(command->name) +
                             (command->id == CommandId::Record ? " 8200|8400" : "") + " [OPZIONI] ";
    form(head + "[--] " + command->source + " " + command->destination);
    form(head + "-o CARTELLA [--] " + command->source + "...");
    return text;
}

std::string HelpText(const CommandInfo* command) {
    if (!command) {
        std::string text = std::string(kProgram) +
                           ": i log binari dei comandi in report di testo, e le\n"
                           "conversioni tra binario e testo esadecimale.\n\n" +
                           UsageText(nullptr) + "\nComandi:\n";
        for (const CommandInfo& c : kCommands) {
            std::string name = c.name;
            name.resize(15, ' ');
            text += "  " + name + c.purpose + "\n";
        }
        text +=
            "\nStato di uscita: 0 fatto, 1 una sorgente non riuscita, 2 uso errato.\n"
            "Le opzioni e gli esempi di un comando: " +
            std::string(kProgram) + " COMANDO --help\n";
        return text;
    }
    std::string text = UsageText(command) + "\n" + command->details;
    // What "-" stands for, where the command takes it.
    if (command->readsStandardInput)
        text +=
            "\"-\" come SORGENTE legge lo standard input, come DEST scrive lo standard\n"
            "output (il messaggio va allora sullo standard error).\n";
    else if (command->writesStandardOutput)
        text +=
            "\"-\" come DEST scrive lo standard output (il messaggio va allora sullo\n"
            "standard error).\n";
    text += "\nOpzioni:\n";
    // An option's text in the second column, its further lines indented to it.
    auto option = [&](std::string_view name, std::string_view what) {
        std::string line = "  " + std::string(name);
        line.resize(25, ' ');
        for (char c : what)
            line += c == '\n' ? std::string("\n") + std::string(25, ' ') : std::string(1, c);
        text += line + "\n";
    };
    option("-o, --output CARTELLA",
           "scrive i file di ogni sorgente in CARTELLA, con il\n"
           "nome della sorgente; quante sorgenti si vuole");
    option("-j, --jobs N",
           "con -o, lavora fino a N sorgenti insieme (di norma:\n"
           "tante quanti sono i core)");
    if (command->summary) {
        option("--summary[=text]", command->summary);
        option("--summary=json",
               "invece del messaggio e di quelle righe, un oggetto JSON\n"
               "su una riga dello standard output; con -o uno per riga,\n"
               "nell'ordine delle sorgenti (una sorgente non riuscita\n"
               "non ne ha)");
    }
    option("-h, --help", "questo aiuto");
    option("--",
           "la fine delle opzioni: un percorso dopo può cominciare\n"
           "con \"-\"");
    text += "\nEsempi:\n";
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
