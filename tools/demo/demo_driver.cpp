// The demonstration's hands: starts the programs of each step, finds their windows,
// asks the host for a screenshot of them and presses the buttons a user would press.
// usage: demo_driver [--shots <dir>] [--tag <language>] [--interactive] <step> [arguments]
//   steps: setup <SETUP.EXE>, properties <shot names, comma-separated> <file or folder> [file ...], control,
//          control-without <name>, folder <directory> <text file>,
//          handler-icons <directory> <file> [file ...], uninstall <name>, fontcheck,
//          windows (a list of the windows on the display, for diagnosis)
// A screenshot is asked for by writing <dir>\<name>.want (the region "x y w h" in
// screen pixels) and waiting for the host to answer with <dir>\<name>.png. With
// --interactive the buttons are left to the person at the display: the driver waits
// until each window it would have answered is gone.
// A step that shows a sheet's pages fails when a page's controls reach past the page;
// the properties step also when the text of a static, a button or an edit box does
// not fit it.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring shotDirectory;
std::wstring shotTag;  // the language, added to every screenshot's name
bool interactive = false;
std::wstring showProperties;  // show_properties.exe beside this program

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(strlen(out.c_str()));
    return out;
}

void Say(const std::wstring& text)
{
    printf("demo: %s\n", Utf8(text).c_str());
    fflush(stdout);
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 30000)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = L"";
    GetClassNameW(window, name, 128);
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectAny(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectAny, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND ChildOfClass(HWND parent, const wchar_t* className)
{
    for (HWND child : Children(parent)) {
        if (ClassOf(child) == className && IsWindowVisible(child))
            return child;
    }
    return nullptr;
}

// The first visible top-level window that accept takes, waiting for it to appear.
HWND WaitForWindow(const std::function<bool(HWND)>& accept, DWORD timeoutMs = 30000)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND window : TopLevelWindows()) {
            if (accept(window)) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

bool IsSheet(HWND window)
{
    return ClassOf(window) == L"#32770" && SendMessageW(window, PSM_GETTABCONTROL, 0, 0) != 0;
}

// A process started by the driver.
struct Started {
    PROCESS_INFORMATION info = {};
    bool Running() const { return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    bool Wait(DWORD timeoutMs) const { return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    void Close()
    {
        if (info.hProcess) {
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
        info = {};
    }
};

Started Start(const std::wstring& commandLine, const std::wstring& directory = L"")
{
    Started started;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &started.info)) {
        Say(L"cannot start " + commandLine);
        started.info = {};
    } else {
        WaitForInputIdle(started.info.hProcess, 10000);
    }
    return started;
}

// The region of the given windows together, with a small margin, in screen pixels.
RECT Region(const std::vector<HWND>& windows)
{
    RECT all = {};
    bool first = true;
    for (HWND window : windows) {
        RECT rect;
        if (!window || !GetWindowRect(window, &rect))
            continue;
        if (first)
            all = rect;
        else
            UnionRect(&all, &all, &rect);
        first = false;
    }
    InflateRect(&all, 8, 8);
    all.left = all.left < 0 ? 0 : all.left;
    all.top = all.top < 0 ? 0 : all.top;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    all.right = all.right > width ? width : all.right;
    all.bottom = all.bottom > height ? height : all.bottom;
    return all;
}

// Lets the windows paint, then has the host take the picture.
void Shot(const std::wstring& name, const std::vector<HWND>& windows)
{
    for (HWND window : windows) {
        if (window)
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    Sleep(700);
    if (shotDirectory.empty()) {
        Sleep(2500);  // a person is watching
        return;
    }
    RECT region = Region(windows);
    std::wstring full = shotTag.empty() ? name : name + L"-" + shotTag;
    std::wstring want = shotDirectory + L"\\" + full + L".want";
    std::wstring png = shotDirectory + L"\\" + full + L".png";
    DeleteFileW(png.c_str());
    char geometry[64];
    int length = sprintf(geometry, "%ld %ld %ld %ld\n", region.left, region.top, region.right - region.left,
                         region.bottom - region.top);
    HANDLE file = CreateFileW(want.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, geometry, length, &written, nullptr);
    CloseHandle(file);
    if (!WaitUntil([&] { return GetFileAttributesW(png.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000))
        Say(L"no screenshot came for " + full);
    else
        Say(L"screenshot " + full);
}

// Presses a button of another process's dialog, or, with a person at the display,
// waits until the dialog has been answered.
void Press(HWND dialog, int id, const wchar_t* what)
{
    if (interactive) {
        Say(std::wstring(L"waiting for you to press ") + what);
        WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, INFINITE);
        return;
    }
    Say(std::wstring(L"pressing ") + what);
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// A message box or other question of the process, the one given excepted: a dialog
// with a static text and at least one of the buttons OK, Yes or No.
HWND QuestionOf(DWORD process, HWND except)
{
    for (HWND window : TopLevelWindows()) {
        if (window == except || ProcessOf(window) != process || ClassOf(window) != L"#32770" || IsSheet(window))
            continue;
        if (GetDlgItem(window, IDNO) || GetDlgItem(window, IDOK) || GetDlgItem(window, IDYES))
            return window;
    }
    return nullptr;
}

std::wstring DialogTexts(HWND dialog)
{
    std::wstring texts;
    for (HWND child : Children(dialog)) {
        if (ClassOf(child) == L"Static" && !WindowText(child).empty())
            texts += (texts.empty() ? L"" : L" | ") + WindowText(child);
    }
    return texts;
}

// Answers what the process asks until it ends: a restart prompt with No, any other
// box with its default answer (after a screenshot, since it is worth seeing).
void AnswerUntilExit(Started& program, const std::wstring& shotName, HWND except)
{
    int asked = 0;
    WaitUntil([&] {
        HWND box = QuestionOf(program.info.dwProcessId, except);
        if (!box)
            return !program.Running();
        ++asked;
        Say(L"the program asks: \"" + WindowText(box) + L"\": " + DialogTexts(box));
        Shot(shotName + L"-question" + std::to_wstring(asked), {box});
        if (GetDlgItem(box, IDNO))
            Press(box, IDNO, L"No");
        else if (GetDlgItem(box, IDOK))
            Press(box, IDOK, L"OK");
        else
            Press(box, IDYES, L"Yes");
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000);
        return false;
    }, 120000);
    if (!asked)
        Say(L"no restart prompt or other question was shown");
}

int RunSetup(const std::wstring& setupPath)
{
    std::wstring directory = setupPath.substr(0, setupPath.find_last_of(L'\\'));
    Started setup = Start(L"\"" + setupPath + L"\"", directory);
    if (!setup.info.hProcess)
        return 1;
    HWND dialog = WaitForWindow([&](HWND w) {
        return ProcessOf(w) == setup.info.dwProcessId && WindowText(w) == L"Install Kelvara";
    });
    if (!dialog) {
        Say(L"the \"Install Kelvara\" dialog did not appear");
        return 1;
    }
    Shot(L"setup", {dialog});
    Press(dialog, IDOK, L"Continue");
    AnswerUntilExit(setup, L"setup", dialog);
    DWORD code = 0;
    GetExitCodeProcess(setup.info.hProcess, &code);
    setup.Close();
    Say(L"SETUP.EXE ended with " + std::to_wstring(code));
    return 0;
}

std::vector<std::wstring> TabTexts(HWND sheet)
{
    std::vector<std::wstring> tabs;
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    // The tab control belongs to another process: its texts are read through memory
    // of that process.
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, ProcessOf(sheet));
    if (!process)
        return tabs;
    const SIZE_T size = sizeof(TCITEMW) + 256 * sizeof(wchar_t);
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    for (int i = 0; i < count && remote; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof item);
        item.cchTextMax = 256;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        wchar_t text[256] = L"";
        if (SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(remote)))
            ReadProcessMemory(process, remote + sizeof item, text, sizeof text - sizeof(wchar_t), nullptr);
        tabs.push_back(text);
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return tabs;
}

std::wstring Join(const std::vector<std::wstring>& parts)
{
    std::wstring all;
    for (const std::wstring& part : parts)
        all += (all.empty() ? L"" : L", ") + part;
    return all;
}

std::vector<std::wstring> SplitNames(const std::wstring& list)
{
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        names.push_back(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        if (comma == std::wstring::npos)
            break;
        start = comma + 1;
    }
    return names;
}

// The controls of the page shown that reach past the page or past the tab control
// that holds it: what a sheet cuts off when it measures its pages with a font other
// than the one they are laid out in. Dialog units are rounded one by one, so a
// control on the page's edge may pass it by a pixel.
int CutControls(HWND sheet)
{
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    RECT shown, tabRect;
    if (!page || !GetClientRect(page, &shown) || !GetWindowRect(tab, &tabRect))
        return 0;
    MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&shown), 2);
    IntersectRect(&shown, &shown, &tabRect);
    int cut = 0;
    for (HWND child : Children(page)) {
        RECT rect;
        if (GetParent(child) != page || !IsWindowVisible(child) || !GetWindowRect(child, &rect))
            continue;
        int past = 0;
        past = rect.right - shown.right > past ? rect.right - shown.right : past;
        past = rect.bottom - shown.bottom > past ? rect.bottom - shown.bottom : past;
        past = shown.left - rect.left > past ? shown.left - rect.left : past;
        past = shown.top - rect.top > past ? shown.top - rect.top : past;
        if (past > 1) {
            std::wstring text = WindowText(child);
            for (wchar_t& c : text)
                c = c == L'\r' || c == L'\n' ? L' ' : c;
            Say(L"CUT: the " + ClassOf(child) + L" \"" + text + L"\" reaches " + std::to_wstring(past) +
                L" pixels past the page");
            ++cut;
        }
    }
    return cut;
}

// Shows the pages of a sheet from firstPage on, one screenshot each under the given
// names; the dialog must have exactly those pages, each with all its controls inside.
bool ShowPages(HWND sheet, const std::vector<std::wstring>& names, int firstPage)
{
    std::vector<std::wstring> tabs = TabTexts(sheet);
    Say(L"\"" + WindowText(sheet) + L"\" has the pages " + Join(tabs));
    if (tabs.size() != names.size() + firstPage) {
        Say(L"expected " + std::to_wstring(names.size()) + L" pages after the first " + std::to_wstring(firstPage));
        return false;
    }
    int cut = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        SendMessageW(sheet, PSM_SETCURSEL, firstPage + i, 0);
        // On the Bitmaps page, the first bitmap is chosen so that its preview shows.
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        HWND bitmaps = page ? GetDlgItem(page, 25301) : nullptr;
        if (bitmaps && ClassOf(bitmaps) == L"ListBox" && SendMessageW(bitmaps, LB_GETCOUNT, 0, 0) > 0) {
            SendMessageW(bitmaps, LB_SETCURSEL, 0, 0);
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(25301, LBN_SELCHANGE), reinterpret_cast<LPARAM>(bitmaps));
        }
        Shot(names[i], {sheet});
        cut += CutControls(sheet);
    }
    return cut == 0;
}

int RunProperties(const std::wstring& names, const std::vector<std::wstring>& files)
{
    std::wstring line = L"\"" + showProperties + L"\" 600";
    for (const std::wstring& file : files)
        line += L" \"" + file + L"\"";
    Started viewer = Start(line);
    HWND sheet = WaitForWindow([&](HWND w) { return ProcessOf(w) == viewer.info.dwProcessId && IsSheet(w); });
    if (!sheet) {
        Say(L"no Properties dialog appeared");
        return 1;
    }
    // Page 0 is the shell's General page; the suite's pages follow it.
    bool shown = ShowPages(sheet, SplitNames(names), 1);
    PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    // The viewer's exit code counts the texts its pages cut.
    DWORD cut = 1;
    if (!viewer.Wait(10000))
        Say(L"the Properties dialog did not close");
    else if (GetExitCodeProcess(viewer.info.hProcess, &cut) && cut)
        Say(std::to_wstring(cut) + L" texts do not fit their controls");
    viewer.Close();
    return shown && !cut ? 0 : 1;
}

// Reads and writes memory of another process for the list-view messages that carry
// pointers.
class RemoteMemory {
public:
    RemoteMemory(DWORD processId, SIZE_T size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)),
          address_(process_ ? VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr)
    {
    }
    ~RemoteMemory()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    char* Address() const { return static_cast<char*>(address_); }
    void Write(SIZE_T offset, const void* data, SIZE_T size) { WriteProcessMemory(process_, Address() + offset, data, size, nullptr); }
    void Read(SIZE_T offset, void* data, SIZE_T size) { ReadProcessMemory(process_, Address() + offset, data, size, nullptr); }

private:
    HANDLE process_;
    void* address_;
};

std::wstring ListViewText(HWND list, int index)
{
    RemoteMemory memory(ProcessOf(list), sizeof(LVITEMW) + 512);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = reinterpret_cast<wchar_t*>(memory.Address() + sizeof item);
    item.cchTextMax = 255;
    memory.Write(0, &item, sizeof item);
    SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(memory.Address()));
    wchar_t text[256] = L"";
    memory.Read(sizeof item, text, sizeof text - sizeof(wchar_t));
    return text;
}

int FindListViewItem(HWND list, const std::wstring& text)
{
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (ListViewText(list, i) == text)
            return i;
    }
    return -1;
}

// Double-clicks an item with the mouse, as a user opens it.
void DoubleClickItem(HWND list, int index)
{
    RemoteMemory memory(ProcessOf(list), sizeof(RECT));
    RECT rect = {};
    rect.left = LVIR_ICON;
    memory.Write(0, &rect, sizeof rect);
    SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(memory.Address()));
    memory.Read(0, &rect, sizeof rect);
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &point);
    SetForegroundWindow(GetAncestor(list, GA_ROOT));
    SetCursorPos(point.x, point.y);
    Sleep(200);
    for (int click = 0; click < 2; ++click) {
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        Sleep(60);
    }
}

std::wstring SystemDirectory()
{
    wchar_t path[MAX_PATH] = L"";
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

HWND WaitForControlPanel(const std::set<HWND>& before)
{
    return WaitForWindow([&](HWND w) {
        return !before.count(w) && !IsSheet(w) && ChildOfClass(w, L"SysListView32") != nullptr &&
               ClassOf(w) != L"CabinetWClass" && ClassOf(w) != L"ExplorerWClass";
    });
}

int RunControlPanel()
{
    std::vector<HWND> existing = TopLevelWindows();
    std::set<HWND> before(existing.begin(), existing.end());
    Started control = Start(L"\"" + SystemDirectory() + L"\\control.exe\"");
    HWND panel = WaitForControlPanel(before);
    if (!panel) {
        Say(L"the Control Panel window did not appear");
        return 1;
    }
    HWND list = ChildOfClass(panel, L"SysListView32");
    int item = -1;
    WaitUntil([&] { return (item = FindListViewItem(list, L"Kelvara")) >= 0; }, 10000);
    Shot(L"control-panel", {panel});
    if (item < 0) {
        Say(L"the Control Panel shows no item \"Kelvara\"");
        PostMessageW(panel, WM_CLOSE, 0, 0);
        return 1;
    }
    Say(L"opening the Control Panel item \"Kelvara\"");
    HWND sheet = nullptr;
    for (int attempt = 0; attempt < 3 && !sheet; ++attempt) {
        DoubleClickItem(list, item);
        sheet = WaitForWindow([&](HWND w) { return IsSheet(w) && WindowText(w) == L"Kelvara"; }, 8000);
    }
    if (!sheet) {
        Say(L"the Kelvara sheet did not open");
        PostMessageW(panel, WM_CLOSE, 0, 0);
        return 1;
    }
    bool shown = ShowPages(sheet, {L"kelvara-settings", L"kelvara-about"}, 0);
    PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return !IsWindow(sheet); }, 10000);
    PostMessageW(panel, WM_CLOSE, 0, 0);
    control.Wait(10000);
    control.Close();
    return shown ? 0 : 1;
}

// After the removal: the Control Panel again, which no longer shows the item.
int ShowControlPanelWithout(const std::wstring& name)
{
    std::vector<HWND> existing = TopLevelWindows();
    std::set<HWND> before(existing.begin(), existing.end());
    Started control = Start(L"\"" + SystemDirectory() + L"\\control.exe\"");
    HWND panel = WaitForControlPanel(before);
    if (!panel)
        return 1;
    HWND list = ChildOfClass(panel, L"SysListView32");
    WaitUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 10000);
    Sleep(1000);
    Say(FindListViewItem(list, L"Kelvara") < 0 ? L"the Control Panel no longer shows \"Kelvara\""
                                               : L"the Control Panel still shows \"Kelvara\"");
    Shot(name, {panel});
    PostMessageW(panel, WM_CLOSE, 0, 0);
    control.Wait(10000);
    control.Close();
    return 0;
}

// Wine's explorer shows the folder; its list view is put into the icon view.
int RunFolder(const std::wstring& directory, const std::wstring& textFile)
{
    std::vector<HWND> existing = TopLevelWindows();
    std::set<HWND> before(existing.begin(), existing.end());
    std::wstring folderName = directory.substr(directory.find_last_of(L'\\') + 1);
    Started explorer = Start(L"\"" + SystemDirectory() + L"\\..\\explorer.exe\" /root,\"" + directory + L"\"");
    HWND window = WaitForWindow([&](HWND w) {
        return !before.count(w) && ChildOfClass(w, L"SysListView32") != nullptr;
    });
    if (!window) {
        Say(L"no folder window appeared");
        return 1;
    }
    HWND list = ChildOfClass(window, L"SysListView32");
    WaitUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) >= 2; }, 10000);
    SendMessageW(list, LVM_SETVIEW, LV_VIEW_ICON, 0);
    SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    Shot(L"folder", {window});

    std::wstring textName = textFile.substr(textFile.find_last_of(L'\\') + 1);
    int item = FindListViewItem(list, textName);
    Say(L"opening " + textName + L" with a double-click");
    existing = TopLevelWindows();
    before = std::set<HWND>(existing.begin(), existing.end());
    if (item >= 0)
        DoubleClickItem(list, item);
    HWND editor = WaitForWindow([&](HWND w) { return !before.count(w) && ChildOfClass(w, L"Edit"); }, 10000);
    if (!editor) {
        // The same as the double-click through the shell's own verb.
        Say(L"no editor after the double-click; ShellExecute \"open\" instead");
        ShellExecuteW(nullptr, L"open", textFile.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        editor = WaitForWindow([&](HWND w) { return !before.count(w) && ChildOfClass(w, L"Edit"); }, 15000);
    }
    // The editor names the document in its title once it has read it.
    WaitUntil([&] { return editor && WindowText(editor).find(textName) == 0; }, 10000);
    if (!editor) {
        Say(L"the text editor did not open");
    } else {
        Say(L"the editor shows \"" + WindowText(editor) + L"\"");
        SetWindowPos(editor, HWND_TOP, 300, 260, 520, 300, SWP_SHOWWINDOW);
        Shot(L"open-text", {window, editor});
        PostMessageW(editor, WM_CLOSE, 0, 0);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    explorer.Wait(10000);
    explorer.Close();
    return 0;
}

std::wstring RegistryText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    HKEY key;
    wchar_t text[MAX_PATH] = L"";
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof text - sizeof(wchar_t);
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
    }
    return text;
}

// The icon location that the class's registered icon handler gives for the file, as
// the Windows shell asks it: extension, class, shellex\IconHandler, object.
bool HandlerIconLocation(const std::wstring& file, std::wstring& location, int& index)
{
    std::wstring extension = file.substr(file.find_last_of(L'.'));
    std::wstring className = RegistryText(HKEY_CLASSES_ROOT, extension, nullptr);
    std::wstring classText = RegistryText(HKEY_CLASSES_ROOT, className + L"\\shellex\\IconHandler", nullptr);
    CLSID classId;
    if (classText.empty() || FAILED(CLSIDFromString(classText.c_str(), &classId)))
        return false;
    IPersistFile* persist = nullptr;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                                reinterpret_cast<void**>(&persist))))
        return false;
    bool found = false;
    IExtractIconA* extract = nullptr;
    if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ)) &&
        SUCCEEDED(persist->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)))) {
        char path[MAX_PATH] = "";
        UINT flags = 0;
        found = extract->GetIconLocation(0, path, MAX_PATH, &index, &flags) == S_OK;
        wchar_t wide[MAX_PATH] = L"";
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
        location = wide;
        extract->Release();
    }
    persist->Release();
    return found;
}

// Wine's shell does not ask per-file icon handlers; this window shows the folder's
// files with the icons their handler names, as the shell of Windows draws them.
int ShowHandlerIcons(const std::wstring& directory, const std::vector<std::wstring>& files)
{
    std::wstring title = directory + L" \x2014 icons from the registered icon handler";
    HWND window = CreateWindowExW(0, L"#32770", title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                  140, 120, 460, 220, nullptr, nullptr, nullptr, nullptr);
    RECT client;
    GetClientRect(window, &client);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_AUTOARRANGE,
                                0, 0, client.right, client.bottom, window, nullptr, nullptr, nullptr);
    HIMAGELIST images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 4, 4);
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    for (size_t i = 0; i < files.size(); ++i) {
        std::wstring location;
        int index = 0;
        HICON icon = nullptr;
        if (HandlerIconLocation(files[i], location, index))
            ExtractIconExW(location.c_str(), index, &icon, nullptr, 1);
        std::wstring name = files[i].substr(files[i].find_last_of(L'\\') + 1);
        Say(name + L": " + (location.empty() ? L"no location" : location + L"," + std::to_wstring(index)));
        int image = icon ? ImageList_AddIcon(images, icon) : -1;
        if (icon)
            DestroyIcon(icon);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.iImage = image;
        item.pszText = &name[0];
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    // The screenshot is taken while this thread keeps the window painted.
    struct Pump {
        static DWORD WINAPI Run(void* parameter)
        {
            HWND shown = static_cast<HWND>(parameter);
            Shot(L"icon-handler", {shown});
            PostMessageW(shown, WM_CLOSE, 0, 0);
            return 0;
        }
    };
    CloseHandle(CreateThread(nullptr, 0, Pump::Run, window, 0, nullptr));
    MSG message;
    while (IsWindow(window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == window && message.message == WM_CLOSE) {
            DestroyWindow(window);
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    ImageList_Destroy(images);
    return 0;
}

std::wstring UninstallString()
{
    HKEY key;
    wchar_t command[512] = L"";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvara", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof command - sizeof(wchar_t);
        RegQueryValueExW(key, L"UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(command), &size);
        RegCloseKey(key);
    }
    return command;
}

// One run of the registered removal command. In the first run its dialog lists the
// components; all are selected and Continue is pressed.
int RunUninstall(const std::wstring& name)
{
    std::wstring command = UninstallString();
    if (command.empty()) {
        Say(L"no UninstallString is registered");
        return 1;
    }
    Say(L"running " + command);
    Started removal = Start(command);
    if (!removal.info.hProcess)
        return 1;
    HWND dialog = nullptr;
    WaitUntil([&] {
        for (HWND w : TopLevelWindows()) {
            if (ProcessOf(w) == removal.info.dwProcessId && GetDlgItem(w, 15101) &&
                ClassOf(GetDlgItem(w, 15101)) == L"ListBox")
                dialog = w;
        }
        return dialog != nullptr || !removal.Running();
    }, 20000);
    if (dialog) {
        HWND list = GetDlgItem(dialog, 15101);
        int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        Say(L"\"" + WindowText(dialog) + L"\" lists " + std::to_wstring(count) + L" components");
        if (!interactive) {
            SendMessageW(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(0, count - 1));
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(15101, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        }
        Shot(name, {dialog});
        Press(dialog, IDOK, L"Continue");
    } else {
        Say(L"no component dialog: the applet removes itself");
    }
    AnswerUntilExit(removal, name, dialog);
    removal.Close();
    return 0;
}

// Draws text in a font of that face name; the glyphs of the sample, its width and the
// name of the font that drew it.
struct Rendering {
    std::vector<WORD> glyphs;
    SIZE extent = {};
    int missing = 0;
    wchar_t face[LF_FACESIZE] = L"";
};

Rendering Render(HDC dc, const wchar_t* faceName, const wchar_t* sample)
{
    LOGFONTW request = {};
    request.lfHeight = -12;
    request.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(request.lfFaceName, faceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&request);
    HGDIOBJ old = SelectObject(dc, font);
    Rendering rendering;
    int length = static_cast<int>(wcslen(sample));
    rendering.glyphs.resize(length);
    GetGlyphIndicesW(dc, sample, length, rendering.glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    for (WORD glyph : rendering.glyphs)
        rendering.missing += glyph == 0xFFFF;
    GetTextExtentPoint32W(dc, sample, length, &rendering.extent);
    GetTextFaceW(dc, LF_FACESIZE, rendering.face);
    SelectObject(dc, old);
    DeleteObject(font);
    return rendering;
}

// Whether the dialogs' Japanese faces are drawn with the installed font they are
// mapped to: the same glyphs and widths as that font asked for by its own name, none
// missing, and that font really there (a missing one answers with a fallback's
// name). The suite's Japanese templates ask for the first face; under code page 932
// the property sheet's frame and the shell's own pages ask for "MS Shell Dlg", which
// Wine maps to "MS UI Gothic" by itself.
int FontCheck()
{
    std::vector<std::wstring> faces = {L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF"};
    if (GetACP() == 932) {
        faces.push_back(L"MS Shell Dlg");
        faces.push_back(L"MS UI Gothic");
    }
    const wchar_t sample[] = L"\x7D9A\x884C\x30AD\x30E3\x30F3\x30BB\x30EB Kelvara";  // Continue, Cancel
    HDC dc = GetDC(nullptr);
    int failed = 0;
    for (const std::wstring& face : faces) {
        std::wstring mapped = RegistryText(HKEY_LOCAL_MACHINE,
                                           L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", face.c_str());
        if (mapped.empty())
            mapped = RegistryText(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", face.c_str());
        Rendering dialog = Render(dc, face.c_str(), sample);
        Rendering target = Render(dc, mapped.c_str(), sample);
        bool installed = !mapped.empty() && !lstrcmpiW(target.face, mapped.c_str());
        bool same = dialog.glyphs == target.glyphs && dialog.extent.cx == target.extent.cx &&
                    dialog.extent.cy == target.extent.cy;
        printf("fontcheck: \"%s\" is mapped to \"%s\"%s; %s; %d of its Japanese sample glyphs missing\n",
               Utf8(face).c_str(), Utf8(mapped).c_str(), installed ? "" : ", which is NOT an installed font",
               same ? "drawn with that font" : "NOT drawn with that font", dialog.missing);
        failed += !(installed && same && dialog.missing == 0);
    }
    ReleaseDC(nullptr, dc);
    return failed ? 1 : 0;
}

int ListWindows()
{
    for (HWND window : TopLevelWindows()) {
        RECT rect;
        GetWindowRect(window, &rect);
        printf("%p pid %lu class %s \"%s\" %ld,%ld-%ld,%ld\n", static_cast<void*>(window), ProcessOf(window),
               Utf8(ClassOf(window)).c_str(), Utf8(WindowText(window)).c_str(), rect.left, rect.top, rect.right,
               rect.bottom);
        for (HWND child : Children(window))
            printf("    %p id %d class %s \"%s\"\n", static_cast<void*>(child), GetDlgCtrlID(child),
                   Utf8(ClassOf(child)).c_str(), Utf8(WindowText(child)).c_str());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    showProperties = self;
    showProperties = showProperties.substr(0, showProperties.find_last_of(L'\\')) + L"\\show_properties.exe";
    int i = 1;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
        if (!wcscmp(argv[i], L"--shots") && i + 1 < argc)
            shotDirectory = argv[++i];
        else if (!wcscmp(argv[i], L"--tag") && i + 1 < argc)
            shotTag = argv[++i];
        else if (!wcscmp(argv[i], L"--interactive"))
            interactive = true;
    }
    if (i >= argc) {
        fprintf(stderr, "usage: demo_driver [--shots dir] [--interactive] step [arguments]\n");
        return 2;
    }
    OleInitialize(nullptr);
    std::wstring step = argv[i++];
    std::vector<std::wstring> args(argv + i, argv + argc);
    if (step == L"setup" && args.size() == 1)
        return RunSetup(args[0]);
    if (step == L"properties" && args.size() >= 2)
        return RunProperties(args[0], std::vector<std::wstring>(args.begin() + 1, args.end()));
    if (step == L"control")
        return RunControlPanel();
    if (step == L"control-without" && args.size() == 1)
        return ShowControlPanelWithout(args[0]);
    if (step == L"folder" && args.size() == 2)
        return RunFolder(args[0], args[1]);
    if (step == L"handler-icons" && args.size() >= 2)
        return ShowHandlerIcons(args[0], std::vector<std::wstring>(args.begin() + 1, args.end()));
    if (step == L"uninstall" && args.size() == 1)
        return RunUninstall(args[0]);
    if (step == L"fontcheck")
        return FontCheck();
    if (step == L"windows")
        return ListWindows();
    fprintf(stderr, "demo_driver: unknown step\n");
    return 2;
}
