// Install: the applet's own INF section, from the KELVARA.INF beside the applet.
#include "applet.h"
#include <setupapi.h>

extern "C" BOOL WINAPI Install(HWND owner)
{
    // The applet's file name with its extension replaced: KELVARA.CPL -> KELVARA.INF.
    char path[MAX_PATH];
    GetOwnInfPath(path, sizeof path);
    // Unlike the components, the applet hands its owner window on to the setup
    // library on both families.
    BOOL installed = InstallSection(owner, InstallSectionName(), path);
    if (installed)
        SetupPromptReboot(nullptr, owner, FALSE);
    return installed;
}
