// The settings page that the Control Panel applet shows for this component.
#include "help.h"
#include "messages.h"
#include "module.h"
#include "pages.h"
#include "resource.h"
#include "settings.h"
#include <prsht.h>

namespace {

const int kChoices[] = {IDC_SHOW_TOUCH, IDC_SHOW_ICONS, IDC_ICONS_ONLY_WITH_ICONS, IDC_SHOW_BITMAPS};

bool IsChecked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void OnInitDialog(HWND page)
{
    UINT flags = ReadSetting(IDS_FLAGS_KEY, kDefaultFlags);
    // A switched-off extension shows every choice checked, ready to be switched on.
    CheckDlgButton(page, IDC_ENABLE, flags != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_SHOW_TOUCH, flags == 0 || (flags & kFlagTouch));
    CheckDlgButton(page, IDC_SHOW_ICONS, flags == 0 || (flags & kFlagIcons));
    CheckDlgButton(page, IDC_ICONS_ONLY_WITH_ICONS, flags == 0 || (flags & kFlagIconsOnlyWithIcons));
    CheckDlgButton(page, IDC_SHOW_BITMAPS, flags == 0 || (flags & kFlagBitmaps));
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ENABLE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ENABLE)));
}

// False when the flags could not be stored (the error is the thread's last error).
bool OnApply(HWND page)
{
    UINT value = 0;
    if (IsChecked(page, IDC_ENABLE)) {
        if (IsChecked(page, IDC_SHOW_TOUCH))
            value |= kFlagTouch;
        if (IsChecked(page, IDC_SHOW_ICONS))
            value |= kFlagIcons;
        if (IsChecked(page, IDC_ICONS_ONLY_WITH_ICONS))
            value |= kFlagIconsOnlyWithIcons;
        if (IsChecked(page, IDC_SHOW_BITMAPS))
            value |= kFlagBitmaps;
    }
    return WriteSetting(IDS_FLAGS_KEY, value);
}

}  // namespace

extern "C" BOOL WINAPI CplGetPage(PROPSHEETPAGEA* page)
{
    page->dwFlags = PSP_HASHELP;
    page->hInstance = moduleInstance;
    page->pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
    page->pfnDlgProc = PindrelSettingsPage;
    return TRUE;
}

INT_PTR CALLBACK PindrelSettingsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ENABLE) {
            BOOL enable = IsChecked(page, IDC_ENABLE);
            for (int id : kChoices)
                EnableWindow(GetDlgItem(page, id), enable);
        } else if (LOWORD(wParam) == IDC_SHOW_ICONS) {
            EnableWindow(GetDlgItem(page, IDC_ICONS_ONLY_WITH_ICONS), IsChecked(page, IDC_SHOW_ICONS));
        }
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == static_cast<UINT>(PSN_APPLY)) {
            // A standard user may be refused the write: the sheet must not close as
            // if the choices had been kept.
            bool stored = OnApply(page);
            if (!stored)
                ShowSystemError(GetParent(page), GetLastError());
            SetWindowLongPtrA(page, DWLP_MSGRESULT, stored ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
            return TRUE;  // the sheet reads the answer only then
        } else if (header->code == static_cast<UINT>(PSN_HELP)) {
            ShowHelp(page, 0);
        }
        return 0;
    }
    case WM_DESTROY:
        ShowHelp(page, -1);
        return 0;
    }
    return 0;
}
