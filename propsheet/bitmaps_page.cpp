// The Bitmaps page: lists the bitmap resources of the selected module, previews the
// chosen one on the etched frame and copies it to the clipboard.
#include "help.h"
#include "mbstring.h"
#include "pages.h"
#include "prop_sheet_extension.h"
#include "resource.h"
#include "scoped.h"
#include "settings.h"
#include <prsht.h>

namespace {

// Entry texts and the size label: 79 characters and the terminator.
const int kEntrySize = 80;
// The preview area is the frame's client rectangle less this on every side.
const int kPreviewMargin = 2;
// Item data of an entry whose string name was cut to fit: it stands for no bitmap.
const LRESULT kEntryCut = 1;

// The text of a list entry: "%d" for an integer identifier, the string name in
// double quotes otherwise. False when a string name was cut to fit, without its
// closing quote: read as text, such an entry would name a shorter, other resource,
// so the caller marks it.
bool FormatEntry(LPCSTR name, char (&entry)[kEntrySize])
{
    if (IS_INTRESOURCE(name)) {
        wsprintfA(entry, "%d", static_cast<int>(reinterpret_cast<UINT_PTR>(name)));
        return true;
    }
    entry[0] = '\0';
    return AppendBounded(entry, kEntrySize, "\"") && AppendBounded(entry, kEntrySize, name) &&
           AppendBounded(entry, kEntrySize, "\"");
}

// The resource name an entry stands for. A quoted entry is changed in place: its
// closing quote is removed and the text after the opening one is returned.
LPCSTR GetEntryResourceName(char* entry)
{
    if (entry[0] == '"') {
        int length = lstrlenA(entry);
        if (length >= 2)
            entry[length - 1] = '\0';
        return entry + 1;
    }
    UINT number = 0;
    for (const char* digit = entry; *digit >= '0' && *digit <= '9'; ++digit)
        number = number * 10 + (*digit - '0');
    if (number != 0)
        return MAKEINTRESOURCEA(LOWORD(number));
    return entry;
}

// The text of the selected entry into entry; cut tells that it stands for no bitmap.
// False when nothing is selected.
bool GetSelectedEntry(HWND dialog, char (&entry)[kEntrySize], bool* cut)
{
    HWND list = GetDlgItem(dialog, IDC_BITMAP_LIST);
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return false;
    // Entries are built to fit, but a text put there some other way must not overrun.
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length >= kEntrySize)
        return false;
    if (SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(entry)) == LB_ERR)
        return false;
    *cut = SendMessageA(list, LB_GETITEMDATA, index, 0) == kEntryCut;
    return true;
}

// Loads the bitmap of name from the page's module, or null. Module 0 would make
// LoadImageA load the system's own bitmaps.
HBITMAP LoadEntryBitmap(HWND dialog, LPCSTR name)
{
    PropSheetExtension* object = GetPageObject(dialog);
    HMODULE module = object ? object->LoadedModule() : nullptr;
    if (!module || !name)
        return nullptr;
    return static_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
}

void DrawPreview(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_SIZE_LABEL, "");
    HWND frame = GetDlgItem(dialog, IDC_PREVIEW);
    ScopedWindowDc frameDc(frame);
    if (!frameDc)
        return;
    RECT area;
    GetClientRect(frame, &area);
    InflateRect(&area, -kPreviewMargin, -kPreviewMargin);
    int areaWidth = area.right > area.left ? area.right - area.left : 0;
    int areaHeight = area.bottom > area.top ? area.bottom - area.top : 0;
    {
        ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        if (brush)
            FillRect(frameDc.Get(), &area, brush.Get());
    }

    char entry[kEntrySize];
    bool cut = false;
    if (!GetPageObject(dialog) || !GetSelectedEntry(dialog, entry, &cut))
        return;
    char label[kEntrySize];
    CopyBounded(label, kEntrySize, entry);
    ScopedGdiObject<HBITMAP> bitmap(LoadEntryBitmap(dialog, cut ? nullptr : GetEntryResourceName(entry)));
    BITMAP description = {};
    if (bitmap)
        GetObjectA(bitmap.Get(), sizeof description, &description);

    char size[32];
    wsprintfA(size, " (%dx%d)", static_cast<int>(description.bmWidth), static_cast<int>(description.bmHeight));
    AppendBounded(label, kEntrySize, size);
    SetDlgItemTextA(dialog, IDC_SIZE_LABEL, label);

    int width = description.bmWidth < areaWidth ? description.bmWidth : areaWidth;
    int height = description.bmHeight < areaHeight ? description.bmHeight : areaHeight;
    EnableWindow(GetDlgItem(dialog, IDC_STRETCH),
                 description.bmWidth > areaWidth || description.bmHeight > areaHeight);
    if (!bitmap || width <= 0 || height <= 0)
        return;

    ScopedCreatedDc memory(CreateCompatibleDC(frameDc.Get()));
    if (!memory)
        return;
    ScopedSelect selected(memory.Get(), bitmap.Get());
    int x = (areaWidth - width) / 2 + kPreviewMargin;
    int y = (areaHeight - height) / 2 + kPreviewMargin;
    if (IsDlgButtonChecked(dialog, IDC_STRETCH) == BST_CHECKED)
        StretchBlt(frameDc.Get(), x, y, width, height, memory.Get(), 0, 0, description.bmWidth,
                   description.bmHeight, SRCCOPY);
    else
        BitBlt(frameDc.Get(), x, y, width, height, memory.Get(), 0, 0, SRCCOPY);
}

void CopyBitmapToClipboard(HWND dialog)
{
    if (!GetPageObject(dialog) || !OpenClipboard(dialog))
        return;
    char entry[kEntrySize];
    bool cut = false;
    if (GetSelectedEntry(dialog, entry, &cut)) {
        ScopedGdiObject<HBITMAP> bitmap(LoadEntryBitmap(dialog, cut ? nullptr : GetEntryResourceName(entry)));
        // The loaded bitmap goes away below; the clipboard gets a bitmap of its own.
        ScopedGdiObject<HBITMAP> copy(
            bitmap ? static_cast<HBITMAP>(CopyImage(bitmap.Get(), IMAGE_BITMAP, 0, 0, 0)) : nullptr);
        if (copy) {
            EmptyClipboard();
            // On success the clipboard owns the copy.
            if (SetClipboardData(CF_BITMAP, copy.Get()))
                copy.Release();
        }
    }
    CloseClipboard();
}

void PostSelectionChange(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BITMAP_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_BITMAP_LIST)));
}

BOOL OnInitDialog(HWND dialog, LPARAM lParam)
{
    PropSheetExtension* object = AttachPageObject(dialog, lParam);
    if (!object)
        return FALSE;
    SetDlgItemTextA(dialog, IDC_FILE_NAME, object->fileName);
    if (HMODULE module = object->LoadModule())
        EnumResourceNamesA(module, RT_BITMAP, reinterpret_cast<ENUMRESNAMEPROCA>(AddBitmapName),
                           reinterpret_cast<LONG_PTR>(dialog));
    if (ReadSetting(IDS_FLAGS_KEY, kDefaultFlags) & kFlagStretch)
        CheckDlgButton(dialog, IDC_STRETCH, BST_CHECKED);
    // Nothing is selected yet: the posted command disables Copy and clears the preview.
    PostSelectionChange(dialog);
    return TRUE;
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_COPY:
        CopyBitmapToClipboard(dialog);
        break;
    case IDC_BITMAP_LIST:
        if (code == LBN_SELCHANGE) {
            bool selected = SendDlgItemMessageA(dialog, IDC_BITMAP_LIST, LB_GETCURSEL, 0, 0) != LB_ERR;
            EnableWindow(GetDlgItem(dialog, IDC_COPY), selected);
            DrawPreview(dialog);
        }
        break;
    case IDC_STRETCH:
        DrawPreview(dialog);
        break;
    }
}

// The flags are read again now, so bits another writer changed meanwhile survive.
// Flags 0 switch the whole extension off: setting the Stretch bit there would turn
// it back on, so they are left as they are.
void SaveStretchState(HWND dialog)
{
    UINT flags = ReadSetting(IDS_FLAGS_KEY, kDefaultFlags);
    if (flags == 0)
        return;
    if (IsDlgButtonChecked(dialog, IDC_STRETCH) == BST_CHECKED)
        WriteSetting(IDS_FLAGS_KEY, flags | kFlagStretch);
    else
        WriteSetting(IDS_FLAGS_KEY, flags & ~kFlagStretch);
}

}  // namespace

BOOL CALLBACK AddBitmapName(HMODULE, LPCSTR type, LPSTR name, LONG_PTR lParam)
{
    HWND dialog = reinterpret_cast<HWND>(lParam);
    if (!dialog || !IS_INTRESOURCE(type) || type != RT_BITMAP)
        return TRUE;
    char entry[kEntrySize];
    bool whole = FormatEntry(name, entry);
    LRESULT index = SendDlgItemMessageA(dialog, IDC_BITMAP_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    if (!whole && index >= 0)
        SendDlgItemMessageA(dialog, IDC_BITMAP_LIST, LB_SETITEMDATA, index, kEntryCut);
    return TRUE;
}

INT_PTR CALLBACK BitmapsPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_PAINT:
        // The preview lives only on the screen: draw it again once the page has painted.
        PostSelectionChange(dialog);
        return 0;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_SETACTIVE)) {
            if (PropSheetExtension* object = GetPageObject(dialog))
                object->LoadModule();
        }
        return 0;
    case WM_HELP:
        OnContextHelp(dialog, reinterpret_cast<const HELPINFO*>(lParam));
        return 0;
    case WM_DESTROY:
        // A page without its object never read the setting, so it has nothing to save.
        if (GetPageObject(dialog))
            SaveStretchState(dialog);
        return 0;
    }
    return 0;
}
