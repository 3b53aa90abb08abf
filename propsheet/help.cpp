// Help calls of the component, on the help file beside it.
#include "help.h"
#include "help_file.h"
#include "module.h"
#include "resource.h"

void ShowHelp(HWND hwnd, int context)
{
    UINT command = context == -1 ? HELP_QUIT : context == 0 ? HELP_CONTEXT : HELP_CONTEXTPOPUP;
    ULONG_PTR data = context == -1 ? 0 : context == 0 ? IDD_SETTINGS_PAGE : context;
    ShowHelpFile(hwnd, nullptr, moduleInstance, MAKEINTRESOURCEA(IDS_HELP_FILE), command, data);
}

void OnContextHelp(HWND hwnd, const HELPINFO* helpInfo)
{
    if (helpInfo->iCtrlId > 0)
        ShowHelp(hwnd, helpInfo->iCtrlId);
}
