// Help on KELVARA.HLP beside this module.
#pragma once
#include <windows.h>

// context -1 closes this window's help, 0 opens the settings page's topic 25000,
// any other value shows the pop-up topic with that context number.
void ShowHelp(HWND hwnd, int context);

// WM_HELP of the file pages: the pop-up topic numbered by the id of the page's
// control that holds the window asking (the control itself, or a child of it).
void OnContextHelp(HWND hwnd, const HELPINFO* helpInfo);
