// The local time of the Touch page: a stamp is shown, and a typed time read, in the
// local time Explorer uses. From Windows 7 (NT 6.1) on that is the local time of the
// stamp's own date, with or without daylight saving as the zone's rules had it then;
// before Windows 7 and on the 95 family, today's time-zone bias for every date.
#pragma once
#include <windows.h>

// The conversions of the running Windows, looked up (with the time zone) once for a
// whole series of stamps.
class LocalTime {
public:
    LocalTime();

    // A UTC file time as a local file time, exact to the 100-nanosecond unit; false
    // when it has no local time within the years 1601 to 30827.
    bool FromUtc(const FILETIME& utc, FILETIME* local) const;

    // A typed local date and time as a UTC file time. False for what no file time
    // can hold (years before 1601 or after 30827, a local time before the first file
    // time) and for a local time that does not exist: the hour skipped when the
    // clocks go forward.
    bool ToUtc(const SYSTEMTIME& local, FILETIME* utc) const;

private:
    // DYNAMIC_TIME_ZONE_INFORMATION of Windows Vista on, which the headers for older
    // Windows leave out: the zone as TIME_ZONE_INFORMATION has it, then its key name.
    struct DynamicTimeZone {
        TIME_ZONE_INFORMATION zone;
        WCHAR keyName[128];
        BOOLEAN dynamicDaylightTimeDisabled;
    };
    // SystemTimeToTzSpecificLocalTime, TzSpecificLocalTimeToSystemTime and their Ex
    // forms, which take a DynamicTimeZone.
    typedef BOOL(WINAPI* Conversion)(const void* zone, const SYSTEMTIME* in, SYSTEMTIME* out);

    // Both null when every date takes today's bias.
    Conversion toLocal_;
    Conversion toUtc_;
    // The zone the conversions are given: dynamicZone_ for the Ex forms, null (the
    // current zone) for the plain ones.
    const void* zone_;
    DynamicTimeZone dynamicZone_;
};
