// The instance handle of the module being built; each deliverable sets it at
// DLL_PROCESS_ATTACH (or at program start).
#pragma once
#include <windows.h>

extern HINSTANCE moduleInstance;

// True on the Windows 95/98 family (high bit of GetVersion set).
inline bool IsWindows95Family()
{
    return (GetVersion() & 0x80000000u) != 0;
}

// A function of a system library this process has loaded, looked up by name because
// older Windows lack it (the Windows 95 family, NT 4.0): never imported. Null when
// the library or the function is absent.
FARPROC SystemFunction(const char* library, const char* name);

// True on the NT family from version major.minor on.
inline bool IsNtVersionOrLater(BYTE major, BYTE minor)
{
    DWORD version = GetVersion();
    BYTE ntMajor = LOBYTE(LOWORD(version));
    return !(version & 0x80000000u) && (ntMajor > major || (ntMajor == major && HIBYTE(LOWORD(version)) >= minor));
}

// True on Windows Vista and later (NT 6.0 on), where a program may run without the
// administrator rights of its user (User Account Control).
inline bool IsWindowsVistaOrLater()
{
    return IsNtVersionOrLater(6, 0);
}
