// The About page: the last page of the settings sheet.
#include "applet.h"
#include "help_file.h"
#include "module.h"
#include "resource.h"
#include <prsht.h>
#include <shellapi.h>

namespace {

// The maker's web site that "Go Online" opens; the page's contact text shows it.
const char kWebSite[] = "http://kelvara.invalid/";

}  // namespace

void ShowAboutHelp(HWND page, BOOL showTopic)
{
    char directory[MAX_PATH];
    GetInstallDirectory(directory, sizeof directory, KEY_QUERY_VALUE);
    // The sheet owns the help window, so closing the sheet's help closes it.
    ShowHelpInDirectory(GetParent(page), directory, MAKEINTRESOURCEA(IDS_HELP_FILE),
                        showTopic ? HELP_CONTEXT : HELP_QUIT, showTopic ? IDD_ABOUT_PAGE : 0);
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_GO_ONLINE) {
            // A browser that does not start is not reported.
            ShellExecuteA(page, nullptr, kWebSite, nullptr, nullptr, SW_SHOW);
        }
        return FALSE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_HELP))
            ShowAboutHelp(page, TRUE);
        return 0;
    case WM_DESTROY:
        ShowAboutHelp(page, FALSE);
        return FALSE;
    }
    return FALSE;
}
