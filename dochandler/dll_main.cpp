// QUORBIN.DLL: module entry, class identifier, message settings and the applet's
// page request.
#include "com_server.h"
#include "messages.h"
#include "module.h"
#include "resource.h"
#include <prsht.h>

// {6F0C5E2A-3B7D-4C1E-9A52-8E4D1B7A2C02}; QUORBIN.INF registers the same value.
const CLSID componentClassId = {0x6f0c5e2a, 0x3b7d, 0x4c1e, {0x9a, 0x52, 0x8e, 0x4d, 0x1b, 0x7a, 0x2c, 0x02}};

KELVARA_MESSAGE_SETTINGS(IDS_COMPONENT_NAME, nullptr, 256, 1024, IDS_INF_ERROR_LINE, IDS_OUT_OF_MEMORY);

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}

// The component has no settings page: the applet's structure stays untouched.
extern "C" BOOL WINAPI CplGetPage(PROPSHEETPAGEA*)
{
    return FALSE;
}
