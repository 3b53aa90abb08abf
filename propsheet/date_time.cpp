// Reading typed dates and times, and the calendar arithmetic they need.
#include "date_time.h"

namespace {

const int kTextSize = 16;

// Pieces longer than this stop growing: every range test fails on them, and the
// value can never overflow (the year has no upper bound, so it is kept whole).
const int kNumberCap = 100000000;

// Splits text (copied into pieces) at the separators; the three pieces start at
// starts[0..2]. False for a character that is neither a digit nor a separator,
// for a third separator and for fewer than two.
bool SplitPieces(const char* text, char first, char second, char* pieces, const char* starts[3])
{
    for (int i = 0; i < kTextSize; ++i)
        pieces[i] = '\0';
    lstrcpynA(pieces, text, kTextSize);

    int separators = 0;
    starts[0] = pieces;
    for (char* c = pieces; *c; ++c) {
        if (*c == first || *c == second) {
            if (++separators == 3)
                return false;
            *c = '\0';
            starts[separators] = c + 1;
        } else if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return separators == 2;
}

int ReadNumber(const char* piece)
{
    int value = 0;
    for (; *piece; ++piece) {
        value = value * 10 + (*piece - '0');
        if (value > kNumberCap)
            value = kNumberCap;
    }
    return value;
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
    char pieces[kTextSize];
    const char* starts[3];
    if (!SplitPieces(text, '/', '-', pieces, starts))
        return FALSE;
    int year = ReadNumber(starts[0]);
    int month = ReadNumber(starts[1]);
    int day = ReadNumber(starts[2]);
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
    char pieces[kTextSize];
    const char* starts[3];
    if (!SplitPieces(text, ':', ':', pieces, starts))
        return FALSE;
    int hour = ReadNumber(starts[0]);
    int minute = ReadNumber(starts[1]);
    int second = ReadNumber(starts[2]);
    if (hour >= 24 || minute >= 60 || second >= 60)
        return FALSE;
    if (out) {
        out->wHour = static_cast<WORD>(hour);
        out->wMinute = static_cast<WORD>(minute);
        out->wSecond = static_cast<WORD>(second);
        out->wMilliseconds = 0;
    }
    return TRUE;
}
