// Terminated registry string reads.
#include "registry.h"

bool ReadRegistryString(HKEY key, const char* name, char* buffer, DWORD size)
{
    if (size == 0)
        return false;
    DWORD length = size;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length);
    if (result != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return false;
    }
    if (length > 0 && buffer[length - 1] == '\0')
        return true;
    // Stored without its terminator: it fits only if there is room to add one.
    if (length >= size) {
        buffer[0] = '\0';
        return false;
    }
    buffer[length] = '\0';
    return true;
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
