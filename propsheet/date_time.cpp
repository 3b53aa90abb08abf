// Reading typed dates and times, and the calendar arithmetic they need.
#include "date_time.h"

namespace {

const int kTextSize = 16;

// Pieces longer than this stop growing: every range test fails on them, and the
// value can never overflow (the year has no upper bound, so it is kept whole).
const int kNumberCap = 100000000;

// The three numbers of text, separated by first or second. False for a character
// that is neither a digit nor a separator, for a third separator and for fewer than
// two. Text past kTextSize - 1 characters is not read.
bool ReadThreeNumbers(const char* text, char first, char second, int numbers[3])
{
    int separators = 0;
    numbers[0] = numbers[1] = numbers[2] = 0;
    for (int i = 0; i < kTextSize - 1 && text[i]; ++i) {
        char c = text[i];
        if (c == first || c == second) {
            if (++separators == 3)
                return false;
        } else if (c >= '0' && c <= '9') {
            int& value = numbers[separators];
            value = value * 10 + (c - '0');
            if (value > kNumberCap)
                value = kNumberCap;
        } else {
            return false;
        }
    }
    return separators == 2;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

int DaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && IsLeapYear(year))
        return 29;
    return kDays[month - 1];
}

int DayOfWeek(int year, int month, int day)
{
    int y = year;
    int m = month;
    if (m < 3) {
        m += 12;
        y -= 1;
    }
    return (day + y + y / 400 + (13 * m + 8) / 5 + y / 4 - y / 100) % 7;
}

BOOL ParseDate(const char* text, SYSTEMTIME* out)
{
    int numbers[3];
    if (!ReadThreeNumbers(text, '/', '-', numbers))
        return FALSE;
    int year = numbers[0];
    int month = numbers[1];
    int day = numbers[2];
    if (year < 50)
        year += 2000;
    else if (year < 100)
        year += 1900;
    if (month < 1 || month > 12)
        return FALSE;
    if (day < 1 || day > DaysInMonth(year, month))
        return FALSE;
    if (out) {
        out->wYear = static_cast<WORD>(year > 0xFFFF ? 0xFFFF : year);
        out->wMonth = static_cast<WORD>(month);
        out->wDay = static_cast<WORD>(day);
        out->wDayOfWeek = static_cast<WORD>(DayOfWeek(year, month, day));
    }
    return TRUE;
}

BOOL ParseTime(const char* text, SYSTEMTIME* out)
{
    int numbers[3];
    if (!ReadThreeNumbers(text, ':', ':', numbers) || numbers[0] >= 24 || numbers[1] >= 60 || numbers[2] >= 60)
        return FALSE;
    if (out) {
        out->wHour = static_cast<WORD>(numbers[0]);
        out->wMinute = static_cast<WORD>(numbers[1]);
        out->wSecond = static_cast<WORD>(numbers[2]);
        out->wMilliseconds = 0;
    }
    return TRUE;
}
