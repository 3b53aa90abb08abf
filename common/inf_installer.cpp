// INF section installer.
#include "inf_installer.h"
#include "file_paths.h"
#include "messages.h"
#include "module.h"
#include "registry.h"
#include "scoped.h"
#include "suite_keys.h"
#include <setupapi.h>

namespace {

// Log configuration, INI entries, registry, INI-to-registry and files. The headers'
// SPINST_ALL (0x3FF) also registers and unregisters DLLs, copies INF files and
// makes profile items, which these sections are not meant to do.
const UINT kInstallFlags = SPINST_LOGCONFIG | SPINST_INIFILES | SPINST_REGISTRY | SPINST_INI2REG | SPINST_FILES;

// SP_COPY_NEWER | SP_COPY_IN_USE_NEEDS_REBOOT | SP_COPY_FORCE_IN_USE
const DWORD kCopyFlags = 0x304;

// Opens the INF file, reporting a faulty or missing one; INVALID_HANDLE_VALUE then.
HINF OpenInf(HWND hwnd, const char* infPath)
{
    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) {
        if (errorLine != 0)
            ShowMessage(hwnd, messageSettings.infErrorLineId, MB_ICONERROR, infPath, errorLine);
        else  // the system's text is shown without an owner, on both families
            ShowSystemError(nullptr, GetLastError());
    }
    return inf;
}

// *ran tells whether the setup library got the section (false when the queue
// callback could not be set up).
BOOL InstallOpenSection(HWND hwnd, HINF inf, const char* section, bool* ran)
{
    void* context = SetupInitDefaultQueueCallback(hwnd);
    *ran = context != nullptr;
    if (!context) {
        ShowMessage(hwnd, messageSettings.outOfMemoryId, MB_ICONERROR);
        return FALSE;
    }
    BOOL ok = SetupInstallFromInfSectionA(hwnd, inf, section, kInstallFlags, nullptr, nullptr, kCopyFlags,
                                          SetupDefaultQueueCallbackA, context, nullptr, nullptr);
    SetupTermDefaultQueueCallback(context);
    return ok ? TRUE : FALSE;
}

// One line of an AddReg section: root, subkey, value name, flags, text.
struct RegistryLine {
    HKEY root;
    char subkey[MAX_PATH];
    char name[64];
    INT flags;
    char text[MAX_PATH];
};

// HKR needs a relative root, which these sections never get.
HKEY RootKey(const char* name)
{
    static const struct {
        const char* name;
        HKEY key;
    } roots[] = {{"HKCR", HKEY_CLASSES_ROOT}, {"HKLM", HKEY_LOCAL_MACHINE}, {"HKCU", HKEY_CURRENT_USER},
                 {"HKU", HKEY_USERS}};
    for (const auto& root : roots)
        if (lstrcmpiA(name, root.name) == 0)
            return root.key;
    return nullptr;
}

// Field of line into buffer; an absent field is empty. False when it does not fit.
bool ReadField(INFCONTEXT* line, DWORD field, char* buffer, DWORD size)
{
    buffer[0] = '\0';
    return field > SetupGetFieldCount(line) || SetupGetStringFieldA(line, field, buffer, size, nullptr);
}

// The line's fields as the setup library reads them, strings and directory ids
// substituted; false when a field does not fit.
bool ReadRegistryLine(INFCONTEXT* line, RegistryLine* entry)
{
    char root[8];
    if (!ReadField(line, 1, root, sizeof root) || !(entry->root = RootKey(root)))
        return false;
    if (!SetupGetIntField(line, 4, &entry->flags))
        entry->flags = 0;
    return ReadField(line, 2, entry->subkey, sizeof entry->subkey) &&
           ReadField(line, 3, entry->name, sizeof entry->name) && ReadField(line, 5, entry->text, sizeof entry->text);
}

// Calls visit for each line of each section that the AddReg entries of section
// name; false at the first line that cannot be read or that visit answers false.
bool ForEachAddRegLine(HINF inf, const char* section, bool (*visit)(const RegistryLine&))
{
    INFCONTEXT list;
    for (BOOL found = SetupFindFirstLineA(inf, section, "AddReg", &list); found;
         found = SetupFindNextMatchLineA(&list, "AddReg", &list)) {
        DWORD count = SetupGetFieldCount(&list);
        for (DWORD field = 1; field <= count; ++field) {
            char name[64];
            if (!SetupGetStringFieldA(&list, field, name, sizeof name, nullptr))
                return false;
            INFCONTEXT line;
            for (BOOL more = SetupFindFirstLineA(inf, name, nullptr, &line); more;
                 more = SetupFindNextLine(&line, &line)) {
                RegistryLine entry;
                if (!ReadRegistryLine(&line, &entry) || !visit(entry))
                    return false;
            }
        }
    }
    return true;
}

// A plain string line holds its text; a line with flags has its key.
bool LineInPlace(const RegistryLine& entry)
{
    ScopedKey key;
    if (!key.Open(entry.root, entry.subkey, KEY_QUERY_VALUE))
        return false;
    if (entry.flags != 0)
        return true;
    char text[MAX_PATH];
    return ReadRegistryString(key.Get(), entry.name, text, sizeof text) && lstrcmpA(text, entry.text) == 0;
}

bool DeleteLineValue(const RegistryLine& entry)
{
    ScopedKey key;
    if (entry.flags == 0 && key.Open(entry.root, entry.subkey, KEY_SET_VALUE))
        RegDeleteValueA(key.Get(), entry.name);
    return true;
}

// Errors are passed over: the take-back of a failed install shows nothing.
UINT CALLBACK QuietQueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2)
{
    switch (notification) {
    case SPFILENOTIFY_DELETEERROR:
    case SPFILENOTIFY_RENAMEERROR:
    case SPFILENOTIFY_COPYERROR:
    case SPFILENOTIFY_NEEDMEDIA:
        return FILEOP_SKIP;
    }
    return SetupDefaultQueueCallbackA(context, notification, param1, param2);
}

// What a failed first install did goes again: the uninstall section, run without a
// window, takes the files and registrations; what it leaves of the values that the
// install section writes is deleted; then the containers it created, if empty.
void TakeBackSection(HINF inf, const char* installSection, const char* uninstallSection, DWORD absentKeys)
{
    // INVALID_HANDLE_VALUE as the progress window: no progress dialog either.
    void* context = SetupInitDefaultQueueCallbackEx(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, 0, nullptr);
    if (context) {
        SetupInstallFromInfSectionA(nullptr, inf, uninstallSection, kInstallFlags, nullptr, nullptr, 0,
                                    QuietQueueCallback, context, nullptr, nullptr);
        SetupTermDefaultQueueCallback(context);
    }
    ForEachAddRegLine(inf, installSection, DeleteLineValue);
    RemoveEmptySuiteKeys(absentKeys);
}

}  // namespace

BOOL RunInfSection(HWND hwnd, const char* section, const char* infPath)
{
    HINF inf = OpenInf(hwnd, infPath);
    if (inf == INVALID_HANDLE_VALUE)
        return FALSE;
    bool ran;
    BOOL ok = InstallOpenSection(hwnd, inf, section, &ran);
    SetupCloseInfFile(inf);
    return ok;
}

BOOL InstallInfSection(HWND hwnd)
{
    char infPath[MAX_PATH];
    // A path that does not fit stays empty, and opens as a missing file.
    MakeModuleNamedPath(infPath, sizeof infPath, moduleInstance, "INF");
    HINF inf = OpenInf(hwnd, infPath);
    if (inf == INVALID_HANDLE_VALUE)
        return FALSE;
    const char* section = InstallSectionName();
    // Over a complete installation the section only writes what is there already,
    // so a failure leaves that installation as it was.
    bool firstInstall = !ForEachAddRegLine(inf, section, LineInPlace);
    DWORD absentKeys = AbsentSuiteKeys();
    // The setup library passes over a registry write that fails: the section counts
    // as installed only when every value it writes is in place.
    bool ran;
    BOOL ok = InstallOpenSection(hwnd, inf, section, &ran) && ForEachAddRegLine(inf, section, LineInPlace) &&
              RecordCreatedSuiteKeys(absentKeys);
    if (!ok && ran && firstInstall)
        TakeBackSection(inf, section, UninstallSectionName(), absentKeys);
    SetupCloseInfFile(inf);
    return ok;
}

BOOL UninstallInfSection(HWND hwnd)
{
    if (!InstallSection(hwnd, UninstallSectionName()))
        return FALSE;
    RemoveRecordedSuiteKeys();
    return TRUE;
}

BOOL InstallSection(HWND hwnd, const char* section)
{
    char path[MAX_PATH];
    MakeModuleNamedPath(path, sizeof path, moduleInstance, "INF");
    return RunInfSection(hwnd, section, path);
}

// KELVARA_NT_DECORATION comes from the build: ".ntx86", or ".ntamd64" for the x64
// build, whose INF files carry the NT sections under that name.
const char* InstallSectionName()
{
    return IsWindows95Family() ? "DefaultInstall" : "DefaultInstall" KELVARA_NT_DECORATION;
}

const char* UninstallSectionName()
{
    return IsWindows95Family() ? "DefaultUninstall" : "DefaultUninstall" KELVARA_NT_DECORATION;
}
