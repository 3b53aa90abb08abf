// Help calls of the component, on the help file beside it.
#include "help.h"
#include "help_file.h"
#include "module.h"
#include "resource.h"

void ShowHelp(HWND hwnd, int context)
{
    UINT command = context == -1 ? HELP_QUIT : context == 0 ? HELP_CONTEXT : HELP_CONTEXTPOPUP;
    ULONG_PTR data = context == -1 ? 0 : context == 0 ? IDD_SETTINGS_PAGE : context;
    ShowHelpBesideModule(hwnd, moduleInstance, MAKEINTRESOURCEA(IDS_HELP_FILE), command, data);
}

void OnContextHelp(HWND hwnd, const HELPINFO* helpInfo)
{
    int id = helpInfo->iCtrlId;
    // F1 in a control's own child (the edit of the time combo box, id 1001) comes
    // with the child's id: the topic is that of the page's control holding it.
    HWND item = static_cast<HWND>(helpInfo->hItemHandle);
    if (helpInfo->iContextType == HELPINFO_WINDOW && IsChild(hwnd, item)) {
        while (GetParent(item) != hwnd)
            item = GetParent(item);
        id = GetDlgCtrlID(item);
    }
    if (id > 0)
        ShowHelp(hwnd, id);
}
