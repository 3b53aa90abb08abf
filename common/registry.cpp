// Registry reads ended after their stored length, saved values, and whole trees.
#include "registry.h"
#include "scoped.h"

namespace {

// Registry names are enumerated into buffers of this size; longer ones are skipped.
const DWORD kNameSize = 32;
// Value data is copied through a buffer of this size; larger values are skipped.
const DWORD kDataSize = 260;

}  // namespace

bool EndValueData(char* data, DWORD length, DWORD size)
{
    if (length > 0 && data[length - 1] == '\0')
        return true;
    if (length >= size)
        return false;
    data[length] = '\0';
    return true;
}

bool ReadRegistryString(HKEY key, const char* name, char* buffer, DWORD size)
{
    if (size == 0)
        return false;
    DWORD length = size;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length) == ERROR_SUCCESS &&
        EndValueData(buffer, length, size))
        return true;
    buffer[0] = '\0';
    return false;
}

DWORD CountValues(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    return count;
}

void SaveValue(HKEY key, const char* name, SavedValue* saved)
{
    saved->size = sizeof saved->data;
    LONG result = RegQueryValueExA(key, name, nullptr, &saved->type, saved->data, &saved->size);
    saved->state = result == ERROR_SUCCESS ? SavedValue::Saved
                   : result == ERROR_MORE_DATA ? SavedValue::TooLarge
                                               : SavedValue::Missing;
}

void RestoreValue(HKEY key, const char* name, const SavedValue& saved)
{
    if (saved.state == SavedValue::Saved)
        RegSetValueExA(key, name, 0, saved.type, saved.data, saved.size);
    else if (saved.state == SavedValue::Missing)
        RegDeleteValueA(key, name);
}

bool CopyRegTree(HKEY target, HKEY source)
{
    bool copied = true;
    // ERROR_MORE_DATA (a name or data that does not fit) skips one entry; any
    // answer but success or that one ends the loop, so a key deleted meanwhile
    // cannot keep it turning.
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        BYTE data[kDataSize];
        DWORD dataSize = sizeof data;
        LONG result = RegEnumValueA(source, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_SUCCESS)
            copied = RegSetValueExA(target, name, 0, type, data, dataSize) == ERROR_SUCCESS && copied;
        else if (result != ERROR_MORE_DATA)
            break;
    }
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD nameSize = sizeof name;
        LONG result = RegEnumKeyExA(source, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        ScopedKey child;
        if (!child.Open(source, name, KEY_READ))
            continue;
        ScopedKey copy;
        copied = copy.Create(target, name) && CopyRegTree(copy.Get(), child.Get()) && copied;
    }
    return copied;
}

bool DeleteRegTree(HKEY parent, const char* name)
{
    {
        ScopedKey key;
        if (!key.Open(parent, name, KEY_ALL_ACCESS))
            return false;
        // RegDeleteKeyA takes a key's values with it, but on the NT family no key
        // that has subkeys.
        DWORD subkeys = 0;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            subkeys = 0;
        // From the last index down, so the indices still to visit stay valid.
        for (DWORD index = subkeys; index-- > 0;) {
            char subkeyName[kNameSize];
            DWORD nameSize = sizeof subkeyName;
            if (RegEnumKeyExA(key.Get(), index, subkeyName, &nameSize, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS)
                DeleteRegTree(key.Get(), subkeyName);
        }
    }
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}
