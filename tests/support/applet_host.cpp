// KELVARA.CPL under test.
#include "applet_host.h"
#include "modal_driver.h"
#include <cpl.h>
#include <setupapi.h>
#include <shellapi.h>

const char kComponentKey[] = "Software\\Farrowmere\\ShellExt";

ComponentKey::ComponentKey() : saved_(HKEY_LOCAL_MACHINE, {kComponentKey})
{
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
}

ComponentKey::~ComponentKey() = default;

void ComponentKey::Create() const
{
    WriteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey, RegistryTree());
}

void ComponentKey::SetDirectory(const std::string& directory) const
{
    SetRegistryString(HKEY_LOCAL_MACHINE, kComponentKey, nullptr, directory);
}

void ComponentKey::Add(const std::string& name, const std::string& path) const
{
    SetRegistryString(HKEY_LOCAL_MACHINE, kComponentKey, name.c_str(), path);
}

void ComponentKey::AddBytes(const std::string& name, DWORD type, const std::string& bytes) const
{
    SetRegistryBytes(HKEY_LOCAL_MACHINE, kComponentKey, name.c_str(), type, bytes);
}

std::vector<std::pair<std::string, std::string>> ComponentKey::Values() const
{
    std::vector<std::pair<std::string, std::string>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComponentKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD nameSize = sizeof name;
        char data[2048];
        DWORD dataSize = sizeof data - 1;
        LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                    &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        std::string text(data, dataSize);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        values.emplace_back(name, text);
    }
    RegCloseKey(key);
    return values;
}

bool ComponentKey::Exists() const
{
    return RegistryKeyExists(HKEY_LOCAL_MACHINE, kComponentKey);
}

namespace {

AppletObserver* observer = nullptr;
HMODULE observedModule = nullptr;

std::string Text(const char* text)
{
    return text ? text : "(null)";
}

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                    INT show)
{
    observer->shellExecutes.push_back({owner, Text(verb), Text(file), Text(parameters), Text(directory), show});
    observer->order.push_back("browser");
    return reinterpret_cast<HINSTANCE>(33);
}

BOOL WINAPI AnswerShellExecuteEx(SHELLEXECUTEINFOA* info)
{
    observer->shellExecuteExs.push_back({info->hwnd, Text(info->lpVerb), Text(info->lpFile),
                                         Text(info->lpParameters), Text(info->lpDirectory), info->nShow});
    observer->order.push_back("execute");
    SetLastError(observer->shellExecuteExError);
    return !observer->shellExecuteExError;
}

BOOL WINAPI RecordSection(HWND owner, HINF inf, PCSTR section, UINT flags, HKEY root, PCSTR source, UINT copyFlags,
                          PSP_FILE_CALLBACK_A callback, PVOID context, HDEVINFO devices, PSP_DEVINFO_DATA device)
{
    observer->sections.push_back({owner, Text(section), flags, copyFlags});
    observer->order.push_back("section");
    if (observer->failSection) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return SetupInstallFromInfSectionA(owner, inf, section, flags, root, source, copyFlags, callback, context,
                                       devices, device);
}

HINF WINAPI RecordInfOpen(PCSTR path, PCSTR infClass, DWORD style, PUINT errorLine)
{
    observer->infOpens.push_back(Text(path));
    observer->order.push_back("open");
    return SetupOpenInfFileA(path, infClass, style, errorLine);
}

PVOID WINAPI AnswerQueueContext(HWND owner)
{
    if (observer->failQueueContext)
        return nullptr;
    return SetupInitDefaultQueueCallback(owner);
}

INT WINAPI RecordRebootPrompt(HSPFILEQ queue, HWND owner, BOOL scanOnly)
{
    observer->rebootPrompts.push_back({queue, owner, scanOnly});
    observer->order.push_back("reboot");
    return 0;  // the user chose not to restart
}

DWORD WINAPI AnswerVersion()
{
    return observer->version ? observer->version : GetVersion();
}

LPSTR WINAPI AnswerCommandLine()
{
    return observer->commandLine.empty() ? GetCommandLineA() : &observer->commandLine[0];
}

HMODULE WINAPI RecordLoadLibrary(LPCSTR path)
{
    observer->libraryLoads.push_back(Text(path));
    observer->order.push_back("load");
    return LoadLibraryA(path);
}

HGLOBAL WINAPI AnswerGlobalAlloc(UINT flags, SIZE_T bytes)
{
    ++observer->globalAllocs;
    if (observer->failGlobalAllocFrom && observer->globalAllocs >= observer->failGlobalAllocFrom)
        return nullptr;
    return GlobalAlloc(flags, bytes);
}

HLOCAL WINAPI AnswerLocalAlloc(UINT flags, SIZE_T bytes)
{
    ++observer->localAllocs;
    if (observer->failLocalAllocFrom && observer->localAllocs >= observer->failLocalAllocFrom)
        return nullptr;
    return LocalAlloc(flags, bytes);
}

int keyOpenCount = 0;

LONG WINAPI RecordKeyOpen(HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key)
{
    if (root == HKEY_LOCAL_MACHINE && name && lstrcmpiA(name, kComponentKey) == 0) {
        observer->keyOpens.push_back(access);
        ++keyOpenCount;
        if (observer->failKeyOpenFrom && keyOpenCount >= observer->failKeyOpenFrom) {
            *key = nullptr;
            return ERROR_ACCESS_DENIED;
        }
    }
    const REGSAM writes = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
    if (root == HKEY_LOCAL_MACHINE && observer->denyKeyWrites && (access & (writes | GENERIC_WRITE | GENERIC_ALL))) {
        *key = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    return RegOpenKeyExA(root, name, options, access, key);
}

BOOL WINAPI AnswerTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size, PDWORD needed)
{
    BOOL ok = GetTokenInformation(token, kind, data, size, needed);
    if (ok && kind == TokenElevation)
        static_cast<TOKEN_ELEVATION*>(data)->TokenIsElevated = observer->elevated;
    return ok;
}

// The list is freed after the call: a copy of it is kept.
DWORD WINAPI RecordSecuritySet(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID owner, PSID group,
                               PACL dacl, PACL sacl)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(dacl);
    observer->securitySets.push_back({Text(path), type, info, {bytes, dacl ? bytes + dacl->AclSize : bytes}});
    observer->order.push_back("grant");
    return SetNamedSecurityInfoA(path, type, info, owner, group, dacl, sacl);
}

FARPROC WINAPI AnswerProcAddress(HMODULE module, LPCSTR name)
{
    bool advapi = !IS_INTRESOURCE(name) && module == GetModuleHandleA("advapi32.dll");
    if (advapi && lstrcmpA(name, "GetTokenInformation") == 0)
        return reinterpret_cast<FARPROC>(&AnswerTokenInformation);
    if (advapi && lstrcmpA(name, "SetNamedSecurityInfoA") == 0)
        return reinterpret_cast<FARPROC>(&RecordSecuritySet);
    return GetProcAddress(module, name);
}

INT_PTR WINAPI RecordPropertySheet(LPCPROPSHEETHEADERA header)
{
    SheetHeader copy;
    ZeroMemory(&copy.header, sizeof copy.header);
    CopyMemory(&copy.header, header, header->dwSize < sizeof copy.header ? header->dwSize : sizeof copy.header);
    copy.caption = IS_INTRESOURCE(header->pszCaption) ? "#" : Text(header->pszCaption);
    if (header->dwFlags & PSH_PROPSHEETPAGE) {
        // The slots follow one another by their own dwSize.
        const BYTE* slot = reinterpret_cast<const BYTE*>(header->ppsp);
        for (UINT i = 0; slot && i < header->nPages; ++i) {
            PROPSHEETPAGEA_V1 page;
            ZeroMemory(&page, sizeof page);
            DWORD size = reinterpret_cast<const PROPSHEETPAGEA_V1*>(slot)->dwSize;
            CopyMemory(&page, slot, size < sizeof page ? size : sizeof page);
            copy.pages.push_back(page);
            slot += size ? size : sizeof page;
        }
    }
    observer->sheets.push_back(copy);
    observer->order.push_back("sheet");
    return PropertySheetA(header);
}

}  // namespace

AppletObserver::AppletObserver(HMODULE applet) : help(applet)
{
    observer = this;
    observedModule = applet;
    keyOpenCount = 0;
    const ImportReplacement table[] = {
        {"shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&RecordShellExecute)},
        {"shell32.dll", "ShellExecuteExA", reinterpret_cast<const void*>(&AnswerShellExecuteEx)},
        {"setupapi.dll", "SetupInstallFromInfSectionA", reinterpret_cast<const void*>(&RecordSection)},
        {"setupapi.dll", "SetupOpenInfFileA", reinterpret_cast<const void*>(&RecordInfOpen)},
        {"setupapi.dll", "SetupInitDefaultQueueCallback", reinterpret_cast<const void*>(&AnswerQueueContext)},
        {"setupapi.dll", "SetupPromptReboot", reinterpret_cast<const void*>(&RecordRebootPrompt)},
        {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&AnswerVersion)},
        {"kernel32.dll", "GetCommandLineA", reinterpret_cast<const void*>(&AnswerCommandLine)},
        {"kernel32.dll", "LoadLibraryA", reinterpret_cast<const void*>(&RecordLoadLibrary)},
        {"kernel32.dll", "GlobalAlloc", reinterpret_cast<const void*>(&AnswerGlobalAlloc)},
        {"kernel32.dll", "LocalAlloc", reinterpret_cast<const void*>(&AnswerLocalAlloc)},
        {"advapi32.dll", "RegOpenKeyExA", reinterpret_cast<const void*>(&RecordKeyOpen)},
        {"kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&AnswerProcAddress)},
        {"comctl32.dll", "PropertySheetA", reinterpret_cast<const void*>(&RecordPropertySheet)},
    };
    PatchImports(applet, table, patches_);
}

AppletObserver::~AppletObserver()
{
    patches_.clear();
    observer = nullptr;
}

void AppletObserver::Reset()
{
    version = 0;
    failSection = failQueueContext = denyKeyWrites = false;
    failGlobalAllocFrom = failLocalAllocFrom = failKeyOpenFrom = 0;
    shellExecuteExError = 0;
    elevated = 1;
    commandLine.clear();
    help.calls.clear();
    shellExecutes.clear();
    shellExecuteExs.clear();
    securitySets.clear();
    sections.clear();
    infOpens.clear();
    rebootPrompts.clear();
    libraryLoads.clear();
    keyOpens.clear();
    sheets.clear();
    globalAllocs = localAllocs = 0;
    order.clear();
    keyOpenCount = 0;
}

bool AppletObserver::Applied() const
{
    if (!help.Applied())
        return false;
    for (const auto& patch : patches_) {
        if (!patch->Applied())
            return false;
    }
    return !patches_.empty();
}

void AppletTest::SetUp()
{
    ASSERT_TRUE(applet.Get()) << "KELVARA.CPL does not load";
    entry = applet.Export<CplEntry>("CPlApplet");
    ASSERT_TRUE(entry);
}

bool AppletTest::OpenSheet(const std::function<void(HWND sheet)>& action)
{
    ModalDriver driver(IsPropertySheetWindow, action);
    EXPECT_EQ(0, entry(controlPanel.Get(), CPL_DBLCLK, 0, 0));
    return driver.Ran();
}

std::string CopyFixture(const std::string& directory, const std::string& name, const std::string& newName)
{
    std::string target = directory + "\\" + newName;
    CopyFileTo(FixturePath(name), target);
    return target;
}
