// Install and Uninstall: the component's INF sections for the running Windows family.
#include "inf_installer.h"
#include "module.h"

// On the NT family the setup library's windows and the messages have no owner.
extern "C" BOOL WINAPI Install(HWND hwnd)
{
    return InstallSection(IsWindows95Family() ? hwnd : nullptr, InstallSectionName());
}

extern "C" BOOL WINAPI Uninstall(HWND hwnd)
{
    return InstallSection(IsWindows95Family() ? hwnd : nullptr, UninstallSectionName());
}
