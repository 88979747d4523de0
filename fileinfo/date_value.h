// DateValue and FileTime: the two time representations of the file facts,
// and the calendar arithmetic between them.
//
// A DateValue counts days from 30 December 1899, 00:00 (day 0); its fraction
// is the time of day (0.5 is 12:00). Before day 0 the whole part counts back
// and the fraction still runs forward from midnight: -1.25 is 29 December
// 1899, 06:00. A FileTime counts 100-nanosecond intervals from 1 January
// 1601, 00:00.
#pragma once

#include <cstdint>
#include <optional>

namespace vagliante {

using DateValue = double;
using FileTime = std::uint64_t;

// The calendar record of a time stamp, with the fields of the Windows SYSTEMTIME.
struct SystemTime {
    int year = 1601;
    int month = 1;
    int dayOfWeek = 1;  // 0 = Sunday
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// Splits a file time into its calendar record (every value has one).
SystemTime SystemTimeFromFileTime(FileTime time);

// The file time of a calendar record; nothing for a record that is not a
// valid day and time or lies before 1601.
std::optional<FileTime> FileTimeFromSystemTime(const SystemTime& time);

// The day number of the record's day plus the fraction of its time of day in
// whole seconds (milliseconds and weekday are dropped).
DateValue DateFromSystemTime(const SystemTime& time);

// The calendar day and time of a date, rounded to the nearest second, with
// the weekday filled and milliseconds 0. Nothing for a value that is not a
// date of the years 100 to 9999.
std::optional<SystemTime> SystemTimeFromDate(DateValue date);

}  // namespace vagliante
