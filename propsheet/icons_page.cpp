// The Icons page: the icons and cursors of the selected module at three sizes, and
// a copy of the chosen one to the clipboard as a bitmap on white.
#include "help.h"
#include "pages.h"
#include "prop_sheet_extension.h"
#include "resource.h"
#include "scoped.h"
#include <commctrl.h>
#include <shellapi.h>

namespace {

// Cursors are shown at this size whatever the icon size.
const int kCursorSize = 32;
// Width that WM_MEASUREITEM asks for; the list decides its columns itself.
const UINT kCellWidth = 52;
// The Copy button's picture area above its text, and the gap between them.
const int kPictureArea = 48;
const int kTextGap = 2;

// The item the Copy button shows and copies: 0 for none, else the list's id in the
// high word and the item index in the low word. It belongs to the page (a property
// of its window), so two Properties dialogs open at once each keep their own.
const char kCurrentItemProperty[] = "KelvaraIconsCurrentItem";

DWORD GetCurrentItem(HWND dialog)
{
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(GetPropA(dialog, kCurrentItemProperty)));
}

void SetCurrentItem(HWND dialog, DWORD item)
{
    SetPropA(dialog, kCurrentItemProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(item)));
}

int GetIconSize(HWND dialog)
{
    if (IsDlgButtonChecked(dialog, IDC_SIZE_SMALL) == BST_CHECKED)
        return 16;
    if (IsDlgButtonChecked(dialog, IDC_SIZE_NORMAL) == BST_CHECKED)
        return 32;
    if (IsDlgButtonChecked(dialog, IDC_SIZE_LARGE) == BST_CHECKED)
        return 48;
    return 16;
}

// Appends image (null included: an empty cell) to a list, which then owns it.
void AddImage(HWND dialog, int listId, HANDLE image)
{
    LRESULT index = SendDlgItemMessageA(dialog, listId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(image));
    if (index >= 0 || !image)
        return;
    // The list is full: nobody would own the handle.
    if (listId == IDC_ICON_LIST)
        DestroyIcon(static_cast<HICON>(image));
    else
        DestroyCursor(static_cast<HCURSOR>(image));
}

// The lists enumerate the group and animated types only: icons or cursors.
BOOL CALLBACK AddResourceImage(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR lParam)
{
    HWND dialog = reinterpret_cast<HWND>(lParam);
    if (type == RT_GROUP_ICON || type == RT_ANIICON) {
        int size = GetIconSize(dialog);
        AddImage(dialog, IDC_ICON_LIST, LoadImageA(module, name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    } else {
        AddImage(dialog, IDC_CURSOR_LIST, LoadImageA(module, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    }
    return TRUE;
}

void ClearImageListBox(HWND dialog, int listId)
{
    HWND list = GetDlgItem(dialog, listId);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendMessageA(list, LB_GETITEMDATA, i, 0);
        if (data == 0 || data == LB_ERR)
            continue;
        if (listId == IDC_ICON_LIST)
            DestroyIcon(reinterpret_cast<HICON>(data));
        else
            DestroyCursor(reinterpret_cast<HCURSOR>(data));
    }
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
}

BOOL FillIconList(HWND dialog, PropSheetExtension* object)
{
    ClearImageListBox(dialog, IDC_ICON_LIST);
    if (HMODULE module = object->LoadModule()) {
        LONG_PTR param = reinterpret_cast<LONG_PTR>(dialog);
        EnumResourceNamesA(module, RT_ANIICON, AddResourceImage, param);
        EnumResourceNamesA(module, RT_GROUP_ICON, AddResourceImage, param);
    }
    if (SendDlgItemMessageA(dialog, IDC_ICON_LIST, LB_GETCOUNT, 0, 0) > 0)
        return TRUE;

    // No icon resources: the shell's icon for the file. The system image list
    // belongs to the shell and is never destroyed here.
    UINT flags = SHGFI_SYSICONINDEX | (GetIconSize(dialog) == 16 ? SHGFI_SMALLICON : 0);
    SHFILEINFOA info = {};
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(object->filePath, 0, &info, sizeof info, flags));
    if (!images)
        return FALSE;
    AddImage(dialog, IDC_ICON_LIST, ImageList_GetIcon(images, info.iIcon, ILD_NORMAL));
    return TRUE;
}

LRESULT FillCursorList(HWND dialog, PropSheetExtension* object)
{
    if (HMODULE module = object->LoadModule()) {
        LONG_PTR param = reinterpret_cast<LONG_PTR>(dialog);
        EnumResourceNamesA(module, RT_ANICURSOR, AddResourceImage, param);
        EnumResourceNamesA(module, RT_GROUP_CURSOR, AddResourceImage, param);
    }
    return SendDlgItemMessageA(dialog, IDC_CURSOR_LIST, LB_GETCOUNT, 0, 0);
}

// The handle named by the current item and the size it is shown at; null when
// nothing is current or the item's image could not be loaded.
HICON GetCurrentImage(HWND dialog, int* shownSize)
{
    DWORD current = GetCurrentItem(dialog);
    if (!current)
        return nullptr;
    int listId = HIWORD(current);
    LRESULT data = SendDlgItemMessageA(dialog, listId, LB_GETITEMDATA, LOWORD(current), 0);
    if (data == LB_ERR)
        return nullptr;
    if (shownSize)
        *shownSize = listId == IDC_ICON_LIST ? GetIconSize(dialog) : kCursorSize;
    return reinterpret_cast<HICON>(data);
}

void OnSizeChange(HWND dialog, PropSheetExtension* object)
{
    HWND list = GetDlgItem(dialog, IDC_ICON_LIST);
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    FillIconList(dialog, object);
    SendMessageA(list, LB_SETCURSEL, index == LB_ERR ? 0 : index, 0);
    // The icon list becomes current again, also when a cursor was.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ICON_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void OnSelectionChange(HWND dialog, int listId)
{
    LRESULT index = SendDlgItemMessageA(dialog, listId, LB_GETCURSEL, 0, 0);
    HWND copy = GetDlgItem(dialog, IDC_COPY);
    if (index == LB_ERR) {
        SetCurrentItem(dialog, 0);
        EnableWindow(copy, FALSE);
    } else {
        SetCurrentItem(dialog, MAKELONG(static_cast<WORD>(index), static_cast<WORD>(listId)));
        EnableWindow(copy, TRUE);
    }
    InvalidateRect(copy, nullptr, TRUE);
}

void DrawImageItem(HWND dialog, const DRAWITEMSTRUCT* item)
{
    int colour = COLOR_WINDOW;
    if (item->itemState & ODS_FOCUS)
        colour = COLOR_HIGHLIGHT;
    else if (item->itemState & ODS_SELECTED)
        colour = COLOR_INACTIVECAPTION;
    ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(GetSysColor(colour)));
    if (brush)
        FillRect(item->hDC, &item->rcItem, brush.Get());

    HICON image = reinterpret_cast<HICON>(item->itemData);
    if (!image)
        return;
    int size = item->CtlID == IDC_ICON_LIST ? GetIconSize(dialog) : kCursorSize;
    const RECT& cell = item->rcItem;
    int x = cell.left + (cell.right - cell.left - size) / 2;
    int y = cell.top + (cell.bottom - cell.top - size) / 2;
    DrawIconEx(item->hDC, x, y, image, size, size, 0, brush.Get(), DI_NORMAL);
}

void DrawButtonOutline(HDC dc, const RECT& bounds, bool focused)
{
    ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, focused ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNFACE)));
    if (!pen)
        return;
    ScopedSelect penSelection(dc, pen.Get());
    ScopedSelect brushSelection(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
}

void DrawCopyButton(HWND dialog, const DRAWITEMSTRUCT* item)
{
    HDC dc = item->hDC;
    const RECT& bounds = item->rcItem;
    int width = bounds.right - bounds.left;
    int height = bounds.bottom - bounds.top;
    bool focused = (item->itemState & ODS_FOCUS) != 0;

    RECT face = bounds;
    InflateRect(&face, -1, -1);
    UINT frame = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (item->itemState & ODS_SELECTED)
        frame |= DFCS_PUSHED;
    DrawFrameControl(dc, &face, DFC_BUTTON, frame);  // leaves face at the button's face
    DrawButtonOutline(dc, bounds, focused);
    if (focused) {
        InflateRect(&face, -1, -1);
        DrawFocusRect(dc, &face);
    }

    char text[16];
    int length = GetWindowTextA(item->hwndItem, text, sizeof text);
    if (length < 0)
        length = 0;
    text[length] = '\0';
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text, length, &extent);
    int blockTop = bounds.top + (height - extent.cy - kPictureArea) / 2;

    bool current = GetCurrentItem(dialog) != 0;
    int size = 0;
    HICON image = GetCurrentImage(dialog, &size);
    if (image)
        DrawIconEx(dc, bounds.left + (width - size) / 2, blockTop + (kPictureArea - size) / 2, image, size, size, 0,
                   nullptr, DI_NORMAL);

    int x = bounds.left + (width - extent.cx) / 2;
    int y = blockTop + kPictureArea + kTextGap;
    if (current) {
        RECT line = {x, y, x + extent.cx, face.bottom};
        DrawTextA(dc, text, -1, &line, DT_CENTER | DT_WORDBREAK | DT_SINGLELINE | DT_NOPREFIX);
    } else {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text), length, x, y, 0, 0, DST_TEXT | DSS_DISABLED);
    }
}

// image drawn at size x size over white, as a new bitmap; null when any step fails.
HBITMAP DrawOnWhite(HICON image, int size)
{
    ScopedCreatedDc screen(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    if (!screen)
        return nullptr;
    ScopedCreatedDc memory(CreateCompatibleDC(screen.Get()));
    ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Get(), size, size));
    if (!memory || !bitmap)
        return nullptr;
    HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
    if (!previous)
        return nullptr;
    DrawIconEx(memory.Get(), 0, 0, image, size, size, 0, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)),
               DI_NORMAL);
    // The bitmap must be out of the memory context before it is copied.
    SelectObject(memory.Get(), previous);
    return static_cast<HBITMAP>(CopyImage(bitmap.Get(), IMAGE_BITMAP, size, size, 0));
}

void CopyImageToClipboard(HWND dialog)
{
    HICON image = GetCurrentImage(dialog, nullptr);
    if (!image || !OpenClipboard(dialog))
        return;
    // A cursor is copied at the chosen icon size too, not at its shown 32.
    ScopedGdiObject<HBITMAP> copy(DrawOnWhite(image, GetIconSize(dialog)));
    if (copy) {
        EmptyClipboard();
        if (SetClipboardData(CF_BITMAP, copy.Get()))
            copy.Release();  // the clipboard owns it now
    }
    CloseClipboard();
}

BOOL OnInitDialog(HWND dialog, LPARAM lParam)
{
    PropSheetExtension* object = AttachPageObject(dialog, lParam);
    if (!object)
        return FALSE;
    SetDlgItemTextA(dialog, IDC_FILE_NAME, object->fileName);
    CheckRadioButton(dialog, IDC_SIZE_NORMAL, IDC_SIZE_LARGE, IDC_SIZE_NORMAL);

    // The size change sent below fills the icon list: filling it here as well would
    // load every icon twice before any is shown.
    if (FillCursorList(dialog, object) > 0) {
        SendDlgItemMessageA(dialog, IDC_CURSOR_LIST, LB_SETCURSEL, 0, 0);
    } else {
        ShowWindow(GetDlgItem(dialog, IDC_CURSOR_LABEL), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_CURSOR_LIST), SW_HIDE);
    }
    // Refills the icon list at the checked size and makes its first icon current.
    HWND normal = GetDlgItem(dialog, IDC_SIZE_NORMAL);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SIZE_NORMAL, BN_CLICKED), reinterpret_cast<LPARAM>(normal));
    return TRUE;
}

void OnCommand(HWND dialog, int id, int code, HWND control)
{
    PropSheetExtension* object = GetPageObject(dialog);
    if (!object)
        return;
    switch (id) {
    case IDC_COPY:
        CopyImageToClipboard(dialog);
        break;
    case IDC_SIZE_SMALL:
    case IDC_SIZE_NORMAL:
    case IDC_SIZE_LARGE:
        if (code == BN_CLICKED)
            OnSizeChange(dialog, object);
        break;
    case IDC_ICON_LIST:
    case IDC_CURSOR_LIST:
        // The list last focused or changed decides what Copy shows.
        if (code == LBN_SETFOCUS)
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        else if (code == LBN_SELCHANGE)
            OnSelectionChange(dialog, id);
        break;
    }
}

void OnMeasureItem(HWND dialog, MEASUREITEMSTRUCT* item)
{
    if (item->CtlType != ODT_LISTBOX)
        return;
    // One item fills a whole column: each list is a single row that scrolls sideways.
    RECT client = {};
    GetClientRect(GetDlgItem(dialog, item->CtlID), &client);
    item->itemWidth = kCellWidth;
    item->itemHeight = client.bottom - client.top;
}

void OnDrawItem(HWND dialog, const DRAWITEMSTRUCT* item)
{
    if (item->CtlType == ODT_LISTBOX && (item->CtlID == IDC_ICON_LIST || item->CtlID == IDC_CURSOR_LIST))
        DrawImageItem(dialog, item);
    else if (item->CtlType == ODT_BUTTON && item->CtlID == IDC_COPY)
        DrawCopyButton(dialog, item);
}

void OnDestroy(HWND dialog)
{
    ClearImageListBox(dialog, IDC_ICON_LIST);
    ClearImageListBox(dialog, IDC_CURSOR_LIST);
    RemovePropA(dialog, kCurrentItemProperty);
}

}  // namespace

INT_PTR CALLBACK IconsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_MEASUREITEM:
        OnMeasureItem(dialog, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        break;
    case WM_DRAWITEM:
        OnDrawItem(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        break;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        break;
    case WM_HELP:
        OnContextHelp(dialog, reinterpret_cast<const HELPINFO*>(lParam));
        break;
    case WM_DESTROY:
        OnDestroy(dialog);
        break;
    }
    return 0;
}
