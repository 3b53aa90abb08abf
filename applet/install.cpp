// Install: the applet's own INF section, from the KELVARA.INF beside the applet.
#include "applet.h"
#include "module.h"
#include <setupapi.h>

extern "C" BOOL WINAPI Install(HWND owner)
{
    // The applet's file name with its extension replaced: KELVARA.CPL -> KELVARA.INF.
    // Unlike the components, the applet hands its owner window on to the setup
    // library on both families. A failed install has been taken back.
    BOOL installed = InstallInfSection(owner);
    if (installed) {
        // Without it a standard user's settings could not be kept. Should it fail,
        // the settings page says so when its write is refused.
        if (!IsWindows95Family())
            ShareSettingsFile();
        SetupPromptReboot(nullptr, owner, FALSE);
    }
    return installed;
}
