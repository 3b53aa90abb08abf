// WinHelpA calls of loaded modules.
#include "help_recorder.h"
#include <algorithm>

namespace {

std::vector<HelpRecorder*> recorders;

// The call is given to the recorder of the module it comes from.
BOOL WINAPI RecordWinHelp(HWND window, LPCSTR path, UINT command, ULONG_PTR data)
{
    HMODULE caller = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(__builtin_return_address(0)), &caller);
    for (HelpRecorder* recorder : recorders) {
        if (recorder->Module() == caller)
            recorder->calls.push_back({window, path ? path : "", command, data});
    }
    return TRUE;
}

}  // namespace

HelpRecorder::HelpRecorder(HMODULE module)
    : module_(module), patch_(module, "user32.dll", "WinHelpA", reinterpret_cast<const void*>(&RecordWinHelp))
{
    recorders.push_back(this);
}

HelpRecorder::~HelpRecorder()
{
    recorders.erase(std::find(recorders.begin(), recorders.end(), this));
}
