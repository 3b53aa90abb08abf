// Conversions between UTC stamps and the local time the Touch page shows.
#include "local_time.h"
#include "module.h"

namespace {

// DYNAMIC_TIME_ZONE_INFORMATION of Windows Vista on, which the headers for older
// Windows leave out: the zone as TIME_ZONE_INFORMATION has it, then its key name.
struct DynamicTimeZone {
    TIME_ZONE_INFORMATION zone;
    WCHAR keyName[128];
    BOOLEAN dynamicDaylightTimeDisabled;
};

typedef DWORD(WINAPI* DynamicZoneFunction)(DynamicTimeZone*);
typedef BOOL(WINAPI* ConvertFunction)(const TIME_ZONE_INFORMATION*, const SYSTEMTIME*, SYSTEMTIME*);
typedef BOOL(WINAPI* ConvertExFunction)(const DynamicTimeZone*, const SYSTEMTIME*, SYSTEMTIME*);

// Explorer of Windows 7 and later converts each stamp by the rule of its own date.
bool ConvertsByDate()
{
    DWORD version = GetVersion();
    if (version & 0x80000000u)
        return false;
    BYTE major = LOBYTE(LOWORD(version));
    BYTE minor = HIBYTE(LOWORD(version));
    return major > 6 || (major == 6 && minor >= 1);
}

// in converted by the current zone's rule for its date, towards local time or
// towards UTC. The Ex forms of Windows 7 take the zone with the rules of each year
// (GetDynamicTimeZoneInformation); without them the plain forms (Windows XP) take
// the current zone. All are looked up: Windows 95 and NT 4.0 lack them.
bool ConvertByDate(bool toLocal, const SYSTEMTIME& in, SYSTEMTIME* out)
{
    auto dynamicZone = reinterpret_cast<DynamicZoneFunction>(
        SystemFunction("kernel32.dll", "GetDynamicTimeZoneInformation"));
    auto convertEx = reinterpret_cast<ConvertExFunction>(SystemFunction(
        "kernel32.dll", toLocal ? "SystemTimeToTzSpecificLocalTimeEx" : "TzSpecificLocalTimeToSystemTimeEx"));
    DynamicTimeZone zone;
    if (dynamicZone && convertEx && dynamicZone(&zone) != TIME_ZONE_ID_INVALID)
        return convertEx(&zone, &in, out) != FALSE;
    auto convert = reinterpret_cast<ConvertFunction>(SystemFunction(
        "kernel32.dll", toLocal ? "SystemTimeToTzSpecificLocalTime" : "TzSpecificLocalTimeToSystemTime"));
    return convert && convert(nullptr, &in, out);
}

bool SameClockTime(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool UtcToLocalFileTime(const FILETIME& utc, FILETIME* local)
{
    if (!ConvertsByDate())
        return FileTimeToLocalFileTime(&utc, local) != FALSE;
    // A SYSTEMTIME ends at the millisecond: the offset between the two is added to
    // the stamp itself, so that stamps a fraction of a millisecond apart still differ.
    SYSTEMTIME utcTime;
    SYSTEMTIME localTime;
    FILETIME utcMilliseconds;
    if (!FileTimeToSystemTime(&utc, &utcTime) || !ConvertByDate(true, utcTime, &localTime) ||
        !SystemTimeToFileTime(&localTime, local) || !SystemTimeToFileTime(&utcTime, &utcMilliseconds))
        return false;
    ULONGLONG ticks = Ticks(utc) + (Ticks(*local) - Ticks(utcMilliseconds));
    local->dwLowDateTime = static_cast<DWORD>(ticks);
    local->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

bool LocalSystemTimeToFileTime(const SYSTEMTIME& local, FILETIME* utc)
{
    // Windows refuses years past 30827; Wine converts them, so the range is tested
    // here.
    if (local.wYear < 1601 || local.wYear > 30827)
        return false;
    if (ConvertsByDate()) {
        // A time of the hour skipped in spring has no UTC time, yet the conversion
        // gives one (Wine's without failing): only the way back tells.
        SYSTEMTIME utcTime;
        SYSTEMTIME back;
        return ConvertByDate(false, local, &utcTime) && ConvertByDate(true, utcTime, &back) &&
               SameClockTime(local, back) && SystemTimeToFileTime(&utcTime, utc);
    }
    FILETIME localTime;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, utc))
        return false;
    // Before 1601 the subtraction of the bias wraps round into the top half.
    return (utc->dwHighDateTime & 0x80000000u) == 0;
}
