// Install and Uninstall: the component's INF sections for the running Windows family.
#include "inf_installer.h"
#include "module.h"

// On the NT family the setup library's windows and the messages have no owner. A
// failed install has been taken back.
extern "C" BOOL WINAPI Install(HWND hwnd)
{
    return InstallInfSection(IsWindows95Family() ? hwnd : nullptr);
}

extern "C" BOOL WINAPI Uninstall(HWND hwnd)
{
    return UninstallInfSection(IsWindows95Family() ? hwnd : nullptr);
}
