// Names that the NT family's shell hands over in UTF-16 (a wide drop list, the icon
// handler's Load, rundll32's wide entry) as the suite's paths, which are text of the
// ANSI code page.
#pragma once
#include <windows.h>

// The path of the file that wide names, in path (size bytes): the name itself when it
// converts to the ANSI code page and back unchanged, else, on the NT family, the
// file's short (8.3) name when that does. False, with path empty, when neither does
// or the result does not fit: the system's default conversion would put a look-alike
// in place of a character the code page lacks ("Māori" becomes "Maori"), which can be
// another file's name.
bool PathFromWide(const WCHAR* wide, char* path, int size);
