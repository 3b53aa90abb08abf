// The Touch page's reading of typed dates and times, and its calendar arithmetic.
#pragma once
#include <windows.h>

// "YYYY/MM/DD" with '/' or '-' between the pieces (mixed freely), digits only, at
// most 15 characters; a year below 50 is 20xx, 50 to 99 is 19xx, 100 and above is
// taken as it is. When out is given, fills wYear, wMonth, wDay and wDayOfWeek;
// a year above 65535 is stored as 65535, so it can never wrap into range.
BOOL ParseDate(const char* text, SYSTEMTIME* out);

// "HH:MM:SS", digits only, exactly two colons; empty pieces read as 0. When out is
// given, fills wHour, wMinute, wSecond and sets wMilliseconds to 0.
BOOL ParseTime(const char* text, SYSTEMTIME* out);

// Days of month (1-12) in year by the Gregorian rule.
int DaysInMonth(int year, int month);

// 0 (Sunday) to 6 (Saturday) for a Gregorian date from the year 100 on.
int DayOfWeek(int year, int month, int day);
