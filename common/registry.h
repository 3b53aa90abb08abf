// Registry reads into the fixed buffers the suite uses. A stored value need not end
// in a terminator: every string read here is ended after its stored length, and a
// value that (with its terminator) does not fit is treated as missing.
#pragma once
#include <windows.h>

// Reads the string value name (null: the default value) of key into buffer of size
// bytes. On failure the buffer holds the empty string.
bool ReadRegistryString(HKEY key, const char* name, char* buffer, DWORD size);

// A value as it was, to be put back exactly after a step that failed.
struct SavedValue {
    enum State { Missing, Saved, TooLarge } state;
    DWORD type;
    DWORD size;
    BYTE data[MAX_PATH];
};

// Reads value name (null: the default value) of key into saved.
void SaveValue(HKEY key, const char* name, SavedValue* saved);
// Writes the saved value back, or deletes the value when it was missing; a value too
// large to save is left as it is.
void RestoreValue(HKEY key, const char* name, const SavedValue& saved);
