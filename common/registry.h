// Registry reads into the fixed buffers the suite uses, saved values, and whole trees.
// A stored value need not end in a terminator: every string read here is ended after
// its stored length, and a value that (with its terminator) does not fit is treated
// as missing.
#pragma once
#include <windows.h>

// Ends value data of length bytes read into a buffer of size bytes after its stored
// length; false when it has no terminator and no room for one (it does not fit).
bool EndValueData(char* data, DWORD length, DWORD size);

// Reads the string value name (null: the default value) of key into buffer of size
// bytes. On failure the buffer holds the empty string.
bool ReadRegistryString(HKEY key, const char* name, char* buffer, DWORD size);

// The number of values of key; 0 when it cannot be queried.
DWORD CountValues(HKEY key);

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

// Copies every value and subkey of source into target, at every depth. Names of 32
// characters or more and data larger than 260 bytes are left out; what target
// already holds stays unless a copied value of the same name replaces it. False when
// a value or key could not be written (what fits is copied all the same).
bool CopyRegTree(HKEY target, HKEY source);

// Deletes parent\name with everything below it; true when the key itself went.
bool DeleteRegTree(HKEY parent, const char* name);
