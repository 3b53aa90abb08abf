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
