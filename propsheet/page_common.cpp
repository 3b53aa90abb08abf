// What the Touch, Icons and Bitmaps pages share: the object they show.
#include "pages.h"
#include "prop_sheet_extension.h"
#include "resource.h"
#include <prsht.h>

PropSheetExtension* AttachPageObject(HWND dialog, LPARAM initParam)
{
    const PROPSHEETPAGEA* page = reinterpret_cast<const PROPSHEETPAGEA*>(initParam);
    PropSheetExtension* object = page ? reinterpret_cast<PropSheetExtension*>(page->lParam) : nullptr;
    if (!object)
        return nullptr;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
    SendDlgItemMessageA(dialog, IDC_FILE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(object->fileIcon), 0);
    return object;
}

PropSheetExtension* GetPageObject(HWND dialog)
{
    return reinterpret_cast<PropSheetExtension*>(GetWindowLongPtrA(dialog, DWLP_USER));
}
