// What the shell itself does with the installed suite, asked in a process of its own
// so that the suite's libraries are never loaded into the test program (which must
// still be able to remove them):
//   shell_probe properties <report> <file> [file ...]
//       opens the shell's Properties dialog of the files (one folder) from their
//       context menu, writes the dialog's tab texts to <report>, one a line, and
//       closes it again;
//   shell_probe icons <report> <file> [file ...]
//       asks the shell's folder for each file's IExtractIconA and writes one line per
//       file: the result of GetIconLocation, the icon file, the index, the flags, and
//       whether QUORBIN.DLL was loaded into this process by then ("loaded" or "-");
//   shell_probe handler <report> <class id> <file> [file ...]
//       does what the shell does with a class's icon handler: creates the object of
//       that class identifier, loads the file through its IPersistFile and asks its
//       IExtractIconA; one line per file as above;
//   shell_probe record <text>
//       a stand-in program for a class's command: appends its whole command line to
//       record.txt beside itself.
// Reports are UTF-8.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(size > 0 ? size - 1 : 0);
    return out;
}

std::wstring WideFromAnsi(const std::string& text)
{
    wchar_t buffer[MAX_PATH * 2] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, MAX_PATH * 2);
    return buffer;
}

bool WriteReport(const std::wstring& path, const std::string& text, bool append = false)
{
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// The folder of the files and their items in it.
struct Selection {
    IShellFolder* folder = nullptr;
    std::vector<LPITEMIDLIST> items;
    ~Selection()
    {
        for (LPITEMIDLIST item : items)
            CoTaskMemFree(item);
        if (folder)
            folder->Release();
    }
};

bool Select(const std::vector<std::wstring>& files, Selection& selection)
{
    std::wstring folderPath = files[0].substr(0, files[0].find_last_of(L'\\'));
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return false;
    LPITEMIDLIST folderId = nullptr;
    HRESULT result = desktop->ParseDisplayName(nullptr, nullptr, &folderPath[0], nullptr, &folderId, nullptr);
    if (SUCCEEDED(result)) {
        result = desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&selection.folder));
        CoTaskMemFree(folderId);
    }
    desktop->Release();
    if (FAILED(result))
        return false;
    for (const std::wstring& file : files) {
        std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
        LPITEMIDLIST item = nullptr;
        if (FAILED(selection.folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &item, nullptr)))
            return false;
        selection.items.push_back(item);
    }
    return true;
}

BOOL CALLBACK FindSheet(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && SendMessageW(window, PSM_GETTABCONTROL, 0, 0)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

struct SheetWatch {
    std::wstring report;
};

// The shell may run the dialog modally inside InvokeCommand, so another thread of
// this process reads the tabs and closes the dialog.
DWORD WINAPI ReadAndCloseSheet(void* parameter)
{
    const SheetWatch* watch = static_cast<const SheetWatch*>(parameter);
    HWND sheet = nullptr;
    for (int i = 0; i < 300 && !sheet; ++i) {
        Sleep(100);
        EnumWindows(FindSheet, reinterpret_cast<LPARAM>(&sheet));
    }
    if (!sheet) {
        WriteReport(watch->report, "no dialog\n");
        ExitProcess(3);
    }
    Sleep(300);  // the shell adds the extension's pages before the dialog is shown
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    std::string text;
    int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t caption[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 128;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        text += Utf8(caption) + "\n";
    }
    PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 100 && IsWindow(sheet); ++i)
        Sleep(50);
    ExitProcess(WriteReport(watch->report, text) ? 0 : 4);
}

int ShowProperties(const std::wstring& report, const std::vector<std::wstring>& files)
{
    Selection selection;
    if (!Select(files, selection))
        return WriteReport(report, "cannot select the files\n"), 2;
    IContextMenu* menu = nullptr;
    if (FAILED(selection.folder->GetUIObjectOf(nullptr, static_cast<UINT>(selection.items.size()),
                                               const_cast<LPCITEMIDLIST*>(selection.items.data()), IID_IContextMenu,
                                               nullptr, reinterpret_cast<void**>(&menu))))
        return WriteReport(report, "no context menu\n"), 2;
    static SheetWatch watch;
    watch.report = report;
    CloseHandle(CreateThread(nullptr, 0, ReadAndCloseSheet, &watch, 0, nullptr));
    HMENU popup = CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 1, 0x7fff, CMF_NORMAL);
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    if (FAILED(menu->InvokeCommand(&invoke)))
        return WriteReport(report, "properties failed\n"), 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

std::string Line(HRESULT result, const char* location, int index, UINT flags)
{
    char head[32], tail[64];
    sprintf(head, "%08lx|", static_cast<unsigned long>(result));
    sprintf(tail, "|%d|%u|%s\n", index, flags, GetModuleHandleA("QUORBIN.DLL") ? "loaded" : "-");
    return head + Utf8(WideFromAnsi(location)) + tail;
}

int ShowIconLocations(const std::wstring& report, const std::vector<std::wstring>& files)
{
    std::string text;
    for (const std::wstring& file : files) {
        Selection selection;
        std::vector<std::wstring> one(1, file);
        if (!Select(one, selection)) {
            text += "cannot select\n";
            continue;
        }
        IExtractIconA* extract = nullptr;
        HRESULT result = selection.folder->GetUIObjectOf(nullptr, 1, const_cast<LPCITEMIDLIST*>(selection.items.data()),
                                                         IID_IExtractIconA, nullptr,
                                                         reinterpret_cast<void**>(&extract));
        char location[MAX_PATH] = "";
        int index = 0;
        UINT flags = 0;
        if (SUCCEEDED(result)) {
            result = extract->GetIconLocation(0, location, MAX_PATH, &index, &flags);
            extract->Release();
        }
        text += Line(result, location, index, flags);
    }
    return WriteReport(report, text) ? 0 : 4;
}

int ShowHandlerLocations(const std::wstring& report, const std::wstring& classText,
                         const std::vector<std::wstring>& files)
{
    CLSID classId;
    if (FAILED(CLSIDFromString(classText.c_str(), &classId)))
        return WriteReport(report, "bad class id\n"), 2;
    std::string text;
    for (const std::wstring& file : files) {
        IPersistFile* persist = nullptr;
        HRESULT result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                                          reinterpret_cast<void**>(&persist));
        char location[MAX_PATH] = "";
        int index = 0;
        UINT flags = 0;
        if (SUCCEEDED(result)) {
            result = persist->Load(file.c_str(), STGM_READ);
            IExtractIconA* extract = nullptr;
            if (SUCCEEDED(result))
                result = persist->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract));
            if (SUCCEEDED(result)) {
                result = extract->GetIconLocation(0, location, MAX_PATH, &index, &flags);
                extract->Release();
            }
            persist->Release();
        }
        text += Line(result, location, index, flags);
    }
    return WriteReport(report, text) ? 0 : 4;
}

int Record()
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\record.txt";
    return WriteReport(path, Utf8(GetCommandLineW()) + "\n", true) ? 0 : 4;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wstring(argv[1]) == L"record")
        return Record();
    if (argc < 4) {
        fprintf(stderr, "usage: shell_probe properties|icons <report> <file> [file ...]\n");
        return 2;
    }
    OleInitialize(nullptr);
    std::wstring command = argv[1];
    std::vector<std::wstring> files(argv + 3, argv + argc);
    if (command == L"properties")
        return ShowProperties(argv[2], files);
    if (command == L"icons")
        return ShowIconLocations(argv[2], files);
    if (command == L"handler" && files.size() >= 2)
        return ShowHandlerLocations(argv[2], files[0], std::vector<std::wstring>(files.begin() + 1, files.end()));
    return 2;
}
