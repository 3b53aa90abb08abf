// The Touch page: shows and sets the time stamps of the selected files.
#include "pages.h"
#include "prop_sheet_extension.h"
#include "resource.h"

namespace {

BOOL OnInitDialog(HWND dialog, LPARAM lParam)
{
    PropSheetExtension* object = AttachPageObject(dialog, lParam);
    if (!object)
        return FALSE;
    SetDlgItemTextA(dialog, IDC_FILE_NAME, object->fileName);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK TouchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    }
    return 0;
}
