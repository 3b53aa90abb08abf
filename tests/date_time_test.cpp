// The Touch page's calendar against the system's own, for every day from 1601 to
// 2400. The day of the week reaches no file (SetFileTime ignores it), so these
// routines are compiled in from the page's own source and called directly.
#include "date_time.cpp"
#include <gtest/gtest.h>
#include <string>

namespace {

const unsigned long long kTicksPerDay = 864000000000ull;

FILETIME FromTicks(unsigned long long ticks)
{
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return time;
}

std::string DateText(int year, int month, int day)
{
    char text[32];
    wsprintfA(text, "%04d/%02d/%02d", year, month, day);
    return text;
}

TEST(DateTime, AgreesWithTheSystemCalendarFrom1601To2400)
{
    int days = 0;
    int mismatches = 0;
    for (unsigned long long ticks = 0;; ticks += kTicksPerDay) {
        SYSTEMTIME day = {};
        FILETIME current = FromTicks(ticks);
        ASSERT_TRUE(FileTimeToSystemTime(&current, &day));
        if (day.wYear > 2400)
            break;
        ++days;
        SYSTEMTIME next = {};
        FILETIME following = FromTicks(ticks + kTicksPerDay);
        ASSERT_TRUE(FileTimeToSystemTime(&following, &next));

        std::string text = DateText(day.wYear, day.wMonth, day.wDay);
        SYSTEMTIME parsed = {};
        bool ok = DayOfWeek(day.wYear, day.wMonth, day.wDay) == day.wDayOfWeek &&
                  ParseDate(text.c_str(), &parsed) && parsed.wYear == day.wYear && parsed.wMonth == day.wMonth &&
                  parsed.wDay == day.wDay && parsed.wDayOfWeek == day.wDayOfWeek;
        if (next.wMonth != day.wMonth) {
            // The last day of its month: the day after it does not exist.
            ok = ok && DaysInMonth(day.wYear, day.wMonth) == day.wDay &&
                 !ParseDate(DateText(day.wYear, day.wMonth, day.wDay + 1).c_str(), nullptr);
        }
        if (!ok && ++mismatches <= 10)
            ADD_FAILURE() << text << ": system day of week " << day.wDayOfWeek << ", DayOfWeek "
                          << DayOfWeek(day.wYear, day.wMonth, day.wDay) << ", DaysInMonth "
                          << DaysInMonth(day.wYear, day.wMonth);
    }
    EXPECT_EQ(0, mismatches);
    // 1601-2400: 800 years of 365 days, 194 leap days.
    EXPECT_EQ(800 * 365 + 194, days);
}

TEST(DateTime, NewYear1998IsAThursday)
{
    EXPECT_EQ(4, DayOfWeek(1998, 1, 1));
    SYSTEMTIME parsed = {};
    ASSERT_TRUE(ParseDate("98/1/1", &parsed));
    EXPECT_EQ(4, parsed.wDayOfWeek);
}

// Over-long pieces are tested on their whole value: cut to 16 or 32 bits they would
// land in range.
TEST(DateTime, OverLongPiecesNeverWrapIntoRange)
{
    const char* rejected[] = {"1998/65548/1", "1998/1/65537", "1998/4294967297/1", "65536::", "4294967296:0:0",
                              "0:65537:0",    "0:0:4294967297"};
    for (const char* text : rejected) {
        SCOPED_TRACE(text);
        SYSTEMTIME out = {};
        EXPECT_FALSE(ParseDate(text, &out) || ParseTime(text, &out));
    }
    SYSTEMTIME out = {};
    for (const char* text : {"67137/1/1", "4294968897/1/1", "99999999999/1/1"}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(ParseDate(text, &out));
        EXPECT_EQ(0xFFFF, out.wYear);
    }
}

TEST(DateTime, ParseFillsOnlyItsOwnFields)
{
    SYSTEMTIME out;
    FillMemory(&out, sizeof out, 0x5A);
    ASSERT_TRUE(ParseDate("2000-2-29", &out));
    EXPECT_EQ(2000, out.wYear);
    EXPECT_EQ(2, out.wMonth);
    EXPECT_EQ(29, out.wDay);
    EXPECT_EQ(2, out.wDayOfWeek);  // a Tuesday
    EXPECT_EQ(0x5A5A, out.wHour);
    ASSERT_TRUE(ParseTime("7::9", &out));
    EXPECT_EQ(7, out.wHour);
    EXPECT_EQ(0, out.wMinute);
    EXPECT_EQ(9, out.wSecond);
    EXPECT_EQ(0, out.wMilliseconds);
    EXPECT_EQ(2000, out.wYear);
}

}  // namespace
