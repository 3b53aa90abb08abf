// The help a loaded module asks for: its WinHelpA calls, recorded and answered TRUE
// without starting a viewer, while the recorder lives. Recorders of several modules
// may live at once; each keeps the calls of its own module.
#pragma once
#include "import_patch.h"
#include <windows.h>
#include <string>
#include <vector>

struct HelpCall {
    HWND window;
    std::string path;  // "" for none
    UINT command;
    ULONG_PTR data;
};

class HelpRecorder {
public:
    explicit HelpRecorder(HMODULE module);
    ~HelpRecorder();
    HelpRecorder(const HelpRecorder&) = delete;
    HelpRecorder& operator=(const HelpRecorder&) = delete;

    // False when the module does not import WinHelpA.
    bool Applied() const { return patch_.Applied(); }
    HMODULE Module() const { return module_; }

    std::vector<HelpCall> calls;

private:
    HMODULE module_;
    ImportPatch patch_;
};
