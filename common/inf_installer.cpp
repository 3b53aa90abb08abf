// INF section installer.
#include "inf_installer.h"
#include "mbstring.h"
#include "messages.h"
#include "module.h"
#include <setupapi.h>

namespace {

// Log configuration, INI entries, registry, INI-to-registry and files. The headers'
// SPINST_ALL (0x3FF) also registers and unregisters DLLs, copies INF files and
// makes profile items, which these sections are not meant to do.
const UINT kInstallFlags = SPINST_LOGCONFIG | SPINST_INIFILES | SPINST_REGISTRY | SPINST_INI2REG | SPINST_FILES;

// SP_COPY_NEWER | SP_COPY_IN_USE_NEEDS_REBOOT | SP_COPY_FORCE_IN_USE
const DWORD kCopyFlags = 0x304;

}  // namespace

BOOL RunInfSection(HWND hwnd, const char* section, const char* infPath)
{
    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) {
        if (errorLine != 0)
            ShowMessage(hwnd, messageSettings.infErrorLineId, MB_ICONERROR, infPath, errorLine);
        else
            ShowSystemError(hwnd, GetLastError());
        return FALSE;
    }
    void* context = SetupInitDefaultQueueCallback(hwnd);
    if (!context) {
        ShowMessage(hwnd, messageSettings.outOfMemoryId, MB_ICONERROR);
        SetupCloseInfFile(inf);
        return FALSE;
    }
    BOOL ok = SetupInstallFromInfSectionA(hwnd, inf, section, kInstallFlags, nullptr, nullptr, kCopyFlags,
                                          SetupDefaultQueueCallbackA, context, nullptr, nullptr);
    SetupTermDefaultQueueCallback(context);
    SetupCloseInfFile(inf);
    return ok ? TRUE : FALSE;
}

void GetOwnInfPath(char* path, int size)
{
    path[0] = '\0';
    // A name cut to fit the buffer is not terminated on every Windows version.
    GetModuleFileNameA(moduleInstance, path, size);
    path[size - 1] = '\0';
    ReplaceExtension(path, size, "INF");
}

BOOL InstallSection(HWND hwnd, const char* section)
{
    char path[MAX_PATH];
    GetOwnInfPath(path, sizeof path);
    return RunInfSection(hwnd, section, path);
}

// KELVARA_NT_DECORATION comes from the build: ".ntx86", or ".ntamd64" for the x64
// build, whose INF files carry the NT sections under that name.
const char* InstallSectionName()
{
    return IsWindows95Family() ? "DefaultInstall" : "DefaultInstall" KELVARA_NT_DECORATION;
}

const char* UninstallSectionName()
{
    return IsWindows95Family() ? "DefaultUninstall" : "DefaultUninstall" KELVARA_NT_DECORATION;
}
