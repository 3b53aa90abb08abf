// Paths of the suite's files, refused when they do not fit.
#include "file_paths.h"
#include "mbstring.h"
#include "module.h"

namespace {

bool Refuse(char* path)
{
    path[0] = '\0';
    return false;
}

// A path that fills the buffer has been cut, and is not terminated on every Windows.
bool GetModulePath(char* path, int size, HMODULE module)
{
    DWORD length = GetModuleFileNameA(module, path, size);
    return length > 0 && length < static_cast<DWORD>(size);
}

}  // namespace

bool MakeFilePath(char* path, int size, const char* directory, HMODULE module, const char* fileName)
{
    // A name longer than this could not fit any path of the suite's buffers either.
    char loaded[MAX_PATH];
    if (IS_INTRESOURCE(fileName)) {
        loaded[0] = '\0';
        LoadStringA(moduleInstance, LOWORD(reinterpret_cast<ULONG_PTR>(fileName)), loaded, sizeof loaded);
        fileName = loaded;
    }
    bool found = directory ? CopyBounded(path, size, directory) : GetModulePath(path, size, module);
    if (found && !directory)
        *FileNamePart(path) = '\0';
    // An empty directory would make the file relative to the current directory.
    if (!found || !path[0] || !fileName[0])
        return Refuse(path);
    return (AddTrailingBackslash(path, size) && AppendBounded(path, size, fileName)) || Refuse(path);
}

bool MakeSystemFilePath(char* path, int size, const char* fileName)
{
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system)
        system[0] = '\0';
    return MakeFilePath(path, size, system, nullptr, fileName);
}

bool MakeModulePath(char* path, int size, HMODULE module)
{
    return GetModulePath(path, size, module) || Refuse(path);
}

bool MakeModuleNamedPath(char* path, int size, HMODULE module, const char* extension)
{
    return (GetModulePath(path, size, module) && ReplaceExtension(path, size, extension)) || Refuse(path);
}
