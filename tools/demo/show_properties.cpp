// Opens the shell's own Properties dialog for one or more files (or folders) of one
// folder, the way Explorer does from a context menu, and keeps it up until it is
// closed or the given number of seconds has passed.
// usage: show_properties <seconds> [--tab <index>] <file> [file ...]
// With --tab the dialog opens on that page (0 is the shell's General page).
#include <windows.h>
#include <shlobj.h>
#include <prsht.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Watch {
    int seconds;
    int tab;
};

// The Properties sheet of this process: a top-level dialog with a tab control.
BOOL CALLBACK FindSheet(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        SendMessageA(window, PSM_GETTABCONTROL, 0, 0)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::string Utf8(const wchar_t* text)
{
    char buffer[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// Whether a static's, a button's or a one-line edit box's text fits the room its
// control gives it, in the control's own font (a font of another process cannot be
// measured, so the check is made here).
BOOL CALLBACK CheckText(HWND control, LPARAM cut)
{
    wchar_t text[512] = L"", name[32] = L"";
    GetWindowTextW(control, text, 512);
    GetClassNameW(control, name, 32);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (!text[0] || !IsWindowVisible(control))
        return TRUE;
    RECT room;
    GetClientRect(control, &room);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    UINT format = DT_CALCRECT | DT_EXPANDTABS;
    bool measured = true;
    if (!lstrcmpiW(name, L"Static")) {
        LONG type = style & SS_TYPEMASK;
        measured = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
                   type == SS_LEFTNOWORDWRAP;
        format |= (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK) |
                  (style & SS_NOPREFIX ? DT_NOPREFIX : 0);
    } else if (!lstrcmpiW(name, L"Button")) {
        LONG type = style & BS_TYPEMASK;
        INT zero = 0;
        GetCharWidth32W(dc, L'0', L'0', &zero);
        measured = type != BS_OWNERDRAW && !(style & (BS_ICON | BS_BITMAP));
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            InflateRect(&room, -2, 0);  // the raised edge
        else if (type != BS_GROUPBOX)
            room.left += GetSystemMetrics(SM_CXMENUCHECK) + zero / 2;  // the box or circle, and a gap
        format |= style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE;
    } else {
        measured = !lstrcmpiW(name, L"Edit") && !(style & ES_MULTILINE);
        if (measured)
            SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
        format |= DT_SINGLELINE | DT_NOPREFIX;
    }
    int width = room.right - room.left, height = room.bottom - room.top;
    RECT need = {0, 0, width, 0};
    if (measured)
        DrawTextW(dc, text, -1, &need, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (need.right > width || (!(format & DT_SINGLELINE) && need.bottom > height)) {
        printf("show_properties: CUT: the text \"%s\" needs %ldx%ld pixels and has %dx%d\n", Utf8(text).c_str(),
               need.right, need.bottom, width, height);
        ++*reinterpret_cast<int*>(cut);
    }
    return TRUE;
}

// The shell may run the dialog modally inside InvokeCommand: this thread selects
// the page asked for and closes the dialog when the time is up. Each page after the
// shell's own first one is checked, once it has been shown, for texts cut by their
// controls; the process's exit code is the number of such texts.
DWORD WINAPI WatchDialog(void* parameter)
{
    const Watch* watch = static_cast<const Watch*>(parameter);
    HWND sheet = nullptr;
    for (int i = 0; i < 100 && !sheet; ++i) {
        Sleep(100);
        EnumWindows(FindSheet, reinterpret_cast<LPARAM>(&sheet));
    }
    if (sheet && watch->tab >= 0)
        SendMessageA(sheet, PSM_SETCURSEL, watch->tab, 0);
    // The process ends when the dialog has been closed, or is closed when the time
    // is up.
    std::vector<HWND> checked;
    int cut = 0;
    for (int tick = 0; tick < watch->seconds * 10 && sheet && IsWindow(sheet); ++tick) {
        Sleep(100);
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (page && SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0) > 0 &&
            std::find(checked.begin(), checked.end(), page) == checked.end()) {
            checked.push_back(page);
            EnumChildWindows(page, CheckText, reinterpret_cast<LPARAM>(&cut));
            fflush(stdout);
        }
    }
    if (sheet && IsWindow(sheet)) {
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        Sleep(2000);
    }
    ExitProcess(cut);
}

// The folder part and the name part of a path; a folder at the top of a drive is in
// that drive's root folder.
void Split(const std::string& path, std::string& folder, std::string& name)
{
    size_t slash = path.find_last_of('\\');
    folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\';
    name = path.substr(slash + 1);
}

std::wstring Wide(const std::string& text)
{
    wchar_t buffer[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, MAX_PATH);
    return buffer;
}

int Run(const std::vector<std::string>& files)
{
    std::string folderPath, name;
    Split(files[0], folderPath, name);

    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return 1;
    LPITEMIDLIST folderId = nullptr;
    std::wstring wideFolder = Wide(folderPath);
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, &wideFolder[0], nullptr, &folderId, nullptr)))
        return 2;
    IShellFolder* folder = nullptr;
    if (FAILED(desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))))
        return 3;

    std::vector<LPITEMIDLIST> items;
    for (const std::string& file : files) {
        std::string dir, leaf;
        Split(file, dir, leaf);
        std::wstring wide = Wide(leaf);
        LPITEMIDLIST item = nullptr;
        if (FAILED(folder->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr, &item, nullptr)))
            return 4;
        items.push_back(item);
    }
    IContextMenu* menu = nullptr;
    if (FAILED(folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()),
                                     const_cast<LPCITEMIDLIST*>(items.data()), IID_IContextMenu, nullptr,
                                     reinterpret_cast<void**>(&menu))))
        return 5;
    HMENU popup = CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 1, 0x7fff, CMF_NORMAL);
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    HRESULT result = menu->InvokeCommand(&invoke);
    if (FAILED(result))
        return 6;

    // Where the dialog is modeless, keep this thread's windows alive until the
    // watching thread ends the process.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    menu->Release();
    DestroyMenu(popup);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: show_properties <seconds> [--tab <index>] <file> [file ...]\n");
        return 2;
    }
    static Watch watch = {atoi(argv[1]), -1};
    int first = 2;
    if (argc > 4 && strcmp(argv[2], "--tab") == 0) {
        watch.tab = atoi(argv[3]);
        first = 4;
    }
    OleInitialize(nullptr);
    CloseHandle(CreateThread(nullptr, 0, WatchDialog, &watch, 0, nullptr));
    std::vector<std::string> files(argv + first, argv + argc);
    int result = Run(files);
    if (result)
        fprintf(stderr, "show_properties: step %d failed\n", result);
    return result;
}
