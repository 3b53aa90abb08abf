// Help calls of the component.
#include "help.h"
#include "mbstring.h"
#include "module.h"
#include "resource.h"

void ShowHelp(HWND hwnd, int context)
{
    char path[MAX_PATH];
    path[0] = '\0';
    GetModuleFileNameA(moduleInstance, path, sizeof path);
    char* name = FileNamePart(path);
    // An 8.3 name: 13 characters with the terminator, and never past the buffer.
    int room = static_cast<int>(sizeof path - (name - path));
    LoadStringA(moduleInstance, IDS_HELP_FILE, name, room < 13 ? room : 13);

    if (context == -1)
        WinHelpA(hwnd, path, HELP_QUIT, 0);
    else if (context == 0)
        WinHelpA(hwnd, path, HELP_CONTEXT, IDD_SETTINGS_PAGE);
    else
        WinHelpA(hwnd, path, HELP_CONTEXTPOPUP, context);
}

void OnContextHelp(HWND hwnd, const HELPINFO* helpInfo)
{
    if (helpInfo->iCtrlId > 0)
        ShowHelp(hwnd, helpInfo->iCtrlId);
}
