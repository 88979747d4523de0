#include <unistd.h>

#include "platform/utf8.h"

namespace vagliante {

void UseUtf8Arguments(int&, char**&) {}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool IsConsole(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

ConsoleSequences::ConsoleSequences(std::FILE*) {}
ConsoleSequences::~ConsoleSequences() = default;

}  // namespace vagliante
