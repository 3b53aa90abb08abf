// WinHelpA and HtmlHelpA calls of loaded modules.
#include "help_recorder.h"
#include <htmlhelp.h>
#include <algorithm>

namespace {

std::vector<HelpRecorder*> recorders;

// The newest recorder of the module that the call returns to: one left in place for
// a module that has gone away may share its handle with a module loaded again.
HelpRecorder* RecorderOf(const void* returnAddress)
{
    HMODULE caller = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(returnAddress), &caller);
    for (auto recorder = recorders.rbegin(); recorder != recorders.rend(); ++recorder) {
        if ((*recorder)->Module() == caller)
            return *recorder;
    }
    return nullptr;
}

BOOL WINAPI RecordWinHelp(HWND window, LPCSTR path, UINT command, ULONG_PTR data)
{
    RecorderOf(__builtin_return_address(0))->calls.push_back({window, path ? path : "", command, data});
    return TRUE;
}

HWND WINAPI RecordHtmlHelp(HWND window, LPCSTR path, UINT command, DWORD_PTR data)
{
    bool popup = command == HH_DISPLAY_TEXT_POPUP;
    RecorderOf(__builtin_return_address(0))
        ->calls.push_back({window, path ? path : "", command, popup ? 0 : data, true,
                           popup ? reinterpret_cast<const HH_POPUP*>(data)->pszText : ""});
    return command == HH_CLOSE_ALL ? nullptr : GetDesktopWindow();
}

DWORD WINAPI AnswerVersion()
{
    return RecorderOf(__builtin_return_address(0))->system.version;
}

FARPROC WINAPI AnswerProcAddress(HMODULE module, LPCSTR name)
{
    HelpRecorder* recorder = RecorderOf(__builtin_return_address(0));
    if (!IS_INTRESOURCE(name) && lstrcmpA(name, "HtmlHelpA") == 0)
        return reinterpret_cast<FARPROC>(&RecordHtmlHelp);
    if (!IS_INTRESOURCE(name) && lstrcmpA(name, "wine_get_version") == 0 && !recorder->system.wine)
        return nullptr;
    return recorder->systemPatches[1]->Original<FARPROC(WINAPI*)(HMODULE, LPCSTR)>()(module, name);
}

// hhctrl.ocx "loads" as the test program, never as Wine's own: only the looked-up
// HtmlHelpA is ever called.
HMODULE WINAPI AnswerLoadLibrary(LPCSTR path)
{
    HelpRecorder* recorder = RecorderOf(__builtin_return_address(0));
    size_t length = strlen(path);
    if (length < 11 || lstrcmpiA(path + length - 11, "\\hhctrl.ocx") != 0)
        return recorder->systemPatches[2]->Original<HMODULE(WINAPI*)(LPCSTR)>()(path);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return recorder->system.hhctrl ? GetModuleHandleA(nullptr) : nullptr;
}

}  // namespace

const HelpSystem kHelpSystems[5] = {
    {"Windows 98", 0xC0000A04, false, true, false},
    {"Windows XP", 0x0A280105, false, true, false},
    {"Windows 10 without hhctrl.ocx", 0x4A61000A, false, false, false},
    {"Windows 10", 0x4A61000A, false, true, true},
    {"Windows 10 on Wine", 0x4A61000A, true, true, false},
};

HelpRecorder::HelpRecorder(HMODULE module, const HelpSystem* shown)
    : module_(module), patch_(module, "user32.dll", "WinHelpA", reinterpret_cast<const void*>(&RecordWinHelp))
{
    recorders.push_back(this);
    if (!shown)
        return;
    system = *shown;
    const ImportReplacement table[] = {
        {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&AnswerVersion)},
        {"kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&AnswerProcAddress)},
        {"kernel32.dll", "LoadLibraryA", reinterpret_cast<const void*>(&AnswerLoadLibrary)},
    };
    PatchImports(module, table, systemPatches);
}

HelpRecorder::~HelpRecorder()
{
    recorders.erase(std::find(recorders.begin(), recorders.end(), this));
}

std::string Describe(const HelpCall& call)
{
    std::string path = call.path;
    CharUpperA(&path[0]);
    return std::string(call.html ? "HtmlHelpA(" : "WinHelpA(") +
           std::to_string(reinterpret_cast<ULONG_PTR>(call.window)) + ", " + path + ", " +
           std::to_string(call.command) + ", " + std::to_string(call.data) + ", \"" + call.text + "\")";
}

HelpCall ExpectedHelpCall(const HelpSystem& system, HMODULE module, HWND window, const std::string& helpFile,
                          UINT command, ULONG_PTR data)
{
    std::string htmlFile = helpFile.substr(0, helpFile.size() - 3) + "CHM";
    if (!system.html || GetFileAttributesA(htmlFile.c_str()) == INVALID_FILE_ATTRIBUTES)
        return {window, helpFile, command, data};
    char text[1024] = "";
    switch (command) {
    case HELP_QUIT:
        return {nullptr, "", HH_CLOSE_ALL, 0, true};
    case HELP_CONTEXTPOPUP:
        LoadStringA(module, static_cast<UINT>(data), text, sizeof text);
        return {window, "", HH_DISPLAY_TEXT_POPUP, 0, true, text};
    default:
        UINT htmlCommand = command == HELP_CONTENTS ? HH_DISPLAY_TOPIC : HH_HELP_CONTEXT;
        return {window, htmlFile, htmlCommand, command == HELP_CONTENTS ? 0 : data, true};
    }
}
