// Conversions between UTC stamps and the local time the Touch page shows.
#include "local_time.h"
#include "module.h"

namespace {

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

// The Ex forms of Windows 7 take the zone with the rules of each year
// (GetDynamicTimeZoneInformation); without them the plain forms (Windows XP) take the
// current zone. All are looked up: Windows 95 and NT 4.0 lack them.
LocalTime::LocalTime() : toLocal_(nullptr), toUtc_(nullptr), zone_(nullptr)
{
    // Explorer of Windows 7 (NT 6.1) and later converts each stamp by the rule of its
    // own date.
    if (!IsNtVersionOrLater(6, 1))
        return;
    typedef DWORD(WINAPI * DynamicZoneFunction)(DynamicTimeZone*);
    auto dynamicZone = reinterpret_cast<DynamicZoneFunction>(
        SystemFunction("kernel32.dll", "GetDynamicTimeZoneInformation"));
    toLocal_ = reinterpret_cast<Conversion>(SystemFunction("kernel32.dll", "SystemTimeToTzSpecificLocalTimeEx"));
    toUtc_ = reinterpret_cast<Conversion>(SystemFunction("kernel32.dll", "TzSpecificLocalTimeToSystemTimeEx"));
    if (dynamicZone && toLocal_ && toUtc_ && dynamicZone(&dynamicZone_) != TIME_ZONE_ID_INVALID) {
        zone_ = &dynamicZone_;
        return;
    }
    toLocal_ = reinterpret_cast<Conversion>(SystemFunction("kernel32.dll", "SystemTimeToTzSpecificLocalTime"));
    toUtc_ = reinterpret_cast<Conversion>(SystemFunction("kernel32.dll", "TzSpecificLocalTimeToSystemTime"));
    if (!toLocal_ || !toUtc_)
        toLocal_ = toUtc_ = nullptr;
}

bool LocalTime::FromUtc(const FILETIME& utc, FILETIME* local) const
{
    if (!toLocal_)
        return FileTimeToLocalFileTime(&utc, local) != FALSE;
    // A SYSTEMTIME ends at the millisecond: the offset between the two is added to
    // the stamp itself, so that stamps a fraction of a millisecond apart still differ.
    SYSTEMTIME utcTime;
    SYSTEMTIME localTime;
    FILETIME utcMilliseconds;
    if (!FileTimeToSystemTime(&utc, &utcTime) || !toLocal_(zone_, &utcTime, &localTime) ||
        !SystemTimeToFileTime(&localTime, local) || !SystemTimeToFileTime(&utcTime, &utcMilliseconds))
        return false;
    ULONGLONG ticks = Ticks(utc) + (Ticks(*local) - Ticks(utcMilliseconds));
    local->dwLowDateTime = static_cast<DWORD>(ticks);
    local->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

bool LocalTime::ToUtc(const SYSTEMTIME& local, FILETIME* utc) const
{
    // Windows refuses years past 30827; Wine converts them, so the range is tested
    // here.
    if (local.wYear < 1601 || local.wYear > 30827)
        return false;
    if (toUtc_) {
        // A time of the hour skipped in spring has no UTC time, yet the conversion
        // gives one (Wine's without failing): only the way back tells.
        SYSTEMTIME utcTime;
        SYSTEMTIME back;
        return toUtc_(zone_, &local, &utcTime) && toLocal_(zone_, &utcTime, &back) && SameClockTime(local, back) &&
               SystemTimeToFileTime(&utcTime, utc);
    }
    FILETIME localTime;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, utc))
        return false;
    // Before 1601 the subtraction of the bias wraps round into the top half.
    return (utc->dwHighDateTime & 0x80000000u) == 0;
}
