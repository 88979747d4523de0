// Regional settings from the POSIX locale of the process's environment.
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>

#include "fileinfo/regional_settings.h"

namespace vagliante {
namespace {

// The C and POSIX locales carry no regional conventions of their own.
bool IsNeutral(const std::string& name) {
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// The locale name the environment gives a category, as setlocale(cat, "") reads it.
std::string EnvironmentLocale(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

void ReadNumeric(locale_t loc, RegionalSettings& out) {
    const std::string decimal = nl_langinfo_l(RADIXCHAR, loc);
    const std::string group = nl_langinfo_l(THOUSEP, loc);
    if (!decimal.empty()) out.decimalSeparator = decimal;
    if (!group.empty())
        out.groupSeparator = group;
    else if (out.decimalSeparator == ",")
        out.groupSeparator.assign(1, '.');  // never the decimal separator twice
}

void ReadTime(locale_t loc, RegionalSettings& out) {
    const std::string pattern = ShortDateFromStrftime(nl_langinfo_l(D_FMT, loc));
    if (!pattern.empty()) out.shortDate = pattern;
    out.timeSeparator = TimeSeparatorFromStrftime(nl_langinfo_l(T_FMT, loc));
    for (int i = 0; i < 12; ++i) {
        out.monthNames[i] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc);
        out.monthAbbreviations[i] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc);
    }
    for (int i = 0; i < 7; ++i) {
        out.dayNames[i] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), loc);
        out.dayAbbreviations[i] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc);
    }
}

// Reads one category of a named locale; false when the system does not know it.
bool ReadCategory(int mask, const std::string& name, void (*read)(locale_t, RegionalSettings&),
                  RegionalSettings& out) {
    if (IsNeutral(name)) return true;
    locale_t loc = newlocale(mask, name.c_str(), static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return false;
    read(loc, out);
    freelocale(loc);
    return true;
}

}  // namespace

const RegionalSettings& RegionalSettings::User() {
    static const RegionalSettings settings = [] {
        RegionalSettings s;
        // A category whose locale is missing keeps the defaults.
        ReadCategory(LC_NUMERIC_MASK, EnvironmentLocale("LC_NUMERIC"), ReadNumeric, s);
        ReadCategory(LC_TIME_MASK, EnvironmentLocale("LC_TIME"), ReadTime, s);
        return s;
    }();
    return settings;
}

std::optional<RegionalSettings> RegionalSettings::ForLocale(const std::string& name) {
    RegionalSettings s;
    if (!ReadCategory(LC_NUMERIC_MASK, name, ReadNumeric, s) ||
        !ReadCategory(LC_TIME_MASK, name, ReadTime, s))
        return std::nullopt;
    return s;
}

}  // namespace vagliante
