// The installation directory: where the suite's shared files lie.
#include "applet.h"
#include "file_paths.h"
#include "mbstring.h"
#include "module.h"
#include "registry.h"
#include "resource.h"
#include "scoped.h"

void LoadComponentKeyName(char* name, int size)
{
    name[0] = '\0';
    LoadStringA(moduleInstance, IDS_COMPONENT_KEY, name, size);
}

void GetFallbackDirectory(char* directory, int size)
{
    MakeSystemFilePath(directory, size, MAKEINTRESOURCEA(IDS_FALLBACK_DIRECTORY));
}

void ReadInstallDirectory(HKEY componentKey, char* directory, int size)
{
    // An empty value names no directory: it would make the shared files relative to
    // whatever the current directory is.
    if (!componentKey || !ReadRegistryString(componentKey, nullptr, directory, size) || !directory[0]) {
        GetFallbackDirectory(directory, size);
        return;
    }
    AddTrailingBackslash(directory, size);
}

void GetInstallDirectory(char* directory, int size, REGSAM access)
{
    char keyName[64];
    LoadComponentKeyName(keyName, sizeof keyName);
    ScopedKey key;
    key.Open(HKEY_LOCAL_MACHINE, keyName, access);
    ReadInstallDirectory(key.Get(), directory, size);
}
