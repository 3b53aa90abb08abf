// The help a loaded module asks for: its WinHelpA (and HtmlHelpA) calls, recorded and
// answered without starting a viewer, while the recorder lives. Recorders of several
// modules may live at once; the newest of a module keeps all of its calls.
#pragma once
#include "import_patch.h"
#include <windows.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct HelpCall {
    HWND window;
    std::string path;  // "" for none
    UINT command;      // WinHelpA's HELP_... or, when html, HtmlHelpA's HH_...
    ULONG_PTR data;    // 0 for HH_DISPLAY_TEXT_POPUP, whose text is `text`
    bool html = false;
    std::string text;
};

// A Windows as the help opener tells them apart.
struct HelpSystem {
    const char* name;
    DWORD version;  // GetVersion's answer
    bool wine;      // ntdll exports wine_get_version
    bool hhctrl;    // hhctrl.ocx loads
    bool html;      // help goes to HtmlHelpA on the .CHM beside the help file
};
// 98, XP, 10 without hhctrl.ocx, 10, 10 on Wine (a module keeps what it has loaded).
extern const HelpSystem kHelpSystems[5];

class HelpRecorder {
public:
    // With a system, the module sees that Windows at its import table: GetVersion,
    // ntdll's Wine export, and hhctrl.ocx, whose HtmlHelpA the recorder stands in for.
    explicit HelpRecorder(HMODULE module, const HelpSystem* system = nullptr);
    ~HelpRecorder();
    HelpRecorder(const HelpRecorder&) = delete;
    HelpRecorder& operator=(const HelpRecorder&) = delete;

    // False when the module does not import WinHelpA.
    bool Applied() const { return patch_.Applied(); }
    HMODULE Module() const { return module_; }

    std::vector<HelpCall> calls;
    HelpSystem system = {};  // its name is null when none is shown
    std::vector<std::unique_ptr<ImportPatch>> systemPatches;  // GetVersion, GetProcAddress, LoadLibraryA

private:
    HMODULE module_;
    ImportPatch patch_;
};

// The viewer function and its arguments, the path in capitals: equal calls read alike.
std::string Describe(const HelpCall& call);
inline bool operator==(const HelpCall& a, const HelpCall& b) { return Describe(a) == Describe(b); }
inline void PrintTo(const HelpCall& call, std::ostream* out) { *out << Describe(call); }

// What module calls on `system` for WinHelpA's command and data on helpFile (a .HLP
// path): WinHelpA, or HtmlHelpA on the .CHM beside it when that exists.
HelpCall ExpectedHelpCall(const HelpSystem& system, HMODULE module, HWND window, const std::string& helpFile,
                          UINT command, ULONG_PTR data);
