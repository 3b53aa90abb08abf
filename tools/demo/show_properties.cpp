// Opens the shell's own Properties dialog for one or more files of one folder, the
// way Explorer does from a context menu, and keeps it up until it is closed or the
// given number of seconds has passed.
// usage: show_properties <seconds> <file> [file ...]
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

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

int Run(int seconds, const std::vector<std::string>& files)
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

    // The dialog runs on the shell's own thread; wait while it is up.
    DWORD end = GetTickCount() + seconds * 1000;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(100);
    }
    menu->Release();
    DestroyMenu(popup);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: show_properties <seconds> <file> [file ...]\n");
        return 2;
    }
    OleInitialize(nullptr);
    std::vector<std::string> files(argv + 2, argv + argc);
    int result = Run(atoi(argv[1]), files);
    if (result)
        fprintf(stderr, "show_properties: step %d failed\n", result);
    return result;
}
