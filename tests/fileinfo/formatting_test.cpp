#include "fileinfo/formatting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "fileinfo/date_value.h"
#include "fileinfo/regional_settings.h"

namespace vagliante {
namespace {

RegionalSettings Italian() {
    RegionalSettings s;
    s.decimalSeparator = ",";
    s.groupSeparator = ".";
    return s;
}

struct SizeRow {
    const char* name;
    std::int64_t size;
    const char* text;  // with "." for decimals and "," for groups
};

class FileSizeTest : public testing::TestWithParam<SizeRow> {};

TEST_P(FileSizeTest, FormatsWithDotAndComma) {
    EXPECT_EQ(FormatFileSize(GetParam().size, RegionalSettings{}), GetParam().text);
}

// The same places with the Italian separators: "." and "," swap.
TEST_P(FileSizeTest, FormatsWithItalianSeparators) {
    std::string expected = GetParam().text;
    for (char& c : expected) c = c == '.' ? ',' : c == ',' ? '.' : c;
    EXPECT_EQ(FormatFileSize(GetParam().size, Italian()), expected);
}

// The 32-bit table and its edges.
INSTANTIATE_TEST_SUITE_P(
    Bands32, FileSizeTest,
    testing::Values(SizeRow{"Zero", 0, "0 bytes"}, SizeRow{"Below1K", 1023, "1,023 bytes"},
                    SizeRow{"MinusOne", -1, "-1 bytes"},
                    SizeRow{"Wrapped3e9", -1'294'967'296, "-1,294,967,296 bytes"},
                    SizeRow{"Lowest32", INT32_MIN, "-2,147,483,648 bytes"},
                    SizeRow{"OneK", 1024, "1.00KB (1,024 bytes)"},
                    SizeRow{"OneAndHalfK", 1536, "1.50KB (1,536 bytes)"},
                    SizeRow{"RoundsUpTo10", 10'239, "10.00KB (10,239 bytes)"},
                    SizeRow{"TenK", 10'240, "10.0KB (10,240 bytes)"},
                    SizeRow{"HalfAwayFromZero2Decimals", 1152, "1.13KB (1,152 bytes)"},
                    SizeRow{"HalfAwayFromZero0Decimals", 102'912, "101KB (102,912 bytes)"},
                    SizeRow{"HundredK", 102'400, "100KB (102,400 bytes)"},
                    SizeRow{"NoGroupInMask0", 1'023'999, "1000KB (1,023,999 bytes)"},
                    SizeRow{"FirstMB", 1'024'000, "0.98MB (1,024,000 bytes)"},
                    SizeRow{"OneMiB", 1'048'576, "1.00MB (1,048,576 bytes)"},
                    SizeRow{"TenMB", 10'240'000, "9.8MB (10,240,000 bytes)"},
                    SizeRow{"HundredMB", 102'400'000, "98MB (102,400,000 bytes)"},
                    SizeRow{"FirstGB", 1'024'000'000, "0.95GB (1,024,000,000 bytes)"},
                    SizeRow{"Largest32", 2'147'483'647, "2.00GB (2,147,483,647 bytes)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Past 2^31 the decades go on: GB, then TB.
INSTANTIATE_TEST_SUITE_P(
    Bands64, FileSizeTest,
    testing::Values(SizeRow{"Three e9", 3'000'000'000, "2.79GB (3,000,000,000 bytes)"},
                    SizeRow{"FourGiB", 4'294'967'296, "4.00GB (4,294,967,296 bytes)"},
                    SizeRow{"LastGB2Decimals", 10'239'999'999, "9.54GB (10,239,999,999 bytes)"},
                    SizeRow{"GB1Decimal", 10'240'000'000, "9.5GB (10,240,000,000 bytes)"},
                    SizeRow{"GB0Decimals", 102'400'000'000, "95GB (102,400,000,000 bytes)"},
                    SizeRow{"LastGB", 1'023'999'999'999, "954GB (1,023,999,999,999 bytes)"},
                    SizeRow{"FirstTB", 1'024'000'000'000, "0.93TB (1,024,000,000,000 bytes)"},
                    SizeRow{"OneTiB", 1'099'511'627'776, "1.00TB (1,099,511,627,776 bytes)"},
                    SizeRow{"TB1Decimal", 10'240'000'000'000, "9.3TB (10,240,000,000,000 bytes)"},
                    SizeRow{"TB0Decimals", 102'400'000'000'000, "93TB (102,400,000,000,000 bytes)"},
                    SizeRow{"PastTheDecades", 1'024'000'000'000'000,
                            "931TB (1,024,000,000,000,000 bytes)"},
                    SizeRow{"Largest64", INT64_MAX, "8388608TB (9,223,372,036,854,775,807 bytes)"},
                    SizeRow{"Lowest64", INT64_MIN, "-9,223,372,036,854,775,808 bytes"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ') c = '_';
        return name;
    });

TEST(FileSizeTest, ItalianLocaleOfTheSystem) {
    const std::optional<RegionalSettings> it = RegionalSettings::ForLocale("it_IT.UTF-8");
    if (!it)
        GTEST_SKIP() << "the it_IT.UTF-8 locale is not installed (localedef -i it_IT -f UTF-8)";
    EXPECT_EQ(FormatFileSize(1536, *it), "1,50KB (1.536 bytes)");
    // The pattern is the system's: Windows and glibc say "dd/MM/yyyy", Wine "d/M/yyyy".
    const DateValue date = 37666.0 + (9 * 60 + 5) / 1440.0;
    if (it->shortDate == "dd/MM/yyyy")
        EXPECT_EQ(FormatFileDate(date, *it), "14/02/2003 09:05");
    else
        EXPECT_EQ(FormatFileDate(date, *it).substr(FormatFileDate(date, *it).size() - 6), " 09:05");
}

TEST(FileSizeTest, CLocaleGivesTheDefaults) {
    const std::optional<RegionalSettings> c = RegionalSettings::ForLocale("C");
    ASSERT_TRUE(c);
    EXPECT_EQ(FormatFileSize(1536, *c), "1.50KB (1,536 bytes)");
    EXPECT_EQ(FormatFileDate(0, *c), "30/12/1899 00:00");
    EXPECT_FALSE(RegionalSettings::ForLocale("xx_NOWHERE.UTF-8"));
}

struct DateRow {
    const char* name;
    DateValue date;
    const char* shortDate;  // the pattern
    const char* timeSeparator;
    const char* text;
};

class FileDateTest : public testing::TestWithParam<DateRow> {};

TEST_P(FileDateTest, Formats) {
    RegionalSettings s;
    s.shortDate = GetParam().shortDate;
    s.timeSeparator = GetParam().timeSeparator;
    EXPECT_EQ(FormatFileDate(GetParam().date, s), GetParam().text);
}

constexpr DateValue kValentine2003 = 37666.0;  // 14 February 2003

INSTANTIATE_TEST_SUITE_P(
    Dates, FileDateTest,
    testing::Values(DateRow{"Zero", 0, "dd/MM/yyyy", ":", "30/12/1899 00:00"},
                    DateRow{"Noon", 0.5, "dd/MM/yyyy", ":", "30/12/1899 12:00"},
                    DateRow{"Evening", 0.75, "dd/MM/yyyy", ":", "30/12/1899 18:00"},
                    DateRow{"Italian", kValentine2003 + (9 * 60 + 5) / 1440.0, "dd/MM/yyyy", ":",
                            "14/02/2003 09:05"},
                    DateRow{"BeforeDayZero", -1.25, "dd/MM/yyyy", ":", "29/12/1899 06:00"},
                    DateRow{"MinutesNotRoundedUp",
                            kValentine2003 + (9 * 3600 + 5 * 60 + 50) / 86400.0, "dd/MM/yyyy", ":",
                            "14/02/2003 09:05"},
                    DateRow{"LeapDay", 36585.0, "dd/MM/yyyy", ":", "29/02/2000 00:00"},
                    DateRow{"UsPattern", kValentine2003, "M/d/yy", ":", "2/14/03 00:00"},
                    DateRow{"IsoPattern", kValentine2003, "yyyy-MM-dd", ".", "2003-02-14 00.00"},
                    DateRow{"NamesAndQuotes", kValentine2003, "dddd d 'of' MMMM", ":",
                            "Friday 14 of February 00:00"},
                    DateRow{"NotADate", 1e300, "dd/MM/yyyy", ":", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StrftimeTest, PatternsAndSeparators) {
    EXPECT_EQ(ShortDateFromStrftime("%d/%m/%Y"), "dd/MM/yyyy");
    EXPECT_EQ(ShortDateFromStrftime("%m/%d/%y"), "MM/dd/yy");
    EXPECT_EQ(ShortDateFromStrftime("%e. %B %Y"), "d. MMMM yyyy");
    EXPECT_EQ(ShortDateFromStrftime("%Y年%m月%d日"), "yyyy年MM月dd日");
    EXPECT_EQ(ShortDateFromStrftime("%d de %b"), "dd' de 'MMM");
    EXPECT_EQ(TimeSeparatorFromStrftime("%H:%M:%S"), ":");
    EXPECT_EQ(TimeSeparatorFromStrftime("%H.%M.%S"), ".");
    EXPECT_EQ(TimeSeparatorFromStrftime("%T"), ":");
    EXPECT_EQ(TimeSeparatorFromStrftime("%r"), ":");
}

TEST(DateValueTest, FileTimesSplitAndJoin) {
    // 14 February 2003, 09:05:30.900 UTC in file time.
    SystemTime t{2003, 2, 5, 14, 9, 5, 30, 900};
    const std::optional<FileTime> ft = FileTimeFromSystemTime(t);
    ASSERT_TRUE(ft);
    const SystemTime back = SystemTimeFromFileTime(*ft);
    EXPECT_EQ(back.year, 2003);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 14);
    EXPECT_EQ(back.dayOfWeek, 5);  // a Friday
    EXPECT_EQ(back.second, 30);
    EXPECT_EQ(back.milliseconds, 900);
    // Milliseconds dropped, not rounded.
    EXPECT_DOUBLE_EQ(DateFromSystemTime(back), kValentine2003 + (9 * 3600 + 5 * 60 + 30) / 86400.0);
    EXPECT_EQ(SystemTimeFromFileTime(0).year, 1601);
    EXPECT_FALSE(FileTimeFromSystemTime(SystemTime{1600, 12, 0, 31, 0, 0, 0, 0}));
    EXPECT_FALSE(FileTimeFromSystemTime(SystemTime{2003, 2, 0, 29, 0, 0, 0, 0}));
}

TEST(DateValueTest, DatesToCalendarAndBack) {
    const std::optional<SystemTime> t = SystemTimeFromDate(-1.25);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->day, 29);
    EXPECT_EQ(t->hour, 6);
    EXPECT_DOUBLE_EQ(DateFromSystemTime(*t), -1.25);
    // Almost midnight rounds to the next day.
    const std::optional<SystemTime> late = SystemTimeFromDate(kValentine2003 + 0.9999999);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->day, 15);
    EXPECT_EQ(late->hour, 0);
    EXPECT_FALSE(SystemTimeFromDate(std::nan("")));
}

}  // namespace
}  // namespace vagliante
