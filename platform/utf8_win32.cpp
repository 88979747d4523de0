#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "platform/utf8.h"

namespace vagliante {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.substr(0, start.size()) == start;
}

// "C:\..." or "\\server\share\...": a path that names the same place
// whatever the current folder and drive.
bool IsFullyQualified(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) return true;
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// The console `stream` writes to, or null.
HANDLE ConsoleOf(std::FILE* stream) {
    const intptr_t handle = ::_get_osfhandle(::_fileno(stream));
    if (handle == -1) return nullptr;
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode)
               ? reinterpret_cast<HANDLE>(handle)
               : nullptr;
}

}  // namespace

std::wstring ToUtf16(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
    return out;
}

std::string ToUtf8(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return {};
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.assign(n, L'\0');  // n is the size it needs; the current folder may change
    }
    return {};
}

std::wstring SystemPath(std::string_view path) {
    std::wstring wide = ToUtf16(path);
    if (wide.size() < kLongPathFrom && IsFullyQualified(wide)) return wide;
    if (StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
    const std::wstring full = FullPath(wide);
    // A device ("NUL" becomes "\\.\NUL") and what cannot be qualified are
    // left to the system as they came.
    if (full.size() < kLongPathFrom || !IsFullyQualified(full) || StartsWith(full, L"\\\\.\\") ||
        StartsWith(full, L"\\\\?\\"))
        return wide;
    if (IsSeparator(full[0])) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string UserPath(std::wstring_view path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) return "\\\\" + ToUtf8(path.substr(8));
    if (StartsWith(path, L"\\\\?\\") && path.size() >= 6 && path[5] == L':')
        return ToUtf8(path.substr(4));
    return ToUtf8(path);
}

void UseUtf8Arguments(int& argc, char**& argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return;  // keep the runtime's own
    // Kept for the life of the process, as the runtime's argv is.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.clear();
    for (int i = 0; i < count; ++i) texts.push_back(ToUtf8(wide[i]));
    ::LocalFree(wide);
    pointers.clear();
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

int CompareCaseBlind(std::string_view a, std::string_view b) {
    const std::wstring x = ToUtf16(a), y = ToUtf16(b);
    return ::CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                  static_cast<int>(y.size()), TRUE) -
           CSTR_EQUAL;
}

bool IsConsole(std::FILE* stream) { return ConsoleOf(stream) != nullptr; }

ConsoleSequences::ConsoleSequences(std::FILE* stream) {
    HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    if (!console || !::GetConsoleMode(console, &mode) ||
        (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        return;
    works_ = ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    if (works_) {
        console_ = console;
        mode_ = mode;
    }
}

ConsoleSequences::~ConsoleSequences() {
    if (console_) ::SetConsoleMode(static_cast<HANDLE>(console_), mode_);
}

void WriteText(std::FILE* stream, std::string_view text) {
    HANDLE console = ConsoleOf(stream);
    if (!console) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
        return;
    }
    std::fflush(stream);  // what the runtime holds goes first
    std::wstring wide;
    wide.reserve(text.size() + 8);
    for (wchar_t c : ToUtf16(text)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    // In parts of a size every console takes, never between the two halves
    // of a character outside the Basic Multilingual Plane.
    constexpr std::size_t kPart = 8192;
    for (std::size_t at = 0; at < wide.size();) {
        std::size_t size = std::min(kPart, wide.size() - at);
        if (at + size < wide.size() && IS_HIGH_SURROGATE(wide[at + size - 1])) --size;
        DWORD written = 0;
        if (!::WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(size), &written,
                             nullptr) ||
            written == 0)
            return;
        at += written;
    }
}

}  // namespace vagliante
