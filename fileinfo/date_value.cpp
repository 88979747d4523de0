#include "fileinfo/date_value.h"

#include <cmath>

namespace vagliante {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kTicksPerMillisecond = 10'000;
// Days from 1 January 1970 back to 1 January 1601 and to 30 December 1899.
constexpr std::int64_t kFileTimeEpochDay = -134774;
constexpr std::int64_t kDateValueEpochDay = -25569;
// The dates a DateValue can name: 1 January 100 to 31 December 9999.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958466.0;

// Days from 1 January 1970 to a day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The calendar day and weekday of a day counted from 1 January 1970.
void CivilFromDays(std::int64_t z, SystemTime& out) {
    out.dayOfWeek = static_cast<int>(((z % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    out.year = static_cast<int>(yoe + era * 400 + (out.month <= 2));
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

void SetTimeOfDay(std::int64_t seconds, SystemTime& out) {
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
}

}  // namespace

SystemTime SystemTimeFromFileTime(FileTime time) {
    SystemTime out;
    const std::uint64_t seconds = time / kTicksPerSecond;
    out.milliseconds = static_cast<int>(time / kTicksPerMillisecond % 1000);
    CivilFromDays(static_cast<std::int64_t>(seconds / kSecondsPerDay) + kFileTimeEpochDay, out);
    SetTimeOfDay(static_cast<std::int64_t>(seconds % kSecondsPerDay), out);
    return out;
}

std::optional<FileTime> FileTimeFromSystemTime(const SystemTime& time) {
    if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12 ||
        time.day < 1 || time.day > DaysInMonth(time.year, time.month) || time.hour < 0 ||
        time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
        time.second > 59 || time.milliseconds < 0 || time.milliseconds > 999)
        return std::nullopt;
    const std::int64_t days = DaysFromCivil(time.year, time.month, time.day) - kFileTimeEpochDay;
    const std::int64_t seconds =
        days * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
    return static_cast<FileTime>(seconds) * kTicksPerSecond +
           static_cast<FileTime>(time.milliseconds) * kTicksPerMillisecond;
}

DateValue DateFromSystemTime(const SystemTime& time) {
    const auto day =
        static_cast<double>(DaysFromCivil(time.year, time.month, time.day) - kDateValueEpochDay);
    const double fraction = (time.hour * 3600 + time.minute * 60 + time.second) / 86400.0;
    // Before day 0 the time of day still runs forward from midnight.
    return day >= 0 ? day + fraction : day - fraction;
}

std::optional<SystemTime> SystemTimeFromDate(DateValue date) {
    if (!std::isfinite(date) || date <= kFirstDate - 1 || date >= kLastDate) return std::nullopt;
    const double whole = std::trunc(date);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(date - whole) * 86400.0));
    auto day = static_cast<std::int64_t>(whole);
    if (seconds >= kSecondsPerDay) {  // rounded up to the next midnight
        seconds -= kSecondsPerDay;
        ++day;
    }
    SystemTime out;
    CivilFromDays(day + kDateValueEpochDay, out);
    SetTimeOfDay(seconds, out);
    return out;
}

}  // namespace vagliante
