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
