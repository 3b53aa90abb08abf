// The dialog procedures of the pages and what they share.
#pragma once
#include <windows.h>

class PropSheetExtension;

INT_PTR CALLBACK TouchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK IconsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BitmapsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PindrelSettingsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Opens path to read its time stamps, or to write them and read them back; the
// handle is INVALID_HANDLE_VALUE when it does not open. On the NT family only the
// rights to the attributes are asked for: the system grants them whatever sharing
// the handles of other programs allow, and on a read-only file (whose attribute
// protects the contents, not the stamps); with backup semantics a folder opens too.
// The 95 family knows neither those rights nor delete sharing and opens no folder:
// there a file opens for reading and writing with read and write sharing.
HANDLE OpenForStamps(const char* path, bool write);

// The EnumResourceNamesA callback of the Bitmaps page; with a null lParam it only
// tells that a bitmap exists.
BOOL CALLBACK AddBitmapName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR lParam);

// WM_INITDIALOG of the three file pages: takes the object from the page structure,
// keeps it in DWLP_USER and shows its icon; null when the page has no object.
PropSheetExtension* AttachPageObject(HWND dialog, LPARAM initParam);

// The object kept by AttachPageObject, or null.
PropSheetExtension* GetPageObject(HWND dialog);
