// The per-user flags word in KELVARA.INI beside the module.
#pragma once
#include <windows.h>

enum : UINT {
    kFlagTouch = 0x01,
    kFlagIcons = 0x02,
    kFlagBitmaps = 0x04,
    kFlagIconsOnlyWithIcons = 0x10,
    kFlagStretch = 0x20,
    kDefaultFlags = 39,
};

// Computes the section (the user's logon name, or "Default") and the file path once
// per process; called at DLL_PROCESS_ATTACH.
void InitSettingsLocation();

UINT ReadSetting(UINT keyId, UINT defaultValue);
// False, with the error as the thread's last error, when the value was not stored
// (on the NT family a user without write access to the file).
bool WriteSetting(UINT keyId, UINT value);
