// The suite's help file: every help call of the suite is made here.
#pragma once
#include <windows.h>

// Help for owner on the help file fileName ("KELVARA.HLP", or a string id of this
// module given with MAKEINTRESOURCEA). command and data are WinHelpA's: HELP_CONTEXT,
// HELP_CONTENTS, HELP_CONTEXTPOPUP (data is the context number, and this module's
// string of that number is the pop-up's text) or HELP_QUIT.
//
// Windows NT 6.0 and later ship no WinHelp viewer, so there the same topics are
// opened in HTML Help: the .CHM file of the same name beside the help file, through
// hhctrl.ocx of the system directory, loaded when first needed and looked up by name
// (the 95 family has no hhctrl.ocx). WinHelp stays the viewer on the 95 family, on
// NT before 6.0, on Wine (whose HTML Help shows no pages without a browser engine),
// and wherever hhctrl.ocx or the .CHM file is missing. A pop-up without a text opens
// nothing from NT 6.0 on. HELP_QUIT closes HTML Help only once this module has
// loaded it.
//
// A path that does not fit opens (or closes) nothing: false then, as when the viewer
// fails.

// The help file in directory, the installation directory. A null or empty
// directory opens nothing.
bool ShowHelpInDirectory(HWND owner, const char* directory, const char* fileName, UINT command, ULONG_PTR data);
// The help file beside module's own file: a component library's, or the program's.
bool ShowHelpBesideModule(HWND owner, HMODULE module, const char* fileName, UINT command, ULONG_PTR data);
