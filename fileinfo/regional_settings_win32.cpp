// Regional settings from the user's Windows locale (GetLocaleInfoW).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "fileinfo/regional_settings.h"
#include "platform/utf8.h"

namespace vagliante {
namespace {

// One locale value, in UTF-8 whatever the user's code page (a Russian month
// name has no letter in 1252); empty where the system has none.
std::string LocaleValue(LCID locale, LCTYPE type) {
    wchar_t buffer[128];
    int n = ::GetLocaleInfoW(locale, type, buffer, 128);
    return n > 1 ? ToUtf8(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)))
                 : std::string();
}

// A value the system does not give keeps its default, as on POSIX.
RegionalSettings Read(LCID locale) {
    RegionalSettings s;
    if (std::string v = LocaleValue(locale, LOCALE_SDECIMAL); !v.empty()) s.decimalSeparator = v;
    if (std::string v = LocaleValue(locale, LOCALE_STHOUSAND); !v.empty())
        s.groupSeparator = v;
    else if (s.decimalSeparator == ",")
        s.groupSeparator.assign(1, '.');  // never the decimal separator twice
    if (std::string v = LocaleValue(locale, LOCALE_SSHORTDATE); !v.empty()) s.shortDate = v;
    if (std::string v = LocaleValue(locale, LOCALE_STIME); !v.empty()) s.timeSeparator = v;
    for (int i = 0; i < 12; ++i) {
        if (std::string v = LocaleValue(locale, LOCALE_SMONTHNAME1 + i); !v.empty())
            s.monthNames[i] = v;
        if (std::string v = LocaleValue(locale, LOCALE_SABBREVMONTHNAME1 + i); !v.empty())
            s.monthAbbreviations[i] = v;
    }
    // Windows numbers the days from Monday (LOCALE_SDAYNAME1); ours start on Sunday.
    for (int i = 0; i < 7; ++i) {
        int windowsDay = (i + 6) % 7;
        if (std::string v = LocaleValue(locale, LOCALE_SDAYNAME1 + windowsDay); !v.empty())
            s.dayNames[i] = v;
        if (std::string v = LocaleValue(locale, LOCALE_SABBREVDAYNAME1 + windowsDay); !v.empty())
            s.dayAbbreviations[i] = v;
    }
    return s;
}

}  // namespace

const RegionalSettings& RegionalSettings::User() {
    static const RegionalSettings settings = Read(LOCALE_USER_DEFAULT);
    return settings;
}

std::optional<RegionalSettings> RegionalSettings::ForLocale(const std::string& name) {
    // The C and POSIX locales carry no regional conventions: the defaults.
    if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return RegionalSettings{};
    // "it_IT.UTF-8" and "it-IT" both name the locale it-IT.
    std::string tag = name.substr(0, name.find('.'));
    for (char& c : tag)
        if (c == '_') c = '-';
    wchar_t wide[LOCALE_NAME_MAX_LENGTH];
    if (tag.empty() || tag.size() >= LOCALE_NAME_MAX_LENGTH) return std::nullopt;
    for (std::size_t i = 0; i <= tag.size(); ++i) wide[i] = static_cast<wchar_t>(tag[i]);
    if (!::IsValidLocaleName(wide)) return std::nullopt;
    const LCID locale = ::LocaleNameToLCID(wide, 0);
    // A name the system only knows as a custom locale has no LCID to read by.
    if (locale == 0 || locale == LOCALE_CUSTOM_UNSPECIFIED) return std::nullopt;
    return Read(locale);
}

}  // namespace vagliante
