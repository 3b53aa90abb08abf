// Registry reads into the fixed buffers the suite uses. A stored value need not end
// in a terminator: every string read here is ended after its stored length, and a
// value that (with its terminator) does not fit is treated as missing.
#pragma once
#include <windows.h>

// Reads the string value name (null: the default value) of key into buffer of size
// bytes. On failure the buffer holds the empty string.
bool ReadRegistryString(HKEY key, const char* name, char* buffer, DWORD size);
