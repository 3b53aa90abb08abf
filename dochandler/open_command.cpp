// Open: the rundll32 entry that opens one .doc file with the verb its kind needs.
#include "compound_file.h"
#include "messages.h"
#include "module.h"
#include "resource.h"
#include "wide_names.h"
#include <shellapi.h>

namespace {

// The system error code of the same meaning as a failed ShellExecuteA result.
DWORD SystemErrorFor(UINT_PTR result)
{
    switch (result) {
    case 0:  // the shell ran out of memory or resources
        return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
        return ERROR_DLL_NOT_FOUND;
    default:  // 2, 3, 5, 8, 11 and the others already are system codes
        return static_cast<DWORD>(result);
    }
}

}  // namespace

// commandLine is the document's path, whole: rundll32 passes everything after the
// entry name, and nothing is unquoted or trimmed. 1 when the program started.
extern "C" int WINAPI Open(HWND, HINSTANCE, LPSTR commandLine, int)
{
    if (!commandLine) {
        ShowMessage(nullptr, IDS_INVALID_PARAMETER, MB_ICONERROR);
        return 0;
    }
    char verb[16] = "";
    LoadStringA(moduleInstance, IsCompoundFile(commandLine) ? IDS_DOC_EXTENSION : IDS_TXT_EXTENSION, verb,
                sizeof verb);
    UINT_PTR result = reinterpret_cast<UINT_PTR>(
        ShellExecuteA(nullptr, verb, commandLine, nullptr, nullptr, SW_SHOWDEFAULT));
    if (result > 32)
        return 1;
    ShowSystemError(nullptr, SystemErrorFor(result));
    return 0;
}

// The entry rundll32 calls on the NT family, where it finds one, with the command
// line as the shell holds it. The path goes on to Open as its exact text in the code
// page, or its short name; a name with neither is refused rather than opened as the
// look-alike the system's conversion would make of it.
extern "C" int WINAPI OpenW(HWND window, HINSTANCE instance, LPWSTR commandLine, int show)
{
    if (!commandLine)
        return Open(window, instance, nullptr, show);
    char path[MAX_PATH];
    if (!PathFromWide(commandLine, path, sizeof path)) {
        ShowMessage(nullptr, IDS_NAME_NOT_IN_CODE_PAGE, MB_ICONERROR);
        return 0;
    }
    return Open(window, instance, path, show);
}
