// The user's regional settings that sizes and dates are printed with.
//
// A plain value, so that the formatting can be run with any settings. The
// short date is a pattern in the Windows form ("dd/MM/yyyy": d, dd, ddd,
// dddd, M, MM, MMM, MMMM, y, yy, yyyy; text in single quotes is literal).
// Default values are those used where the system gives none.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vagliante {

struct RegionalSettings {
    std::string decimalSeparator = ".";
    std::string groupSeparator = ",";
    std::string shortDate = "dd/MM/yyyy";
    std::string timeSeparator = ":";
    std::array<std::string, 12> monthNames = {"January",   "February", "March",    "April",
                                              "May",       "June",     "July",     "August",
                                              "September", "October",  "November", "December"};
    std::array<std::string, 12> monthAbbreviations = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 7> dayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};  // Sunday first
    std::array<std::string, 7> dayAbbreviations = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

    // The settings of the user running the program, read once.
    static const RegionalSettings& User();

    // The settings of a named locale ("it_IT.UTF-8"); nothing when the system
    // does not know it.
    static std::optional<RegionalSettings> ForLocale(const std::string& name);
};

// The short-date pattern of a strftime date format ("%d/%m/%Y" gives
// "dd/MM/yyyy"); conversions it does not know are dropped.
std::string ShortDateFromStrftime(std::string_view format);

// The separator between hours and minutes in a strftime time format
// ("%H:%M:%S" and "%T" give ":"); ":" where the format shows none.
std::string TimeSeparatorFromStrftime(std::string_view format);

}  // namespace vagliante
