// SETUP.EXE: dialog 12000, where the user chooses the components, and the
// installation pass that calls each chosen library's Install export.
#include "file_paths.h"
#include "help_file.h"
#include "mbstring.h"
#include "messages.h"
#include "module.h"
#include "resource.h"
#include "setup.h"

namespace {

const char kHelpFileName[] = "KELVARA.HLP";
const char kAppletName[] = "Control Panel applet";

// What GetPrivateProfileSectionA may return for [Components]; the rest is cut off.
const int kSectionSize = 256;
// A display name: 31 characters and the terminator.
const int kDisplayNameSize = 32;
// A library's file name: an 8.3 name, 12 characters and the terminator.
const int kLibraryNameSize = 13;

using InstallFunction = BOOL(WINAPI*)(HWND owner);

// The length of the zero-ended string at text, not looking at or past end; -1 when
// no terminator comes before end.
int BoundedLength(const char* text, const char* end)
{
    for (const char* p = text; p < end; ++p) {
        if (!*p)
            return static_cast<int>(p - text);
    }
    return -1;
}

}  // namespace

BOOL FillComponentList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    LoadStringA(moduleInstance, IDS_COMPONENTS_SECTION, sectionName, sizeof sectionName);
    char section[kSectionSize] = {};
    GetPrivateProfileSectionA(sectionName, section, sizeof section, setupIniPath);

    const char* end = section + sizeof section;
    for (char* line = section; line < end && *line;) {
        int length = BoundedLength(line, end);
        if (length < 0)
            break;
        char* equals = FindLastChar(line, '=');
        // A name longer than the list's 31 characters could be neither read back
        // from the list nor looked up again, so it is treated as missing.
        if (equals && equals - line < kDisplayNameSize) {
            *equals = '\0';
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        }
        line += length + 1;
    }
    return SendMessageA(list, LB_GETCOUNT, 0, 0) > 0;
}

BOOL InstallComponent(HWND dialog, const char* section, const char* key)
{
    char value[kLibraryNameSize];
    GetPrivateProfileStringA(section, key, "", value, sizeof value, setupIniPath);
    if (!value[0])
        return FALSE;
    char path[MAX_PATH];
    if (!MakeFilePath(path, sizeof path, nullptr, nullptr, value))
        return FALSE;

    HMODULE library = LoadLibraryA(path);
    if (!library)
        return FALSE;
    auto install = reinterpret_cast<InstallFunction>(GetProcAddress(library, "Install"));
    BOOL result = install ? install(dialog) : FALSE;
    FreeLibrary(library);
    return result;
}

BOOL InstallSelected(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    int count = static_cast<int>(SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    if (count < 0)
        count = 0;
    int* indices = static_cast<int*>(LocalAlloc(LPTR, count * sizeof(int)));
    if (!indices) {
        ShowMessage(dialog, IDS_OUT_OF_MEMORY, MB_ICONEXCLAMATION);
        return FALSE;
    }
    int selected = static_cast<int>(SendMessageA(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(indices)));
    if (selected <= 0) {
        ShowMessage(dialog, IDS_UNEXPECTED_ERROR, MB_ICONEXCLAMATION);
        LocalFree(indices);
        return FALSE;
    }

    // LB_GETSELITEMS gives the indices in ascending order: the list's sorted order.
    LoadStringA(moduleInstance, IDS_COMPONENTS_SECTION, sectionName, sizeof sectionName);
    for (int i = 0; i < selected; ++i) {
        char name[kDisplayNameSize];
        int length = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, indices[i], 0));
        // FillComponentList lists only names that fit; LB_GETTEXT itself has no limit.
        if (length < 0 || length >= kDisplayNameSize)
            continue;
        SendMessageA(list, LB_GETTEXT, indices[i], reinterpret_cast<LPARAM>(name));
        if (!InstallComponent(dialog, sectionName, name))
            ShowMessage(dialog, IDS_INSTALL_FAILED, MB_ICONEXCLAMATION, name);
    }

    LoadStringA(moduleInstance, IDS_CONTROL_PANEL_SECTION, sectionName, sizeof sectionName);
    LoadStringA(moduleInstance, IDS_APPLET_KEY, keyName, sizeof keyName);
    if (!InstallComponent(dialog, sectionName, keyName))
        ShowMessage(dialog, IDS_INSTALL_FAILED, MB_ICONEXCLAMATION, kAppletName);

    LocalFree(indices);
    return TRUE;
}

void ShowSetupHelp(HWND dialog, BOOL showContents)
{
    ShowHelpBesideModule(dialog, moduleInstance, kHelpFileName, showContents ? HELP_CONTENTS : HELP_QUIT, 0);
}

namespace {

BOOL OnInitDialog(HWND dialog)
{
    char title[48];
    FormatWindowTitle(title, sizeof title);
    SetWindowTextA(dialog, title);

    // Loaded unshared, so that WM_DESTROY may destroy it.
    HICON icon = static_cast<HICON>(LoadImageA(moduleInstance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    if (!FillComponentList(dialog)) {
        ShowMessage(nullptr, IDS_BAD_SETUP_INFO, MB_ICONERROR);
        EndDialog(dialog, -1);
        return FALSE;
    }
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    SendMessageA(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 0xFFFF));
    // As the list itself would report it, so that Continue starts enabled.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMPONENT_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return TRUE;
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_CONTINUE:
        if (InstallSelected(dialog))
            EndDialog(dialog, IDC_CONTINUE);
        break;
    case IDC_CANCEL:
        EndDialog(dialog, IDC_CANCEL);
        break;
    case IDC_HELP_BUTTON:
        ShowSetupHelp(dialog, TRUE);
        break;
    case IDC_COMPONENT_LIST:
        if (code == LBN_SELCHANGE) {
            LRESULT selected = SendDlgItemMessageA(dialog, IDC_COMPONENT_LIST, LB_GETSELCOUNT, 0, 0);
            EnableWindow(GetDlgItem(dialog, IDC_CONTINUE), selected > 0);
        }
        break;
    }
}

void OnDestroy(HWND dialog)
{
    HICON icon = reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
    if (icon)
        DestroyIcon(icon);
    ShowSetupHelp(dialog, FALSE);
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    }
    return FALSE;
}
