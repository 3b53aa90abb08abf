// Settings store: one flags word per user in the shared settings file.
#include "settings.h"
#include "mbstring.h"
#include "module.h"
#include "resource.h"

namespace {

char userSection[32];
char iniPath[MAX_PATH];

void LoadKeyName(UINT keyId, char* key, int size)
{
    key[0] = '\0';
    LoadStringA(moduleInstance, keyId, key, size);
}

}  // namespace

void InitSettingsLocation()
{
    DWORD size = sizeof userSection;
    if (!GetUserNameA(userSection, &size))
        LoadStringA(moduleInstance, IDS_DEFAULT_SECTION, userSection, sizeof userSection);

    iniPath[0] = '\0';
    GetModuleFileNameA(moduleInstance, iniPath, sizeof iniPath);
    if (char* slash = FindLastChar(iniPath, '\\'))
        slash[1] = '\0';
    int used = lstrlenA(iniPath);
    LoadStringA(moduleInstance, IDS_SETTINGS_FILE, iniPath + used, sizeof iniPath - used);
}

UINT ReadSetting(UINT keyId, UINT defaultValue)
{
    char key[16];
    LoadKeyName(keyId, key, sizeof key);
    return GetPrivateProfileIntA(userSection, key, defaultValue, iniPath);
}

void WriteSetting(UINT keyId, UINT value)
{
    char key[16];
    LoadKeyName(keyId, key, sizeof key);
    char text[16];
    wsprintfA(text, "%d", value);
    // A failed write is not reported: the next read shows what the file holds.
    WritePrivateProfileStringA(userSection, key, text, iniPath);
}
