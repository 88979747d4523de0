// The texts of a file's size and time stamp as the report header prints them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileinfo/date_value.h"
#include "fileinfo/regional_settings.h"

namespace vagliante {

// A whole number with `separator` between each three digits ("#,##0"):
// "-1.234.567" for ".".
std::string GroupedNumber(std::int64_t value, std::string_view separator);

// A size in bytes: below 1024 "1,023 bytes" (negative sizes too), otherwise
// the size in its unit with the decimals of its band and the byte count:
// "1.50KB (1,536 bytes)". The bands are decades of whole KiB: "KB" below
// 1,000 KiB, "MB" below 10^6 KiB, "GB" below 10^9 KiB, then "TB"; each unit
// shows "0.00", "0.0", then "0" over its three decades ("TB" keeps "0" past
// them). Numbers round half away from zero.
std::string FormatFileSize(std::int64_t size,
                           const RegionalSettings& settings = RegionalSettings::User());

// A time stamp as the short date, one blank and the 24-hour time "hh:mm"
// ("14/02/2003 09:05"). A value that names no date of the years 100 to 9999
// gives an empty text.
std::string FormatFileDate(DateValue date,
                           const RegionalSettings& settings = RegionalSettings::User());

}  // namespace vagliante
