#include "fileinfo/formatting.h"

#include <string_view>

namespace vagliante {
namespace {

struct SizeBand {
    std::int64_t kibBelow;  // the band holds sizes of fewer whole KiB than this
    std::uint64_t divisor;
    int decimals;
    const char* unit;
};

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = kKiB * 1024;
constexpr std::uint64_t kGiB = kMiB * 1024;
constexpr std::uint64_t kTiB = kGiB * 1024;

constexpr SizeBand kBands[] = {
    {10, kKiB, 2, "KB"},
    {100, kKiB, 1, "KB"},
    {1'000, kKiB, 0, "KB"},
    {10'000, kMiB, 2, "MB"},
    {100'000, kMiB, 1, "MB"},
    {1'000'000, kMiB, 0, "MB"},
    {10'000'000, kGiB, 2, "GB"},
    {100'000'000, kGiB, 1, "GB"},
    {1'000'000'000, kGiB, 0, "GB"},
    {10'000'000'000, kTiB, 2, "TB"},
    {100'000'000'000, kTiB, 1, "TB"},
};
constexpr SizeBand kLastBand = {0, kTiB, 0, "TB"};

// Digits of a whole number, a group separator between each three ("#,##0").
std::string Grouped(std::uint64_t value, std::string_view separator) {
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 * separator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

// size / divisor with `decimals` decimals, rounded half away from zero, in
// exact integer arithmetic ("0.00", "0.0", "0": no grouping).
std::string Scaled(std::uint64_t size, std::uint64_t divisor, int decimals,
                   const RegionalSettings& settings) {
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    std::uint64_t whole = size / divisor;
    const std::uint64_t remainder = size % divisor;  // below 2^40, so times 100 fits
    std::uint64_t fraction = remainder * scale / divisor;
    if ((remainder * scale % divisor) * 2 >= divisor && ++fraction == scale) {
        fraction = 0;
        ++whole;
    }
    std::string out = std::to_string(whole);
    if (decimals > 0) {
        std::string digits = std::to_string(fraction);
        out += settings.decimalSeparator;
        out.append(static_cast<std::size_t>(decimals) - digits.size(), '0');
        out += digits;
    }
    return out;
}

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
           static_cast<char>('0' + value % 10);
}

// One field of a short-date pattern, of `count` repetitions of `letter`.
void AppendDateField(std::string& out, char letter, std::size_t count, const SystemTime& t,
                     const RegionalSettings& settings) {
    switch (letter) {
        case 'd':
            if (count == 1)
                out += std::to_string(t.day);
            else if (count == 2)
                out += TwoDigits(t.day);
            else if (count == 3)
                out += settings.dayAbbreviations[t.dayOfWeek];
            else
                out += settings.dayNames[t.dayOfWeek];
            break;
        case 'M':
            if (count == 1)
                out += std::to_string(t.month);
            else if (count == 2)
                out += TwoDigits(t.month);
            else if (count == 3)
                out += settings.monthAbbreviations[t.month - 1];
            else
                out += settings.monthNames[t.month - 1];
            break;
        case 'y':
            if (count == 1)
                out += std::to_string(t.year % 100);
            else if (count == 2)
                out += TwoDigits(t.year % 100);
            else
                out += std::to_string(t.year);
            break;
        default:  // the era ("g", "gg") is not shown
            break;
    }
}

std::string ShortDate(const SystemTime& t, const RegionalSettings& settings) {
    const std::string& pattern = settings.shortDate;
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {  // quoted text; '' inside it is one quote
            for (++i; i < pattern.size(); ++i) {
                if (pattern[i] != '\'') {
                    out += pattern[i];
                } else if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                    out += '\'';
                    ++i;
                } else {
                    break;
                }
            }
            ++i;
        } else if (c == 'd' || c == 'M' || c == 'y' || c == 'g') {
            std::size_t count = 1;
            while (i + count < pattern.size() && pattern[i + count] == c) ++count;
            AppendDateField(out, c, count, t, settings);
            i += count;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string GroupedNumber(std::int64_t value, std::string_view separator) {
    // The magnitude in unsigned arithmetic, so that the lowest value has one too.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string out(value < 0 ? 1 : 0, '-');
    out += Grouped(magnitude, separator);
    return out;
}

std::string FormatFileSize(std::int64_t size, const RegionalSettings& settings) {
    if (size < 1024) return GroupedNumber(size, settings.groupSeparator) + " bytes";
    const std::int64_t kib = size / 1024;
    const SizeBand* band = &kLastBand;
    for (const SizeBand& candidate : kBands) {
        if (kib < candidate.kibBelow) {
            band = &candidate;
            break;
        }
    }
    const auto bytes = static_cast<std::uint64_t>(size);
    return Scaled(bytes, band->divisor, band->decimals, settings) + band->unit + " (" +
           GroupedNumber(size, settings.groupSeparator) + " bytes)";
}

std::string FormatFileDate(DateValue date, const RegionalSettings& settings) {
    const std::optional<SystemTime> time = SystemTimeFromDate(date);
    if (!time) return {};
    return ShortDate(*time, settings) + " " + TwoDigits(time->hour) + settings.timeSeparator +
           TwoDigits(time->minute);
}

}  // namespace vagliante
