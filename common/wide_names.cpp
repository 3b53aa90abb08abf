// Wide names turned into paths of the ANSI code page exactly, or not at all.
#include "wide_names.h"
#include "module.h"

namespace {

// The conversion of wide into path, accepted only when converting it back gives wide
// again. WC_NO_BEST_FIT_CHARS would say the same, but Windows 95, 98 and NT 4.0 do
// not know the flag, and WideCharToMultiByte reports no look-alike it puts in: only
// the round trip tells.
bool ConvertExactly(const WCHAR* wide, char* path, int size)
{
    if (size <= 0)
        return false;
    // A path of the code page never takes more characters than bytes.
    WCHAR back[MAX_PATH];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, path, size, nullptr, nullptr) > 0 &&
        MultiByteToWideChar(CP_ACP, 0, path, -1, back, MAX_PATH) > 0) {
        int i = 0;
        while (back[i] == wide[i] && wide[i])
            ++i;
        if (back[i] == wide[i])
            return true;
    }
    path[0] = '\0';
    return false;
}

}  // namespace

bool PathFromWide(const WCHAR* wide, char* path, int size)
{
    if (ConvertExactly(wide, path, size))
        return true;
    // The 95 family's shell hands over ANSI names; its kernel has no wide file names.
    if (IsWindows95Family())
        return false;
    // Looked up: the deliverables import no wide function. Where the file system
    // makes no short names (NtfsDisable8dot3NameCreation) the long name comes back
    // and fails again.
    typedef DWORD(WINAPI * GetShortPathNameWFunction)(const WCHAR*, WCHAR*, DWORD);
    auto getShortPathName =
        reinterpret_cast<GetShortPathNameWFunction>(SystemFunction("kernel32.dll", "GetShortPathNameW"));
    WCHAR shortName[MAX_PATH];
    DWORD length = getShortPathName ? getShortPathName(wide, shortName, MAX_PATH) : 0;
    return length > 0 && length < MAX_PATH && ConvertExactly(shortName, path, size);
}
