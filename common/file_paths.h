// Paths of the suite's files: a file in a directory, beside a module, or named
// after a module. A path that does not fit its buffer is refused, never cut, since a
// cut path names another file; the caller treats the file as missing.
#pragma once
#include <windows.h>

// fileName in directory, or beside module when directory is null (a null module is
// the program file). fileName is a name, or a string id of this module given with
// MAKEINTRESOURCEA. A backslash goes between the two unless directory ends in one.
// False, with path empty, when the directory or the name is empty or unknown or the
// path does not fit size bytes.
bool MakeFilePath(char* path, int size, const char* directory, HMODULE module, const char* fileName);

// fileName (as for MakeFilePath) in the system directory; false, with path empty,
// when that is unknown or the path does not fit.
bool MakeSystemFilePath(char* path, int size, const char* fileName);

// module's own path (a null module is the program file); false, with path empty,
// when it is unknown or does not fit.
bool MakeModulePath(char* path, int size, HMODULE module);

// module's own path with its extension replaced by extension ("INF"); false, with
// path empty, when it is unknown or does not fit.
bool MakeModuleNamedPath(char* path, int size, HMODULE module, const char* extension);
