// The local time of the Touch page: a stamp is shown, and a typed time read, in the
// local time Explorer uses. From Windows 7 (NT 6.1) on that is the local time of the
// stamp's own date, with or without daylight saving as the zone's rules had it then;
// before Windows 7 and on the 95 family, today's time-zone bias for every date.
#pragma once
#include <windows.h>

// A UTC file time as a local file time, exact to the 100-nanosecond unit; false
// when it has no local time within the years 1601 to 30827.
bool UtcToLocalFileTime(const FILETIME& utc, FILETIME* local);

// A typed local date and time as a UTC file time. False for what no file time can
// hold (years before 1601 or after 30827, a local time before the first file time)
// and for a local time that does not exist: the hour skipped when the clocks go
// forward.
bool LocalSystemTimeToFileTime(const SYSTEMTIME& local, FILETIME* utc);
