// KELVARA.CPL: the module entry, the Control Panel entry and the settings sheet
// that gathers one page from each installed component, followed by the About page.
#include "applet.h"
#include "messages.h"
#include "module.h"
#include "registry.h"
#include "resource.h"
#include "scoped.h"
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

KELVARA_MESSAGE_SETTINGS(IDS_APPLET_NAME, nullptr, 128, 512, IDS_INF_ERROR_LINE, IDS_OUT_OF_MEMORY);

namespace {

// The page slots are the first version of the structure, 40 bytes on x86: the
// sheet steps from one slot to the next by each slot's dwSize.
typedef PROPSHEETPAGEA_V1 PageSlot;
typedef BOOL(WINAPI* GetPageEntry)(PROPSHEETPAGEA* page);

void ClearSlot(PageSlot* slot)
{
    ZeroMemory(slot, sizeof *slot);
    slot->dwSize = sizeof *slot;
}

// Loads the library named by value index of key into modules[index] and lets it
// fill slot; true when it contributed a page.
bool AddComponentPage(HKEY key, DWORD index, HMODULE* modules, PageSlot* slot)
{
    char name[32];
    DWORD nameSize = sizeof name;
    char data[MAX_PATH];
    DWORD dataSize = sizeof data;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataSize) !=
        ERROR_SUCCESS)
        return false;
    if (!EndValueData(data, dataSize, sizeof data))
        return false;
    modules[index] = LoadLibraryA(data);
    if (!modules[index])
        return false;
    auto getPage = reinterpret_cast<GetPageEntry>(GetProcAddress(modules[index], "CplGetPage"));
    if (!getPage)
        return false;
    ClearSlot(slot);
    return getPage(reinterpret_cast<PROPSHEETPAGEA*>(slot)) != FALSE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        InitCommonControls();
    }
    return TRUE;
}

extern "C" LONG APIENTRY CPlApplet(HWND hwndCPl, UINT message, LPARAM, LPARAM lParam2)
{
    switch (message) {
    case CPL_INIT:
    case CPL_GETCOUNT:
        return 1;
    case CPL_INQUIRE: {
        CPLINFO* info = reinterpret_cast<CPLINFO*>(lParam2);
        info->idIcon = IDI_APPLET;
        info->idName = IDS_APPLET_NAME;
        info->idInfo = IDS_APPLET_INFO;
        info->lData = 0;
        return 0;
    }
    case CPL_DBLCLK:
        // There is only item 0, so lParam1 is not examined.
        ShowSettingsSheet(hwndCPl);
        return 0;
    }
    // CPL_NEWINQUIRE is left unanswered: Control Panel then uses CPL_INQUIRE.
    return 0;
}

void ShowSettingsSheet(HWND hwndCPl)
{
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    ScopedKey key;
    DWORD count = key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ) ? CountValues(key.Get()) : 0;

    ScopedGlobalLock pageMemory((count + 1) * sizeof(PageSlot));
    auto* pages = static_cast<PageSlot*>(pageMemory.Get());
    if (!pages) {
        key.Close();
        ShowMessage(hwndCPl, IDS_OUT_OF_MEMORY, MB_ICONERROR);
        return;
    }
    ScopedGlobalLock moduleMemory(count > 0 ? count * sizeof(HMODULE) : 0);
    auto* modules = static_cast<HMODULE*>(moduleMemory.Get());
    if (!modules)
        count = 0;  // the About page alone

    UINT pageCount = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (AddComponentPage(key.Get(), i, modules, &pages[pageCount]))
            ++pageCount;
    }
    key.Close();

    // The About slot is cleared as well: a component that wrote into it and then
    // declined leaves nothing behind.
    PageSlot* about = &pages[pageCount];
    ClearSlot(about);
    about->dwFlags = PSP_HASHELP;
    about->hInstance = moduleInstance;
    about->pszTemplate = MAKEINTRESOURCEA(IDD_ABOUT_PAGE);
    about->pfnDlgProc = AboutPageProc;

    char caption[32] = "";
    LoadStringA(moduleInstance, IDS_APPLET_NAME, caption, sizeof caption);
    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_HASHELP;
    header.hwndParent = hwndCPl;
    header.hInstance = moduleInstance;
    header.pszCaption = caption;
    header.nPages = pageCount + 1;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    // The result is not used: each page applies its own changes.
    PropertySheetA(&header);

    for (DWORD i = 0; i < count; ++i) {
        if (modules[i])
            FreeLibrary(modules[i]);
    }
}
