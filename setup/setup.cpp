// SETUP.EXE: the program's entry point, the single-instance check, the Setup.ini
// checks and the module's globals.
#include "file_paths.h"
#include "mbstring.h"
#include "messages.h"
#include "module.h"
#include "resource.h"
#include "setup.h"

const char kProductName[] = "Kelvara";

char setupIniPath[MAX_PATH];
char sectionName[32];
char keyName[32];

namespace {

const char kMutexName[] = "KelvaraMutex";

// Held from the start to the end of the first copy; created not owned, so its
// existence alone tells a second copy to step aside.
HANDLE mutex = nullptr;

}  // namespace

// The caption is fixed; setup runs no INF file, so it has no INF messages.
KELVARA_MESSAGE_SETTINGS(0, kProductName, 256, 512, 0, 0);

void FormatWindowTitle(char* title, int size)
{
    title[0] = '\0';
    lstrcpynA(title, "Install ", size);
    AppendBounded(title, size, kProductName);
}

void ReadSetupValue(UINT sectionId, UINT keyId, const char* defaultValue, char* buffer, DWORD size)
{
    LoadStringA(moduleInstance, sectionId, sectionName, sizeof sectionName);
    LoadStringA(moduleInstance, keyId, keyName, sizeof keyName);
    GetPrivateProfileStringA(sectionName, keyName, defaultValue, buffer, size, setupIniPath);
}

namespace {

// Brings the first copy's active window to the front when that copy is running:
// its dialog, or the message box or prompt open over it, which the user has to
// answer before the disabled dialog can take anything.
bool AnotherCopyIsRunning()
{
    mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    char title[48];
    FormatWindowTitle(title, sizeof title);
    HWND running = FindWindowA(nullptr, title);
    if (running)
        SetForegroundWindow(GetLastActivePopup(running));
    return true;
}

void GetSetupIniPath()
{
    // A path that does not fit stays empty: Setup.ini is then missing.
    MakeModuleNamedPath(setupIniPath, sizeof setupIniPath, nullptr, "INI");
}

bool SetupIniNamesThisProduct()
{
    char name[48];
    ReadSetupValue(IDS_APPLICATION_SECTION, IDS_NAME_KEY, "", name, sizeof name);
    return lstrcmpiA(name, kProductName) == 0;
}

// A component is loaded by its full path, yet its imports are looked for in the
// program's directory first, where a library of the same name may have been put (a
// downloads folder). Where the running Windows offers it, they come from the system
// directory only. Windows 95, 98 and NT 4 have neither function, so both are looked
// up; SetDllDirectoryA("") takes only the current directory out of the search.
void RestrictLibrarySearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryAFunction)(LPCSTR);
    auto setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        SystemFunction("kernel32.dll", "SetDefaultDllDirectories"));
    if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    auto setDirectory =
        reinterpret_cast<SetDllDirectoryAFunction>(SystemFunction("kernel32.dll", "SetDllDirectoryA"));
    if (setDirectory)
        setDirectory("");
}

// A 32-bit process on 64-bit Windows. The x86 files installed there would register
// in the 32-bit view of the registry while ".doc" and its class are shared by both
// views: 64-bit Explorer would find the class without its icon handler. Windows 95
// and NT 4.0 lack the function, and a 64-bit process always gets FALSE.
bool RunsOn64BitWindows()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, PBOOL);
    auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(SystemFunction("kernel32.dll", "IsWow64Process"));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void RunSetup()
{
    moduleInstance = GetModuleHandleA(nullptr);
    if (RunsOn64BitWindows()) {
        ShowMessage(nullptr, IDS_NEEDS_X64, MB_ICONERROR);
        return;
    }
    RestrictLibrarySearch();
    if (AnotherCopyIsRunning())
        return;
    GetSetupIniPath();
    if (!SetupIniNamesThisProduct()) {
        ShowMessage(nullptr, IDS_BAD_SETUP_INFO, MB_ICONERROR);
        return;
    }
    DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialogProc, 0);
}

}  // namespace

// The program's own entry point: there is no C runtime to call a WinMain, and
// nothing of the command line is used.
extern "C" void WINAPI SetupEntry()
{
    RunSetup();
    if (mutex) {
        // Created not owned, so the release fails harmlessly; closing the last
        // handle is what lets the next copy run.
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    ExitProcess(0);
}
