// The suite's help file: every WinHelpA call of the suite is made here.
#pragma once
#include <windows.h>

// WinHelpA for owner with command and data on the help file fileName, found as
// MakeFilePath finds it: in directory, or beside module when directory is null. A
// path that does not fit opens (or closes) nothing: false then, as when WinHelpA
// fails.
bool ShowHelpFile(HWND owner, const char* directory, HMODULE module, const char* fileName, UINT command,
                  ULONG_PTR data);
