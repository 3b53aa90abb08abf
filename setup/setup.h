// SETUP.EXE: what the entry point and the dialog share.
#pragma once
#include <windows.h>

// The full path of Setup.ini: the program's path with its extension replaced by
// "INI" (260 characters).
extern char setupIniPath[MAX_PATH];

// The Setup.ini section and key names most recently loaded from the string table.
extern char sectionName[32];
extern char keyName[32];

// Loads the names sectionId and keyId into sectionName and keyName and reads that
// value of Setup.ini into buffer (size bytes, terminator included, cut to fit).
void ReadSetupValue(UINT sectionId, UINT keyId, const char* defaultValue, char* buffer, DWORD size);

// Lists the keys of [Components] in list 15101; TRUE when it holds an entry.
BOOL FillComponentList(HWND dialog);

// Installs every selected component in the list's order, then the applet; a
// failure is reported with message 13004 and the pass goes on. FALSE only when the
// pass could not start.
BOOL InstallSelected(HWND dialog);

// Loads the library named by key of section from the program's directory and calls
// its Install with the dialog; its result, or FALSE when it cannot be called.
BOOL InstallComponent(HWND dialog, const char* section, const char* key);

// Opens the contents of KELVARA.HLP beside the program, or closes it.
void ShowSetupHelp(HWND dialog, BOOL showContents);

// The procedure of dialog 12000.
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "Install %s" with the product name: the dialog's title, and what a second copy
// looks for (48 characters).
void FormatWindowTitle(char* title, int size);

extern const char kProductName[];
