// A program under test started as a process of its own, and its windows seen and
// driven from the test process as a user's actions would drive them.
#pragma once
#include "text.h"
#include <windows.h>
#include <string>
#include <vector>

// Waits for condition to hold, checking it every few milliseconds; false when it
// still does not hold after timeoutMs (a safety net against a hung program, not a
// measure of speed).
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 30000)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

class RunningProgram {
public:
    // Starts program (a full path) with currentDirectory as its current directory.
    RunningProgram(const std::string& program, const std::string& currentDirectory);
    // Starts a command line as the Run box does (the program looked for on the search
    // path), in the system directory.
    explicit RunningProgram(const std::string& commandLine);
    // Ends the process if it is still running.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    bool Running() const;
    // Waits for the process to end; false when it does not end within timeoutMs.
    bool WaitForExit(DWORD timeoutMs = 30000);
    DWORD ExitCode() const;

private:
    void Start(const char* program, std::string commandLine, const std::string& currentDirectory);
    PROCESS_INFORMATION info_ = {};
};

// Visible top-level windows of the process of that class (null: any class).
std::vector<HWND> TopLevelWindows(DWORD processId, const char* className = nullptr);

// The process of the help viewer, found through the message window ("MS_WINHELP")
// that WinHelpA talks to in Wine and Windows; 0 when none runs.
DWORD HelpViewerProcess();

// The first visible top-level window of the process with that class and title.
HWND FindProcessWindow(DWORD processId, const char* className, const wchar_t* title);

// A window's text, read as Unicode whatever the code pages of the two processes.
std::wstring WindowText(HWND window);

// The items of a list box of another process (the wide LB_GETTEXT crosses process
// boundaries; the narrow one does not under Wine).
std::vector<std::wstring> ListBoxItems(HWND list);
std::vector<bool> ListBoxSelection(HWND list);

// Selects or deselects item index of a multiple-selection list box of another
// process and tells the list's dialog, as a click on the item does.
void SetListSelection(HWND dialog, int listId, int index, bool select);

// Presses a button of another process by posting BM_CLICK: the press returns at once,
// so the program may go on to show modal message boxes.
void PressButton(HWND dialog, int id);

// A message box shown by another process.
struct ForeignMessageBox {
    HWND window = nullptr;
    HWND owner = nullptr;  // as it was while the box was shown
    std::wstring caption;
    std::wstring text;
};

// The visible message boxes ("#32770" windows with a static text, other than
// except) of the process.
std::vector<ForeignMessageBox> MessageBoxesOf(DWORD processId, HWND except = nullptr);

// Presses OK (IDOK) of a message box and waits until it is gone.
bool DismissMessageBox(HWND box);

// Answers every message box the process shows with OK until it ends; returns the
// boxes in the order shown. Stops after timeoutMs without an end.
std::vector<ForeignMessageBox> DismissBoxesUntilExit(RunningProgram& program, DWORD timeoutMs = 60000);
