// The suite's uninstaller: the user chooses components, each one's own Uninstall
// runs, and a run that leaves the component key as it was removes the applet.
#include "applet.h"
#include "file_paths.h"
#include "help_file.h"
#include "messages.h"
#include "module.h"
#include "registry.h"
#include "resource.h"
#include "scoped.h"
#include "suite_keys.h"
#include <setupapi.h>
#include <shellapi.h>

namespace {

typedef BOOL(WINAPI* ComponentUninstallEntry)(HWND owner);

void EnableContinue(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, IDOK), enable);
}

// Lists every named REG_SZ value of the component key whose name fits 32
// characters; false when the key does not open.
bool ListComponents(HWND dialog)
{
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    ScopedKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ))
        return false;
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    for (DWORD index = 0;; ++index) {
        char name[32];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        LONG result = RegEnumValueA(key.Get(), index, name, &nameSize, nullptr, &type, nullptr, nullptr);
        // A key deleted meanwhile answers ERROR_KEY_DELETED at every index.
        if (result == ERROR_NO_MORE_ITEMS || result == ERROR_KEY_DELETED)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ && name[0])
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    return true;
}

BOOL OnInitDialog(HWND dialog, LPARAM directory)
{
    if (!ListComponents(dialog)) {
        ShowMessage(dialog, IDS_NO_REGISTRY, MB_ICONEXCLAMATION);
        EndDialog(dialog, -1);
        return FALSE;
    }
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) <= 0) {
        // Nothing to choose: the caller goes on as after Continue.
        EndDialog(dialog, 1);
        return FALSE;
    }
    // Loaded unshared, so that WM_DESTROY may destroy it.
    HICON icon = static_cast<HICON>(LoadImageA(moduleInstance, MAKEINTRESOURCEA(IDI_UNINSTALL), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_COMPONENT_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    SetWindowLongPtrA(dialog, DWLP_USER, directory);
    return TRUE;
}

void OnContinue(HWND dialog)
{
    EnableContinue(dialog, FALSE);
    int result = RemoveSelectedComponents(dialog);
    if (result == 1)
        EndDialog(dialog, 1);
    else if (result == 0)
        EndDialog(dialog, kUninstallIncomplete);
    else
        EnableContinue(dialog, TRUE);
}

// The applet's own removal: the installation directory in the component key, its
// INF's uninstall section, then the shared settings file and the help index, and the
// suite's container keys once empty. The directory goes first and comes back when
// the section fails, so that a failure leaves the applet whole for another run.
// 1 whether or not the removal went through.
int RemoveApplet(const char* directory)
{
    char path[MAX_PATH];
    if (!MakeFilePath(path, sizeof path, directory, nullptr, MAKEINTRESOURCEA(IDS_INF_FILE))) {
        ShowSystemError(nullptr, ERROR_FILENAME_EXCED_RANGE);
        return 1;
    }
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    SavedValue saved = {SavedValue::Missing};
    {
        ScopedKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
            SaveValue(key.Get(), nullptr, &saved);
            LONG result = saved.state == SavedValue::Missing ? ERROR_SUCCESS : RegDeleteValueA(key.Get(), nullptr);
            if (result != ERROR_SUCCESS) {
                ShowSystemError(nullptr, result);
                return 1;
            }
        }
    }
    bool removed = InstallSection(nullptr, UninstallSectionName(), path);
    if (!removed && saved.state != SavedValue::Missing) {
        ScopedKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_SET_VALUE))
            RestoreValue(key.Get(), nullptr, saved);
    }
    // Also after a failure: keys left empty by an earlier removal go now.
    RemoveRecordedSuiteKeys();
    if (!removed)
        return 1;
    if (MakeFilePath(path, sizeof path, directory, nullptr, MAKEINTRESOURCEA(IDS_SETTINGS_FILE)))
        DeleteFileA(path);
    if (MakeFilePath(path, sizeof path, directory, nullptr, "KELVARA.GID"))
        DeleteFileA(path);
    SetupPromptReboot(nullptr, nullptr, FALSE);
    return 1;
}

// A component whose library file is gone has no section left to take its value out
// of the component key: the uninstaller does it. False when the value stays.
bool RemoveComponentValue(const char* name)
{
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    ScopedKey key;
    return key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_SET_VALUE) && RegDeleteValueA(key.Get(), name) == ERROR_SUCCESS;
}

bool LibraryFileIsGone(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Whether this process holds the administrator rights of an elevated token. When
// that cannot be told it counts as elevated, so that no copy starts another.
bool RunsElevated()
{
    typedef BOOL(WINAPI * OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
    typedef BOOL(WINAPI * GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    auto openToken = reinterpret_cast<OpenProcessTokenFunction>(SystemFunction("advapi32.dll", "OpenProcessToken"));
    auto getInformation =
        reinterpret_cast<GetTokenInformationFunction>(SystemFunction("advapi32.dll", "GetTokenInformation"));
    HANDLE token = nullptr;
    if (!openToken || !getInformation || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;
    TOKEN_ELEVATION elevation = {TRUE};
    DWORD size = 0;
    BOOL known = getInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return !known || elevation.TokenIsElevated;
}

// The argument that marks the removal started again with the "runas" verb. rundll32
// hands it to Uninstall; the applet reads it from the process's command line, since
// Uninstall takes no arguments.
const char kRelaunchMark[] = "/Relaunched";

// Whether the last word of this process's command line is the relaunch mark.
bool IsRelaunched()
{
    const char* line = GetCommandLineA();
    int end = lstrlenA(line);
    while (end > 0 && line[end - 1] == ' ')
        --end;
    // A space byte is never the trail byte of a double-byte character.
    int start = end;
    while (start > 0 && line[start - 1] != ' ')
        --start;
    char word[sizeof kRelaunchMark];
    if (end - start != lstrlenA(kRelaunchMark))
        return false;
    lstrcpynA(word, line + start, sizeof word);
    return lstrcmpiA(word, kRelaunchMark) == 0;
}

// The removal was refused the component key's write access. From Windows Vista on,
// the list of installed programs starts it without administrator rights: the same
// command starts again, marked, with the "runas" verb, which asks for them, and this
// run ends having changed nothing. A marked run does not start another copy: where
// User Account Control is off, "runas" gives the same token again, and each copy
// would start the next. Elsewhere the user sees why nothing is removed.
int AskForRights()
{
    DWORD error = ERROR_ACCESS_DENIED;
    if (IsWindowsVistaOrLater() && !IsRelaunched() && !RunsElevated()) {
        char program[MAX_PATH];
        char applet[MAX_PATH];
        if (MakeSystemFilePath(program, sizeof program, "rundll32.exe") &&
            MakeModulePath(applet, sizeof applet, moduleInstance)) {
            char parameters[MAX_PATH + 32];
            wsprintfA(parameters, "\"%s\",Uninstall %s", applet, kRelaunchMark);
            SHELLEXECUTEINFOA execute = {};
            execute.cbSize = sizeof execute;
            // rundll32 ends as soon as this returns.
            execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
            execute.lpVerb = "runas";
            execute.lpFile = program;
            execute.lpParameters = parameters;
            execute.nShow = SW_SHOWNORMAL;
            if (ShellExecuteExA(&execute))
                return 0;
            error = GetLastError();
            // The user said no to the request for rights.
            if (error == ERROR_CANCELLED) {
                ShowMessage(nullptr, IDS_RIGHTS_DECLINED, MB_ICONEXCLAMATION);
                return 0;
            }
        }
    }
    ShowSystemError(nullptr, error);
    return 0;
}

}  // namespace

BOOL UninstallComponent(HWND owner, const char* path, bool* libraryGone)
{
    ScopedLibrary library(LoadLibraryA(path));
    if (!library) {
        ShowMessage(owner, IDS_NO_LIBRARY, MB_ICONEXCLAMATION, path);
        if (libraryGone)
            *libraryGone = LibraryFileIsGone(path);
        return FALSE;
    }
    auto uninstall = reinterpret_cast<ComponentUninstallEntry>(GetProcAddress(library.Get(), "Uninstall"));
    if (!uninstall) {
        ShowMessage(owner, IDS_NO_ENTRY, MB_ICONEXCLAMATION, path, "Uninstall");
        return FALSE;
    }
    return uninstall(owner);
}

int RemoveSelectedComponents(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_COMPONENT_LIST);
    LRESULT selected = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    int count = selected > 0 ? static_cast<int>(selected) : 0;
    int* indices = static_cast<int*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, (count > 0 ? count : 1) * sizeof(int)));
    if (!indices) {
        ShowMessage(dialog, IDS_OUT_OF_MEMORY, MB_ICONEXCLAMATION);
        return -1;
    }
    if (SendMessageA(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(indices)) == LB_ERR) {
        ShowMessage(dialog, IDS_NO_SELECTION, MB_ICONEXCLAMATION);
        LocalFree(indices);
        return -1;
    }
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    ScopedKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ)) {
        ShowMessage(dialog, IDS_NO_REGISTRY, MB_ICONEXCLAMATION);
        LocalFree(indices);
        return -1;
    }
    // LB_GETSELITEMS gives the indices in ascending order, the list's sorted order.
    bool allRemoved = true;
    for (int i = 0; i < count; ++i) {
        char name[32];
        char path[MAX_PATH];
        if (SendMessageA(list, LB_GETTEXTLEN, indices[i], 0) >= static_cast<LRESULT>(sizeof name) ||
            SendMessageA(list, LB_GETTEXT, indices[i], reinterpret_cast<LPARAM>(name)) == LB_ERR ||
            !ReadRegistryString(key.Get(), name, path, sizeof path)) {
            allRemoved = false;
            continue;
        }
        bool gone = false;
        bool removed = UninstallComponent(dialog, path, &gone) || (gone && RemoveComponentValue(name));
        allRemoved = allRemoved && removed;
    }
    key.Close();
    LocalFree(indices);
    // Going on would remove the applet and leave that component with nothing to
    // remove it: the whole run stops here instead.
    if (!allRemoved) {
        ShowMessage(dialog, IDS_NOT_ALL_REMOVED, MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}

void ShowUninstallHelp(HWND dialog)
{
    const char* directory = reinterpret_cast<const char*>(GetWindowLongPtrA(dialog, DWLP_USER));
    // The help window stays open when the dialog ends.
    ShowHelpInDirectory(dialog, directory, MAKEINTRESOURCEA(IDS_HELP_FILE), HELP_CONTEXT, IDD_UNINSTALL);
}

INT_PTR CALLBACK UninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnContinue(dialog);
            break;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            break;
        case IDC_UNINSTALL_HELP:
            ShowUninstallHelp(dialog);
            break;
        case IDC_COMPONENT_LIST:
            if (HIWORD(wParam) == LBN_SELCHANGE) {
                LRESULT selected = SendDlgItemMessageA(dialog, IDC_COMPONENT_LIST, LB_GETSELCOUNT, 0, 0);
                EnableContinue(dialog, selected > 0 && selected != LB_ERR);
            }
            break;
        }
        return FALSE;
    case WM_DESTROY: {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0));
        if (icon)
            DestroyIcon(icon);
        return FALSE;
    }
    }
    return FALSE;
}

extern "C" int __cdecl Uninstall(void)
{
    char directory[MAX_PATH];
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    // Write access too, so that a user without the rights is stopped before anything
    // changes.
    ScopedKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ | KEY_SET_VALUE)) {
        DWORD before = CountValues(key.Get());
        ReadInstallDirectory(key.Get(), directory, sizeof directory);
        if (before > 0) {
            INT_PTR result = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr,
                                             UninstallDialogProc, reinterpret_cast<LPARAM>(directory));
            if (result != 1 && result != kUninstallIncomplete)
                return 0;
            if (CountValues(key.Get()) != before) {
                key.Close();
                // Components went this run; the applet stays for a later run.
                SetupPromptReboot(nullptr, nullptr, FALSE);
                return 0;
            }
            if (result == kUninstallIncomplete)
                return 0;
        }
        key.Close();
    } else if (key.Error() == ERROR_ACCESS_DENIED) {
        return AskForRights();
    } else {
        ReadInstallDirectory(nullptr, directory, sizeof directory);
    }
    return RemoveApplet(directory);
}
