#include "platform/native_text.h"

#include <windows.h>

#include <climits>

namespace vagliante::os {
namespace {

// The text through UTF-16 from code page `from` into code page `to`; the
// text unchanged if a conversion fails.
std::string Recode(const std::string& text, UINT from, UINT to) {
    if (text.empty() || text.size() > INT_MAX) return text;
    const int size = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) return text;
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(from, 0, text.data(), size, utf16.data(), wide);
    const int bytes =
        ::WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(to, 0, utf16.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string NativeToUtf8(const std::string& text) { return Recode(text, CP_ACP, CP_UTF8); }

}  // namespace vagliante::os
