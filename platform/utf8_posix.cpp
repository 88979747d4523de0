#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include "platform/utf8.h"

namespace vagliante {
namespace {

// The upper case of each character of UTF-8 `text`, as C.UTF-8 knows it
// (only A to Z where that locale is missing). A byte that is not part of a
// character stands for itself, above every character.
std::u32string UpperCase(std::string_view text) {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        // No overlong forms, surrogates or values past Unicode's last.
        valid = valid && !(length == 3 && c < 0x800) && !(length == 4 && c < 0x10000) &&
                c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
        if (!valid) {
            out += static_cast<char32_t>(0x110000 + lead);
            ++i;
            continue;
        }
        if (utf8)
            c = static_cast<char32_t>(::towupper_l(static_cast<wint_t>(c), utf8));
        else if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        out += c;
        i += length;
    }
    return out;
}

}  // namespace

int CompareCaseBlind(std::string_view a, std::string_view b) {
    return UpperCase(a).compare(UpperCase(b));
}

void UseUtf8Arguments(int&, char**&) {}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool IsConsole(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

ConsoleSequences::ConsoleSequences(std::FILE*) {}
ConsoleSequences::~ConsoleSequences() = default;

}  // namespace vagliante
