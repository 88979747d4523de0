#include "fileinfo/regional_settings.h"

namespace vagliante {
namespace {

bool IsPatternLetter(char c) { return c == 'd' || c == 'M' || c == 'y' || c == 'g'; }

// Appends literal text, quoting what the pattern would read as a field.
void AppendLiteral(std::string& pattern, std::string_view text) {
    bool quote = false;
    for (char c : text) quote = quote || IsPatternLetter(c) || c == '\'';
    if (!quote) {
        pattern += text;
        return;
    }
    pattern += '\'';
    for (char c : text) pattern += c == '\'' ? std::string("''") : std::string(1, c);
    pattern += '\'';
}

}  // namespace

std::string ShortDateFromStrftime(std::string_view format) {
    std::string pattern;
    std::string literal;
    auto flush = [&] {
        AppendLiteral(pattern, literal);
        literal.clear();
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            literal += format[i];
            continue;
        }
        char conversion = format[++i];
        // Flags, widths and the E/O modifiers change nothing here.
        while ((conversion == '-' || conversion == '_' || conversion == '0' || conversion == '^' ||
                conversion == '#' || conversion == 'E' || conversion == 'O') &&
               i + 1 < format.size())
            conversion = format[++i];
        const char* field = nullptr;
        switch (conversion) {
            case 'd':
                field = "dd";
                break;
            case 'e':
                field = "d";
                break;
            case 'm':
                field = "MM";
                break;
            case 'b':
            case 'h':
                field = "MMM";
                break;
            case 'B':
                field = "MMMM";
                break;
            case 'a':
                field = "ddd";
                break;
            case 'A':
                field = "dddd";
                break;
            case 'y':
                field = "yy";
                break;
            case 'Y':
            case 'G':
                field = "yyyy";
                break;
            case 'D':
                field = "MM/dd/yy";
                break;
            case 'F':
                field = "yyyy-MM-dd";
                break;
            case 'n':
                literal += '\n';
                break;
            case 't':
                literal += '\t';
                break;
            case '%':
                literal += '%';
                break;
            default:
                break;
        }
        if (field != nullptr) {
            flush();
            pattern += field;
        }
    }
    flush();
    return pattern;
}

std::string TimeSeparatorFromStrftime(std::string_view format) {
    for (std::size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        const char conversion = format[i + 1];
        if (conversion == 'T' || conversion == 'R') return ":";
        if (conversion == 'H' || conversion == 'k' || conversion == 'I' || conversion == 'l') {
            const std::size_t start = i + 2;
            const std::size_t end = format.find('%', start);
            std::string_view separator = format.substr(start, end - start);
            if (!separator.empty()) return std::string(separator);
        }
    }
    return ":";
}

}  // namespace vagliante
