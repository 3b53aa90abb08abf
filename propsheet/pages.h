// The dialog procedures of the pages and what they share.
#pragma once
#include <windows.h>

class PropSheetExtension;

INT_PTR CALLBACK TouchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK IconsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BitmapsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PindrelSettingsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The EnumResourceNamesA callback of the Bitmaps page; with a null lParam it only
// tells that a bitmap exists.
BOOL CALLBACK AddBitmapName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR lParam);

// WM_INITDIALOG of the three file pages: takes the object from the page structure,
// keeps it in DWLP_USER and shows its icon; null when the page has no object.
PropSheetExtension* AttachPageObject(HWND dialog, LPARAM initParam);

// The object kept by AttachPageObject, or null.
PropSheetExtension* GetPageObject(HWND dialog);
