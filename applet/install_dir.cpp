// The installation directory: where the suite's shared files lie.
#include "applet.h"
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
    directory[0] = '\0';
    UINT length = GetSystemDirectoryA(directory, size);
    if (length == 0 || length >= static_cast<UINT>(size))
        directory[0] = '\0';
    AddTrailingBackslash(directory, size);
    int used = lstrlenA(directory);
    LoadStringA(moduleInstance, IDS_FALLBACK_DIRECTORY, directory + used, size - used);
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

bool MakeSharedFilePath(char* path, int size, const char* directory, UINT nameId)
{
    char name[16] = "";
    LoadStringA(moduleInstance, nameId, name, sizeof name);
    lstrcpynA(path, directory, size);
    int used = lstrlenA(path);
    if (used + lstrlenA(name) >= size) {
        AppendBounded(path, size, name);
        return false;
    }
    lstrcpyA(path + used, name);
    return true;
}
