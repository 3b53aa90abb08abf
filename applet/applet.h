// The pieces of KELVARA.CPL that call one another: the settings sheet, the About
// page, the installation directory, the INF runner and the uninstaller.
#pragma once
#include <windows.h>
#include "inf_installer.h"

// Shows the modal settings sheet owned by the Control Panel window; returns when it
// has closed and every component library loaded for it has been freed.
void ShowSettingsSheet(HWND hwndCPl);

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// showTopic: topic 10000 of KELVARA.HLP in the installation directory; otherwise
// closes the help that the sheet opened.
void ShowAboutHelp(HWND page, BOOL showTopic);

// Reads the unnamed value of the open component key into directory (size bytes);
// when it is missing, empty or too long, the system directory's "ShellExt\" instead.
// The result ends in a backslash.
void ReadInstallDirectory(HKEY componentKey, char* directory, int size);
// The same with the component key opened here with access (or absent altogether).
void GetInstallDirectory(char* directory, int size, REGSAM access);
// The system directory followed by "ShellExt\"; empty when that does not fit.
void GetFallbackDirectory(char* directory, int size);
// The component key's name (string 10010) into a buffer of size bytes.
void LoadComponentKeyName(char* name, int size);

// Makes KELVARA.INI in directory, the installation directory, when it is missing and
// lets the Users group read and write it (NT family); false when either failed.
bool ShareSettingsFile(const char* directory);

// The applet's INF runner: section of the INF file at infPath, 1 when installed.
inline BOOL InstallSection(HWND hwnd, const char* section, const char* infPath)
{
    return RunInfSection(hwnd, section, infPath);
}

INT_PTR CALLBACK UninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// 1: every selected component was removed; 0: every one was processed but at least
// one was not removed (11005 has been shown); -1: the selection could not be
// processed at all (a message has been shown).
int RemoveSelectedComponents(HWND dialog);
// Loads the library at path and calls its Uninstall(owner); its result, or 0 when
// the library does not load or has no such entry (a message has been shown).
// *libraryGone, when given, tells whether the library's file does not exist.
BOOL UninstallComponent(HWND owner, const char* path, bool* libraryGone = nullptr);
void ShowUninstallHelp(HWND dialog);

// The uninstall dialog's end code when Continue processed the selection but some
// component stayed installed.
const INT_PTR kUninstallIncomplete = 3;
