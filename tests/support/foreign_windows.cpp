// Programs under test as processes of their own, and their windows.
#include "foreign_windows.h"
#include <cstdio>
#include "deliverables.h"

RunningProgram::RunningProgram(const std::string& program, const std::string& currentDirectory)
{
    Start(program.c_str(), "\"" + program + "\"", currentDirectory);
}

RunningProgram::RunningProgram(const std::string& commandLine)
{
    Start(nullptr, commandLine, SystemDirectory());
}

void RunningProgram::Start(const char* program, std::string commandLine, const std::string& currentDirectory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // Under load Wine has refused a start right after the program's previous run
    // ended (once in a full test run); the refusal is reported and the start tried again.
    for (int attempt = 0; attempt < 3; ++attempt, Sleep(200)) {
        if (CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info_))
            return;
        fprintf(stderr, "CreateProcessA(%s) failed: error %lu\n", program ? program : commandLine.c_str(),
                GetLastError());
    }
    info_ = {};
}

RunningProgram::~RunningProgram()
{
    if (!info_.hProcess)
        return;
    if (Running()) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool RunningProgram::Running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool RunningProgram::WaitForExit(DWORD timeoutMs)
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD RunningProgram::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (info_.hProcess)
        GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    if (search->className) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, search->className) != 0)
            return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, const char* className)
{
    WindowSearch search = {processId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD HelpViewerProcess()
{
    DWORD id = 0;
    if (HWND server = FindWindowA("MS_WINHELP", nullptr))
        GetWindowThreadProcessId(server, &id);
    return id;
}

HWND FindProcessWindow(DWORD processId, const char* className, const wchar_t* title)
{
    for (HWND window : TopLevelWindows(processId, className)) {
        if (WindowText(window) == title)
            return window;
    }
    return nullptr;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::vector<std::wstring> ListBoxItems(HWND list)
{
    std::vector<std::wstring> items;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
        std::wstring text(length > 0 ? length + 1 : 1, L'\0');
        int copied = static_cast<int>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0])));
        text.resize(copied > 0 ? copied : 0);
        items.push_back(text);
    }
    return items;
}

std::vector<bool> ListBoxSelection(HWND list)
{
    std::vector<bool> selection;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        selection.push_back(SendMessageW(list, LB_GETSEL, i, 0) > 0);
    return selection;
}

void SetListSelection(HWND dialog, int listId, int index, bool select)
{
    HWND list = GetDlgItem(dialog, listId);
    SendMessageW(list, LB_SETSEL, select, index);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void PressButton(HWND dialog, int id)
{
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::vector<ForeignMessageBox> MessageBoxesOf(DWORD processId, HWND except)
{
    std::vector<ForeignMessageBox> boxes;
    for (HWND window : TopLevelWindows(processId, "#32770")) {
        if (window == except)
            continue;
        std::vector<HWND> children;
        EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
        ForeignMessageBox box;
        box.window = window;
        box.owner = GetWindow(window, GW_OWNER);
        box.caption = WindowText(window);
        for (HWND child : children) {
            char name[16] = "";
            GetClassNameA(child, name, sizeof name);
            std::wstring text = WindowText(child);
            if (lstrcmpiA(name, "Static") == 0 && !text.empty())
                box.text = text;
        }
        if (!box.text.empty())
            boxes.push_back(box);
    }
    return boxes;
}

bool DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitUntil([box] { return !IsWindow(box) || !IsWindowVisible(box); });
}

std::vector<ForeignMessageBox> DismissBoxesUntilExit(RunningProgram& program, DWORD timeoutMs)
{
    std::vector<ForeignMessageBox> shown;
    DWORD start = GetTickCount();
    while (program.Running() && GetTickCount() - start <= timeoutMs) {
        HWND dialog = FindProcessWindow(program.Id(), "#32770", L"Install Kelvara");
        std::vector<ForeignMessageBox> boxes = MessageBoxesOf(program.Id(), dialog);
        if (boxes.empty()) {
            Sleep(20);
            continue;
        }
        shown.push_back(boxes.front());
        DismissMessageBox(boxes.front().window);
    }
    return shown;
}
