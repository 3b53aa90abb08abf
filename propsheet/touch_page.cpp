// The Touch page: shows and sets the time stamps of the selected files.
#include "date_time.h"
#include "file_paths.h"
#include "help.h"
#include "local_time.h"
#include "mbstring.h"
#include "module.h"
#include "pages.h"
#include "prop_sheet_extension.h"
#include "resource.h"
#include "scoped.h"
#include <imm.h>
#include <prsht.h>

namespace {

// Both fields are read into buffers of this size; the header's count text too.
const int kTextSize = 16;

int GetCheckedButton(HWND dialog, int firstId, int lastId)
{
    for (int id = firstId; id <= lastId; ++id) {
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED)
            return id;
    }
    return -1;
}

// While CBN_SELCHANGE is being sent the edit still shows the previous text, so a
// chosen list item is read from the list.
void GetComboText(HWND combo, char* buffer, int size)
{
    buffer[0] = '\0';
    LRESULT selection = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (selection != CB_ERR) {
        // CB_GETLBTEXT has no size: the only item is "00:00:00", which fits.
        if (SendMessageA(combo, CB_GETLBTEXTLEN, selection, 0) < size)
            SendMessageA(combo, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(buffer));
    } else {
        GetWindowTextA(combo, buffer, size);
    }
}

bool SameFileTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Valid means both fields parse and the typed local time is a file time, which goes
// to utc when given.
BOOL ValidateTimeFields(HWND dialog, FILETIME* utc, bool beep)
{
    char text[kTextSize];
    SYSTEMTIME parsed = {};
    FILETIME converted;
    GetDlgItemTextA(dialog, IDC_DATE, text, sizeof text);
    if (ParseDate(text, &parsed)) {
        GetComboText(GetDlgItem(dialog, IDC_TIME), text, sizeof text);
        if (ParseTime(text, &parsed) && LocalTime().ToUtc(parsed, utc ? utc : &converted))
            return TRUE;
    }
    if (beep)
        MessageBeep(MB_ICONEXCLAMATION);
    return FALSE;
}

void ApplyEnablingRule(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_TOUCH), ValidateTimeFields(dialog, nullptr, false));
    EnableWindow(GetDlgItem(dialog, IDC_RESET), TRUE);
}

// Shows the chosen stamp common to every readable selected file; empty fields when
// the files differ (to the 100-nanosecond unit) or none can be read.
void RefreshTimeStamps(HWND dialog, PropSheetExtension* object)
{
    SetDlgItemTextA(dialog, IDC_TIME, "");
    SetDlgItemTextA(dialog, IDC_DATE, "");
    int stamp = GetCheckedButton(dialog, IDC_STAMP_CREATION, IDC_STAMP_BOTH);
    if (stamp == -1)
        return;

    bool found = false;
    FILETIME common = {};
    LocalTime localTime;
    SelectionWalk walk(object);
    for (LONG i = 0; i < object->fileCount; ++i) {
        char name[MAX_PATH];
        if (!object->GetSelectedFile(i, name, sizeof name))
            continue;
        FILETIME creation = {};
        FILETIME lastWritten = {};
        {
            ScopedFile file(OpenForStamps(name, false));
            if (!file.Valid())
                continue;
            GetFileTime(file.Get(), &creation, nullptr, &lastWritten);
        }
        if (stamp == IDC_STAMP_BOTH && !SameFileTime(creation, lastWritten))
            return;
        FILETIME local;
        if (!localTime.FromUtc(stamp == IDC_STAMP_LAST_WRITTEN ? lastWritten : creation, &local))
            return;
        if (found && !SameFileTime(local, common))
            return;
        common = local;
        found = true;
    }
    if (!found)
        return;

    SYSTEMTIME shown;
    if (!FileTimeToSystemTime(&common, &shown))
        return;
    char text[kTextSize];
    wsprintfA(text, "%04d/%02d/%02d", shown.wYear, shown.wMonth, shown.wDay);
    SetDlgItemTextA(dialog, IDC_DATE, text);
    wsprintfA(text, "%02d:%02d:%02d", shown.wHour, shown.wMinute, shown.wSecond);
    SetDlgItemTextA(dialog, IDC_TIME, text);
    EnableWindow(GetDlgItem(dialog, IDC_TOUCH), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_RESET), FALSE);
}

// Touch writes the typed local time, Now the current time, to the chosen stamp(s) of
// every selected file that opens for writing.
void ApplyTimeStamp(HWND dialog, int commandId, PropSheetExtension* object)
{
    int stamp = GetCheckedButton(dialog, IDC_STAMP_CREATION, IDC_STAMP_BOTH);
    if (stamp == -1)
        return;

    FILETIME ft;
    if (commandId == IDC_TOUCH) {
        if (!ValidateTimeFields(dialog, &ft, true))
            return;
    } else {
        SYSTEMTIME now;
        GetSystemTime(&now);
        SystemTimeToFileTime(&now, &ft);
    }

    // The refresh below walks the same reading of the selection.
    SelectionWalk walk(object);
    for (LONG i = 0; i < object->fileCount; ++i) {
        char name[MAX_PATH];
        if (!object->GetSelectedFile(i, name, sizeof name))
            continue;
        ScopedFile file(OpenForStamps(name, true));
        if (!file.Valid())
            continue;
        // The last-written stamp goes first: with Now the creation stamp then gets
        // the value as the file system stored (and perhaps rounded) it.
        if (stamp != IDC_STAMP_CREATION) {
            SetFileTime(file.Get(), nullptr, nullptr, &ft);
            if (commandId == IDC_NOW)
                GetFileTime(file.Get(), nullptr, nullptr, &ft);
        }
        if (stamp != IDC_STAMP_LAST_WRITTEN)
            SetFileTime(file.Get(), &ft, nullptr, nullptr);
    }
    RefreshTimeStamps(dialog, object);
}

// Dates and times are typed in plain digits; an input method would only get in the
// way. IMM32.DLL comes with NT 4.0 on and with the Far East editions of Windows 95
// only: where it or its function is missing there is no input method to switch off.
// It is loaded from the system directory by its full path, so that where it is
// missing no other file of that name on the search path is loaded into Explorer.
void SwitchOffInputMethod(HWND date, HWND time)
{
    char path[MAX_PATH];
    if (!MakeSystemFilePath(path, sizeof path, "IMM32.DLL"))
        return;
    ScopedLibrary imm(LoadLibraryA(path));
    if (!imm)
        return;
    typedef HIMC(WINAPI * AssociateContextProc)(HWND, HIMC);
    AssociateContextProc associate =
        reinterpret_cast<AssociateContextProc>(GetProcAddress(imm.Get(), "ImmAssociateContext"));
    if (!associate)
        return;
    associate(date, nullptr);
    associate(time, nullptr);
}

BOOL OnInitDialog(HWND dialog, LPARAM lParam)
{
    PropSheetExtension* object = AttachPageObject(dialog, lParam);
    if (!object)
        return FALSE;

    if (object->fileCount < 2) {
        SetDlgItemTextA(dialog, IDC_FILE_NAME, object->fileName);
    } else {
        char header[kTextSize];
        wsprintfA(header, "%d", static_cast<int>(object->fileCount));
        // Cut on a whole character: from 100 files on, the Japanese suffix does not fit.
        char suffix[64] = "";
        LoadStringA(moduleInstance, IDS_FILES_SUFFIX, suffix, sizeof suffix);
        AppendBounded(header, kTextSize, suffix);
        SetDlgItemTextA(dialog, IDC_FILE_NAME, header);
    }

    HWND date = GetDlgItem(dialog, IDC_DATE);
    HWND time = GetDlgItem(dialog, IDC_TIME);
    SendMessageA(date, EM_LIMITTEXT, 10, 0);
    SendMessageA(time, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("00:00:00"));
    SendMessageA(time, CB_LIMITTEXT, 8, 0);
    SwitchOffInputMethod(date, time);

    CheckRadioButton(dialog, IDC_STAMP_CREATION, IDC_STAMP_BOTH, IDC_STAMP_LAST_WRITTEN);
    return TRUE;
}

// While the page is shown the selected file is not held as a loaded module; the
// stamps are read once the activation is over.
void OnSetActive(HWND dialog, PropSheetExtension* object)
{
    object->ReleaseModule();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_RESET)));
}

void OnCommand(HWND dialog, int id, int code, PropSheetExtension* object)
{
    switch (id) {
    case IDC_STAMP_CREATION:
    case IDC_STAMP_LAST_WRITTEN:
    case IDC_STAMP_BOTH:
    case IDC_RESET:
        RefreshTimeStamps(dialog, object);
        break;
    case IDC_DATE:
        if (code == EN_CHANGE)
            ApplyEnablingRule(dialog);
        break;
    case IDC_TIME:
        if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)
            ApplyEnablingRule(dialog);
        break;
    case IDC_TOUCH:
    case IDC_NOW:
        ApplyTimeStamp(dialog, id, object);
        break;
    }
}

}  // namespace

HANDLE OpenForStamps(const char* path, bool write)
{
    if (IsWindows95Family())
        return CreateFileA(path, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Reading the stamps back after a write (Now) needs the right to read them.
    DWORD access = write ? FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES : FILE_READ_ATTRIBUTES;
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

INT_PTR CALLBACK TouchPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
        // Controls may report changes before WM_INITDIALOG has stored the object.
        if (PropSheetExtension* object = GetPageObject(dialog))
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam), object);
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        PropSheetExtension* object = GetPageObject(dialog);
        if (object && header->code == static_cast<UINT>(PSN_SETACTIVE))
            OnSetActive(dialog, object);
        return 0;
    }
    case WM_HELP:
        OnContextHelp(dialog, reinterpret_cast<const HELPINFO*>(lParam));
        return 0;
    }
    return 0;
}
