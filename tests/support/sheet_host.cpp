// Modeless property sheets for tests.
#include "sheet_host.h"
#include <commctrl.h>
#include <algorithm>

BOOL CALLBACK PageCollector::Add(HPROPSHEETPAGE page, LPARAM lParam)
{
    auto* self = reinterpret_cast<PageCollector*>(lParam);
    if (self->refuse)
        return FALSE;
    self->pages.push_back(page);
    return TRUE;
}

HRESULT PageCollector::AddFrom(IShellPropSheetExt* extension)
{
    return extension->AddPages(&PageCollector::Add, reinterpret_cast<LPARAM>(this));
}

void PageCollector::DestroyAll()
{
    for (HPROPSHEETPAGE page : pages)
        DestroyPropertySheetPage(page);
    pages.clear();
}

bool SheetHost::Show(std::vector<HPROPSHEETPAGE>& pages, const char* caption, DWORD extraFlags, HWND owner)
{
    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW | extraFlags;
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    INT_PTR result = PropertySheetA(&header);
    pages.clear();  // the sheet owns them now, or destroyed them
    sheet_ = result > 0 ? reinterpret_cast<HWND>(result) : nullptr;
    PumpMessages();
    return sheet_ != nullptr;
}

bool SheetHost::ShowStructures(const std::vector<PROPSHEETPAGEA>& pages, const char* caption, DWORD extraFlags)
{
    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | extraFlags;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    INT_PTR result = PropertySheetA(&header);
    sheet_ = result > 0 ? reinterpret_cast<HWND>(result) : nullptr;
    PumpMessages();
    return sheet_ != nullptr;
}

void SheetHost::Destroy()
{
    if (sheet_ && IsWindow(sheet_))
        DestroyWindow(sheet_);
    sheet_ = nullptr;
    PumpMessages();
}

void SheetHost::Press(int button)
{
    PressSheetButton(sheet_, button);
    // A modeless sheet is closed by its owner once PSM_GETCURRENTPAGEHWND is null.
    if (sheet_ && IsWindow(sheet_) && !CurrentPage())
        Destroy();
}

namespace {

HWND TabControl(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
}

}  // namespace

std::vector<std::string> SheetTabs(HWND sheet)
{
    std::vector<std::string> captions;
    int count = SheetPageCount(sheet);
    for (int i = 0; i < count; ++i) {
        char text[128] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(TabControl(sheet), TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        captions.push_back(text);
    }
    return captions;
}

int SheetPageCount(HWND sheet)
{
    HWND tab = TabControl(sheet);
    return tab ? static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

HWND SelectSheetPage(HWND sheet, int index)
{
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    PumpMessages();
    return CurrentSheetPage(sheet);
}

HWND CurrentSheetPage(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void PressSheetButton(HWND sheet, int button)
{
    SendMessageA(sheet, PSM_PRESSBUTTON, button, 0);
    PumpMessages();
}

void FitSheetToPage(HWND sheet, HWND page)
{
    RECT client = {};
    GetClientRect(page, &client);
    LONG right = 0, bottom = 0;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
        right = std::max(right, r.right + 4);
        bottom = std::max(bottom, r.bottom + 4);
    }
    int dx = std::max<LONG>(0, right - client.right), dy = std::max<LONG>(0, bottom - client.bottom);
    if (!dx && !dy)
        return;
    for (HWND window : {sheet, TabControl(sheet), page}) {
        RECT r = {};
        GetWindowRect(window, &r);
        SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PumpMessages();
}

void PumpMessages(HWND)
{
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(0);
    }
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    SendMessageA(button, BM_CLICK, 0, 0);
    PumpMessages();
}

void TypeText(HWND dialog, int id, const char* text)
{
    SetDlgItemTextA(dialog, id, text);
    PumpMessages();
}

std::string ControlText(HWND dialog, int id)
{
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}
