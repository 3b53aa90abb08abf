// Settings store: one flags word per user in the shared settings file.
#include "settings.h"
#include "file_paths.h"
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

    // A path that does not fit stays empty: nothing is read or written then.
    MakeFilePath(iniPath, sizeof iniPath, nullptr, moduleInstance, MAKEINTRESOURCEA(IDS_SETTINGS_FILE));
}

UINT ReadSetting(UINT keyId, UINT defaultValue)
{
    if (!iniPath[0])
        return defaultValue;
    char key[16];
    LoadKeyName(keyId, key, sizeof key);
    return GetPrivateProfileIntA(userSection, key, defaultValue, iniPath);
}

bool WriteSetting(UINT keyId, UINT value)
{
    if (!iniPath[0]) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    char key[16];
    LoadKeyName(keyId, key, sizeof key);
    char text[16];
    wsprintfA(text, "%d", value);
    return WritePrivateProfileStringA(userSection, key, text, iniPath) != FALSE;
}
