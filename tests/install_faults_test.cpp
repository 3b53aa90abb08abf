// The suite installed as SETUP.EXE installs it (each component's Install, then the
// applet's) and removed with the uninstaller, on the real registry and the real setup
// library, while one call that changes the registry or runs an INF section fails: in
// turn every such call of a clean run, with every question answered Yes, and again
// answered No where one was asked. After each point ".doc" still names a working
// class, and a clean removal brings the registry and the installation back exactly.
#include "applet_host.h"
#include "deliverables.h"
#include "import_patch.h"
#include "modal_driver.h"
#include "registry_snapshot.h"
#include "sheet_host.h"
#include <gtest/gtest.h>
#include <setupapi.h>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

namespace {

// ---- The fault: the failAt-th counted call fails, every other one goes through ----

int callsMade = 0;
int failAt = 0;  // 0: none
bool Fault() { return ++callsMade == failAt; }

// The stand-ins call the real functions through the test program's own imports.
LONG WINAPI FailingCreateKeyA(HKEY key, LPCSTR name, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                              LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    return Fault() ? ERROR_ACCESS_DENIED
                   : RegCreateKeyExA(key, name, reserved, cls, options, access, security, result, disposition);
}
LONG WINAPI FailingCreateKeyW(HKEY key, LPCWSTR name, DWORD reserved, LPWSTR cls, DWORD options, REGSAM access,
                              LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    return Fault() ? ERROR_ACCESS_DENIED
                   : RegCreateKeyExW(key, name, reserved, cls, options, access, security, result, disposition);
}
LONG WINAPI FailingSetValueA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    return Fault() ? ERROR_ACCESS_DENIED : RegSetValueExA(key, name, reserved, type, data, size);
}
LONG WINAPI FailingSetValueW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    return Fault() ? ERROR_ACCESS_DENIED : RegSetValueExW(key, name, reserved, type, data, size);
}
LONG WINAPI FailingDeleteValueA(HKEY key, LPCSTR name)
{
    return Fault() ? ERROR_ACCESS_DENIED : RegDeleteValueA(key, name);
}
LONG WINAPI FailingDeleteKeyA(HKEY key, LPCSTR name)
{
    return Fault() ? ERROR_ACCESS_DENIED : RegDeleteKeyA(key, name);
}
BOOL WINAPI FailingSection(HWND owner, HINF inf, PCSTR section, UINT flags, HKEY root, PCSTR source, UINT copyFlags,
                           PSP_FILE_CALLBACK_A callback, PVOID context, HDEVINFO devices, PSP_DEVINFO_DATA device)
{
    return !Fault() && SetupInstallFromInfSectionA(owner, inf, section, flags, root, source, copyFlags, callback,
                                                   context, devices, device);
}

// The Windows family GetVersion answers: Windows 98 or Windows XP.
DWORD version = kWindowsXp;
DWORD WINAPI AnswerVersion() { return version; }

// Every question answered alike; the number asked tells whether a No pass differs.
int answer = IDYES;
int questions = 0;
int WINAPI AnswerBox(HWND, LPCSTR, LPCSTR, UINT type)
{
    if ((type & MB_TYPEMASK) == MB_OK)
        return IDOK;
    ++questions;
    return answer;
}

const ImportReplacement kDeliverablePatches[] = {
    {"advapi32.dll", "RegCreateKeyExA", reinterpret_cast<const void*>(&FailingCreateKeyA)},
    {"advapi32.dll", "RegSetValueExA", reinterpret_cast<const void*>(&FailingSetValueA)},
    {"advapi32.dll", "RegDeleteValueA", reinterpret_cast<const void*>(&FailingDeleteValueA)},
    {"advapi32.dll", "RegDeleteKeyA", reinterpret_cast<const void*>(&FailingDeleteKeyA)},
    {"setupapi.dll", "SetupInstallFromInfSectionA", reinterpret_cast<const void*>(&FailingSection)},
    {"user32.dll", "MessageBoxA", reinterpret_cast<const void*>(&AnswerBox)},
    {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&AnswerVersion)},
};
// Wine's setup library is a PE module: its own registry writes fail too.
const ImportReplacement kSetupLibraryPatches[] = {
    {"advapi32.dll", "RegCreateKeyExW", reinterpret_cast<const void*>(&FailingCreateKeyW)},
    {"advapi32.dll", "RegSetValueExA", reinterpret_cast<const void*>(&FailingSetValueA)},
    {"advapi32.dll", "RegSetValueExW", reinterpret_cast<const void*>(&FailingSetValueW)},
};

// The patches of each module that takes part; those of a component library that the
// uninstaller loads are made at its load and dropped at its release.
std::map<HMODULE, std::vector<std::unique_ptr<ImportPatch>>> patched;
std::set<HMODULE> loadedForUninstall;
std::set<std::string> loadedByUninstaller;  // paths, lower case

std::string Lower(std::string text)
{
    CharLowerA(&text[0]);
    return text;
}

HMODULE WINAPI LoadAndPatch(LPCSTR path)
{
    HMODULE module = LoadLibraryA(path);
    if (module && !patched.count(module)) {
        loadedForUninstall.insert(module);
        loadedByUninstaller.insert(Lower(path));
        PatchImports(module, kDeliverablePatches, patched[module]);
    }
    return module;
}
BOOL WINAPI UnpatchAndFree(HMODULE module)
{
    if (loadedForUninstall.erase(module))
        patched.erase(module);
    return FreeLibrary(module);
}

// ---- The world before the install ----

// A word processor's class for ".doc" and a text class for ".txt", as on a Windows
// with both: each with an open verb and an icon.
const char* const kClasses[] = {".doc", ".txt", "KvtFaultWord", "KvtFaultText"};
void MakeClasses()
{
    for (const char* name : kClasses)
        DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
    SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "KvtFaultWord");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultWord", nullptr, "Word document");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultWord\\DefaultIcon", nullptr, "word.exe,1");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultWord\\shell\\open\\command", nullptr, "word.exe \"%1\"");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultWord\\shell\\print\\command", nullptr, "word.exe /p \"%1\"");
    SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, "KvtFaultText");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultText\\DefaultIcon", nullptr, "notepad.exe,0");
    SetRegistryString(HKEY_CLASSES_ROOT, "KvtFaultText\\shell\\open\\command", nullptr, "notepad.exe \"%1\"");
}

// The keys the suite writes, compared after every point; the whole of
// HKEY_LOCAL_MACHINE\Software (HKEY_CLASSES_ROOT included) is compared once at the
// end, where anything left elsewhere by any point would show.
const char* const kSuiteKeys[] = {
    "Software\\Farrowmere",
    "Software\\Classes\\Quorbin",
    "Software\\Classes\\.doc",
    "Software\\Classes\\.txt",
    "Software\\Classes\\*",
    "Software\\Classes\\CLSID\\{6F0C5E2A-3B7D-4C1E-9A52-8E4D1B7A2C01}",
    "Software\\Classes\\CLSID\\{6F0C5E2A-3B7D-4C1E-9A52-8E4D1B7A2C02}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
};

std::set<std::string> InstalledFiles()
{
    std::set<std::string> files;
    std::string system = SystemDirectory();
    for (const char* name : {"\\KELVARA.CPL", "\\ShellExt\\PINDREL.DLL", "\\ShellExt\\PINDREL.INF",
                             "\\ShellExt\\QUORBIN.DLL", "\\ShellExt\\QUORBIN.INF", "\\ShellExt\\KELVARA.HLP",
                             "\\ShellExt\\KELVARA.CHM", "\\ShellExt\\KELVARA.INF"})
        if (FileExists(system + name))
            files.insert(system + name);
    return files;
}

// What differs from before in the keys named, and the installation's files.
std::string Traces(const std::vector<RegistrySnapshot>& before, const std::set<std::string>& filesBefore)
{
    std::string traces;
    for (const RegistrySnapshot& snapshot : before) {
        std::vector<RegistryDifference> differences =
            CompareSnapshots(snapshot, RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, snapshot.Name()));
        if (!differences.empty())
            traces += snapshot.Name() + ":\n" + DescribeDifferences(differences);
    }
    for (const std::string& file : InstalledFiles())
        if (!filesBefore.count(file))
            traces += "file " + file + "\n";
    return traces;
}

std::vector<RegistrySnapshot> TakeSnapshots(const std::vector<std::string>& keys)
{
    std::vector<RegistrySnapshot> snapshots;
    for (const std::string& key : keys)
        snapshots.push_back(RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, key));
    return snapshots;
}

// ".doc" names nothing, or a class with an open verb and an icon; the classes that
// were there before are as they were.
testing::AssertionResult DocumentClassWorks(const std::map<std::string, RegistryTree>& classesBefore)
{
    bool named = false;
    std::string docClass = RegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, &named);
    if (named && (!RegistryKeyExists(HKEY_CLASSES_ROOT, docClass + "\\shell\\open\\command") ||
                  RegistryString(HKEY_CLASSES_ROOT, docClass + "\\DefaultIcon", nullptr).empty()))
        return testing::AssertionFailure() << "\".doc\" names \"" << docClass << "\" without open verb or icon";
    for (const auto& before : classesBefore) {
        if (before.first != ".doc" && before.second != ReadRegistryTree(HKEY_CLASSES_ROOT, before.first))
            return testing::AssertionFailure() << before.first << " changed";
    }
    return testing::AssertionSuccess();
}

class InstallFaults : public ::testing::Test {
protected:
    typedef BOOL(WINAPI* InstallEntry)(HWND);
    typedef int(__cdecl* UninstallEntry)();

    void SetUp() override
    {
        ASSERT_TRUE(InstalledFiles().empty()) << "the prefix must not have the suite installed";
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kComponentKey));
        for (const char* name : {"PINDREL.DLL", "PINDREL.INF", "QUORBIN.DLL", "QUORBIN.INF", "KELVARA.CPL",
                                 "KELVARA.INF", "KELVARA.HLP", "KELVARA.CHM"})
            ASSERT_TRUE(CopyFileTo(DistPath(name), source / name)) << name;
        MakeClasses();
        for (const char* name : kClasses)
            classesBefore[name] = ReadRegistryTree(HKEY_CLASSES_ROOT, name);
        for (const char* name : {"PINDREL.DLL", "QUORBIN.DLL", "KELVARA.CPL"}) {
            HMODULE module = LoadLibraryA((source / name).c_str());
            ASSERT_TRUE(module) << name;
            modules.push_back(module);
            PatchImports(module, kDeliverablePatches, patched[module]);
        }
        HMODULE setupLibrary = GetModuleHandleA("setupapi.dll");
        PatchImports(setupLibrary, kSetupLibraryPatches, patched[setupLibrary]);
        HMODULE applet = modules[2];
        patched[applet].emplace_back(
            new ImportPatch(applet, "kernel32.dll", "LoadLibraryA", reinterpret_cast<const void*>(&LoadAndPatch)));
        patched[applet].emplace_back(
            new ImportPatch(applet, "kernel32.dll", "FreeLibrary", reinterpret_cast<const void*>(&UnpatchAndFree)));
        for (const auto& module : patched)
            for (const auto& patch : module.second)
                ASSERT_TRUE(patch->Applied());
    }

    void TearDown() override
    {
        patched.clear();
        loadedForUninstall.clear();
        loadedByUninstaller.clear();
        for (HMODULE module : modules)
            FreeLibrary(module);
        for (const std::string& file : InstalledFiles())
            DeleteFileA(file.c_str());
    }

    // Each deliverable's Install in SETUP.EXE's order, then the uninstaller's two
    // runs, every Continue with the whole list chosen. Checks ".doc" after each call.
    void InstallAndRemove()
    {
        for (HMODULE module : modules) {
            reinterpret_cast<InstallEntry>(GetProcAddress(module, "Install"))(installer.Get());
            EXPECT_TRUE(DocumentClassWorks(classesBefore)) << "after the Install of module " << module;
        }
        Remove();
    }
    void Remove()
    {
        for (int run = 0; run < 2; ++run) {
            ModalDriver driver(DialogWithControl(15101, "ListBox"), [](HWND dialog) {
                HWND list = GetDlgItem(dialog, 15101);
                SendMessageA(list, LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 0xFFFF));
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(15101, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
                ClickButton(dialog, IDOK);
                // Continue enabled again: the dialog stays after a failure.
                if (IsWindowEnabled(GetDlgItem(dialog, IDOK)))
                    ClickButton(dialog, IDCANCEL);
            });
            reinterpret_cast<UninstallEntry>(GetProcAddress(modules[2], "Uninstall"))();
            EXPECT_TRUE(DocumentClassWorks(classesBefore)) << "after the uninstaller's run " << run + 1;
        }
    }

    // Libraries loaded while their section deleted them stay until a restart; Wine's
    // setup library does not mark them for it. They go now, as at the restart.
    void Restart()
    {
        for (const std::string& file : InstalledFiles())
            if (loadedByUninstaller.count(Lower(file)))
                DeleteFileA(file.c_str());
        loadedByUninstaller.clear();
    }

    TempDir source{"kvf"};
    OwnerWindow installer{"Install Kelvara"};
    // Put back after a failure too, so that no later test finds the suite half there.
    SavedRegistryKeys classes{HKEY_CLASSES_ROOT, {"KvtFaultWord", "KvtFaultText"}};
    SavedRegistryKeys suite{HKEY_LOCAL_MACHINE, {std::begin(kSuiteKeys), std::end(kSuiteKeys)}};
    std::map<std::string, RegistryTree> classesBefore;
    std::vector<HMODULE> modules;
};

TEST_F(InstallFaults, EveryFailingCallIsTakenBackOrRemovedCleanly)
{
    std::vector<RegistrySnapshot> software = TakeSnapshots({"Software"});
    std::vector<RegistrySnapshot> suiteKeys = TakeSnapshots({std::begin(kSuiteKeys), std::end(kSuiteKeys)});
    std::set<std::string> files = InstalledFiles();
    for (DWORD family : {kWindowsXp, kWindows98}) {
        SCOPED_TRACE(family == kWindowsXp ? "NT family" : "95 family");
        version = family;
        callsMade = 0;
        failAt = 0;
        InstallAndRemove();
        Restart();
        int points = callsMade;
        ASSERT_EQ("", Traces(suiteKeys, files)) << "clean run";
        ASSERT_GT(points, 20);

        int runs = 0;
        for (int point = 1; point <= points; ++point) {
            for (int pass : {IDYES, IDNO}) {
                SCOPED_TRACE("call " + std::to_string(point) + (pass == IDYES ? ", Yes" : ", No"));
                callsMade = 0;
                failAt = point;
                answer = pass;
                questions = 0;
                InstallAndRemove();
                bool asked = questions > 0;
                failAt = 0;
                answer = IDYES;
                Remove();
                Restart();
                ++runs;
                ASSERT_EQ("", Traces(suiteKeys, files));
                if (!asked)
                    break;  // nothing was asked: a No pass would run the same
            }
        }
        printf("%s family: %d calls that change the registry or run a section; %d runs with one failing\n",
               family == kWindowsXp ? "NT" : "95", points, runs);
    }
    EXPECT_EQ("", Traces(software, files));
}

}  // namespace
