// Install: the applet's own INF section, from the KELVARA.INF beside the applet.
#include "applet.h"
#include "file_paths.h"
#include "module.h"
#include <setupapi.h>

namespace {

// Explorer marks the files it unpacks from a downloaded archive with the stream
// Zone.Identifier, and the copies the INF makes keep it. HTML Help then shows
// "Navigation to the webpage was canceled" for every topic of such a file, so the
// installed help files lose the mark. A file without the stream is no error.
void RemoveDownloadMark(const char* directory)
{
    const char* const streams[] = {"KELVARA.HLP:Zone.Identifier", "KELVARA.CHM:Zone.Identifier"};
    for (const char* stream : streams) {
        char path[MAX_PATH];
        if (MakeFilePath(path, sizeof path, directory, nullptr, stream))
            DeleteFileA(path);
    }
}

}  // namespace

extern "C" BOOL WINAPI Install(HWND owner)
{
    // The applet's file name with its extension replaced: KELVARA.CPL -> KELVARA.INF.
    // Unlike the components, the applet hands its owner window on to the setup
    // library on both families. A failed install has been taken back.
    BOOL installed = InstallInfSection(owner);
    if (installed) {
        if (!IsWindows95Family()) {
            char directory[MAX_PATH];
            GetInstallDirectory(directory, sizeof directory, KEY_READ);
            // Without it a standard user's settings could not be kept. Should it
            // fail, the settings page says so when its write is refused.
            ShareSettingsFile(directory);
            RemoveDownloadMark(directory);
        }
        SetupPromptReboot(nullptr, owner, FALSE);
    }
    return installed;
}
