// Opens the shell's own Properties dialog for one or more files of one folder, the
// way Explorer does from a context menu, and keeps it up until it is closed or the
// given number of seconds has passed.
// usage: show_properties <seconds> [--tab <index>] <file> [file ...]
// With --tab the dialog opens on that page (0 is the shell's General page).
#include <windows.h>
#include <shlobj.h>
#include <prsht.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

// The shell may run the dialog modally inside InvokeCommand: this thread selects
// the page asked for and closes the dialog when the time is up.
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
    for (int tick = 0; tick < watch->seconds * 10 && sheet && IsWindow(sheet); ++tick)
        Sleep(100);
    if (sheet && IsWindow(sheet)) {
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        Sleep(2000);
    }
    ExitProcess(0);
}

// The folder part and the name part of a path.
void Split(const std::string& path, std::string& folder, std::string& name)
{
    size_t slash = path.find_last_of('\\');
    folder = path.substr(0, slash);
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
