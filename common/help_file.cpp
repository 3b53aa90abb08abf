// Help calls on the suite's help file.
#include "help_file.h"
#include "file_paths.h"

bool ShowHelpFile(HWND owner, const char* directory, HMODULE module, const char* fileName, UINT command,
                  ULONG_PTR data)
{
    char path[MAX_PATH];
    return MakeFilePath(path, sizeof path, directory, module, fileName) && WinHelpA(owner, path, command, data);
}
