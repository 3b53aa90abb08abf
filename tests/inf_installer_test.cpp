// pindrel's Install and Uninstall: the INF file found from the module's own name, the
// section chosen by the Windows family, and the messages for faulty or missing INF
// files, run with the real SetupAPI on the real registry. The last group installs the
// shipped PINDREL.INF and takes it away again.
#include "deliverables.h"
#include "import_patch.h"
#include "message_boxes.h"
#include "registry_snapshot.h"
#include "registry_tree.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <setupapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <memory>
#include <map>

namespace {

using InstallFn = BOOL(WINAPI*)(HWND);


DWORD versionAnswer = kWindowsXp;
DWORD WINAPI FakeGetVersion() { return versionAnswer; }

// The calls the DLL makes into the setup library, recorded on their way through.
struct SetupCall {
    HWND owner;
    std::string section;
    UINT installFlags;
    UINT copyFlags;
};
std::vector<std::string> openedInfs;
std::vector<HWND> callbackOwners;
std::vector<SetupCall> sectionCalls;
int callbacksEnded = 0;
int infsClosed = 0;
bool failCallbackSetup = false;
bool failSection = false;

HMODULE SetupApi() { return GetModuleHandleA("setupapi.dll"); }

HINF WINAPI RecordOpenInf(PCSTR path, PCSTR infClass, DWORD style, PUINT errorLine)
{
    openedInfs.push_back(path ? path : "");
    using Fn = HINF(WINAPI*)(PCSTR, PCSTR, DWORD, PUINT);
    return reinterpret_cast<Fn>(GetProcAddress(SetupApi(), "SetupOpenInfFileA"))(path, infClass, style, errorLine);
}

void WINAPI RecordCloseInf(HINF inf)
{
    ++infsClosed;
    using Fn = void(WINAPI*)(HINF);
    reinterpret_cast<Fn>(GetProcAddress(SetupApi(), "SetupCloseInfFile"))(inf);
}

void WINAPI RecordTermCallback(PVOID context)
{
    ++callbacksEnded;
    using Fn = void(WINAPI*)(PVOID);
    reinterpret_cast<Fn>(GetProcAddress(SetupApi(), "SetupTermDefaultQueueCallback"))(context);
}

PVOID WINAPI RecordInitCallback(HWND owner)
{
    callbackOwners.push_back(owner);
    if (failCallbackSetup)
        return nullptr;
    using Fn = PVOID(WINAPI*)(HWND);
    return reinterpret_cast<Fn>(GetProcAddress(SetupApi(), "SetupInitDefaultQueueCallback"))(owner);
}

BOOL WINAPI RecordInstallSection(HWND owner, HINF inf, PCSTR section, UINT flags, HKEY root, PCSTR source,
                                 UINT copyFlags, PSP_FILE_CALLBACK_A callback, PVOID context, HDEVINFO devices,
                                 PSP_DEVINFO_DATA device)
{
    sectionCalls.push_back({owner, section ? section : "", flags, copyFlags});
    if (failSection) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    using Fn = BOOL(WINAPI*)(HWND, HINF, PCSTR, UINT, HKEY, PCSTR, UINT, PSP_FILE_CALLBACK_A, PVOID, HDEVINFO,
                             PSP_DEVINFO_DATA);
    auto original = reinterpret_cast<Fn>(GetProcAddress(SetupApi(), "SetupInstallFromInfSectionA"));
    return original(owner, inf, section, flags, root, source, copyFlags, callback, context, devices, device);
}

// A copy of the distribution's PINDREL.DLL loaded from a place of the test's choice,
// with GetVersion, the message boxes and the setup calls answered at its imports.
class PindrelCopy {
public:
    PindrelCopy(const std::string& path, DWORD version)
    {
        versionAnswer = version;
        openedInfs.clear();
        callbackOwners.clear();
        sectionCalls.clear();
        callbacksEnded = 0;
        infsClosed = 0;
        failCallbackSetup = false;
        failSection = false;
        if (!CopyFileTo(DistPath("PINDREL.DLL"), path))
            return;
        // Without a '.' in its file name LoadLibraryA would look for "<name>.DLL".
        bool hasDot = StrChrA(PathFindFileNameA(path.c_str()), '.') != nullptr;
        module_ = LoadLibraryA(hasDot ? path.c_str() : (path + ".").c_str());
        if (!module_)
            return;
        boxes_.reset(new MessageBoxScript(module_));
        const ImportReplacement table[] = {
            {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&FakeGetVersion)},
            {"setupapi.dll", "SetupOpenInfFileA", reinterpret_cast<const void*>(&RecordOpenInf)},
            {"setupapi.dll", "SetupCloseInfFile", reinterpret_cast<const void*>(&RecordCloseInf)},
            {"setupapi.dll", "SetupTermDefaultQueueCallback", reinterpret_cast<const void*>(&RecordTermCallback)},
            {"setupapi.dll", "SetupInitDefaultQueueCallback", reinterpret_cast<const void*>(&RecordInitCallback)},
            {"setupapi.dll", "SetupInstallFromInfSectionA", reinterpret_cast<const void*>(&RecordInstallSection)},
        };
        PatchImports(module_, table, patches_);
    }
    ~PindrelCopy()
    {
        patches_.clear();
        boxes_.reset();
        if (module_)
            FreeLibrary(module_);
    }
    PindrelCopy(const PindrelCopy&) = delete;
    PindrelCopy& operator=(const PindrelCopy&) = delete;

    bool Ready() const
    {
        if (!module_ || !boxes_->Applied())
            return false;
        for (const auto& patch : patches_) {
            if (!patch->Applied())
                return false;
        }
        return Export("Install") && Export("Uninstall");
    }
    BOOL Install(HWND owner) const { return Export("Install")(owner); }
    BOOL Uninstall(HWND owner) const { return Export("Uninstall")(owner); }
    const std::vector<RecordedBox>& Boxes() const { return boxes_->Boxes(); }
    std::string ModulePath() const
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(module_, path, sizeof path);
        return path;
    }

private:
    InstallFn Export(const char* name) const { return reinterpret_cast<InstallFn>(GetProcAddress(module_, name)); }
    HMODULE module_ = nullptr;
    std::unique_ptr<MessageBoxScript> boxes_;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// Where the test INF files leave their marks: one value per section that ran.
const char kMarkKey[] = "Software\\KelvaraTests\\InfInstaller";
// KELVARA_NT_DECORATION: the build's decoration of NT sections, ".ntx86" (".ntamd64"
// in the x64 build).
const char* const kSections[] = {"DefaultInstall", "DefaultInstall" KELVARA_NT_DECORATION, "DefaultUninstall",
                                 "DefaultUninstall" KELVARA_NT_DECORATION};

// An INF file whose four sections each write a value named after the section into
// kMarkKey, holding marker.
std::string MarkingInf(const std::string& marker)
{
    std::string text = "[Version]\r\nSignature=\"$Chicago$\"\r\n";
    for (int i = 0; i < 4; ++i) {
        text += std::string("\r\n[") + kSections[i] + "]\r\nAddReg=Mark" + std::to_string(i) + "\r\n";
        text += "[Mark" + std::to_string(i) + "]\r\nHKCU,\"" + kMarkKey + "\"," + kSections[i] + ",,\"" + marker +
                "\"\r\n";
    }
    return text;
}

// The marks left in kMarkKey: section name -> marker.
std::map<std::string, std::string> Marks()
{
    std::map<std::string, std::string> marks;
    RegistrySnapshot snapshot = RegistrySnapshot::Take(HKEY_CURRENT_USER, kMarkKey);
    if (!snapshot.Exists())
        return marks;
    for (const auto& value : snapshot.Keys().at(""))
        marks[value.first] = value.second.data.substr(0, value.second.data.find('\0'));
    return marks;
}

void ClearMarks() { SHDeleteKeyA(HKEY_CURRENT_USER, kMarkKey); }

struct Family {
    const char* name;
    DWORD version;
    bool windows95;
    const char* install;
    const char* uninstall;
};
const Family kFamilies[] = {
    {"Windows 98", kWindows98, true, "DefaultInstall", "DefaultUninstall"},
    {"Windows NT", kWindowsXp, false, "DefaultInstall" KELVARA_NT_DECORATION,
     "DefaultUninstall" KELVARA_NT_DECORATION},
};

class InfInstaller : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearMarks();
        ASSERT_FALSE(temp.Path().empty());
        // The derived INF name must come from the test's own dots only.
        ASSERT_EQ(std::string::npos, temp.Path().find('.')) << temp.Path();
    }
    void TearDown() override { ClearMarks(); }
    TempDir temp{"kvinf"};
    OwnerWindow owner;
};

// ---- Finding the INF file ----

struct InfNameCase {
    std::string label;
    std::string directory;  // made below the temporary directory ("" for none)
    std::string module;     // the DLL copy, relative to the temporary directory
    std::string inf;        // the INF file Install must use
    std::string decoy;      // an INF file it must not use, or ""
    bool doubleByte;        // needs code page 932
};

// 表 is 0x95 0x5C and ソ is 0x83 0x5C: both end in the byte of '\'. (No character of
// code page 932 has '.' as its trail byte: trail bytes run from 0x40 to 0xFC.)
const InfNameCase kInfNameCases[] = {
    {"ordinary name", "plain", "plain\\PINDREL.DLL", "plain\\PINDREL.INF", "plain\\PINDREL.DLL.INF", false},
    {"last of several dots", "a.b", "a.b\\LIB.X.DLL", "a.b\\LIB.X.INF", "a.b\\LIB.INF", false},
    {"only dot in a directory name", "dir.x", "dir.x\\PINDREL", "dir.INF", "dir.x\\PINDREL.INF", false},
    {"no dot at all", "nodots", "nodots\\PINDREL", "nodots\\PINDREL.INF", "", false},
    {"dot after a trail byte 0x5C", "\x95\x5c.\x83\x5c", "\x95\x5c.\x83\x5c\\PINDREL", "\x95\x5c.INF",
     "\x95\x5c.\x83\x5c\\PINDREL.INF", true},
    {"no dot, names ending in 0x5C", "\x83\x5c", "\x83\x5c\\\x95\x5c", "\x83\x5c\\\x95\x5c.INF", "\x83\x5c.INF", true},
    {"extension after double-byte names", "\x95\x5c\x83\x5c", "\x95\x5c\x83\x5c\\\x83\x5c.DLL",
     "\x95\x5c\x83\x5c\\\x83\x5c.INF", "", true},
};

TEST_F(InfInstaller, FindsTheInfFileByReplacingEverythingAfterTheLastDot)
{
    std::vector<InfNameCase> rows(std::begin(kInfNameCases), std::end(kInfNameCases));
    // Names in any script the code page spells, with a '.' in the directory's name.
    for (const std::string& name : ScriptNames())
        rows.push_back({name, name + ".x", name + ".x\\" + name + ".DLL", name + ".x\\" + name + ".INF",
                        name + ".INF", false});
    for (const InfNameCase& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.doubleByte && GetACP() != 932)
            continue;  // these names are only double-byte text under code page 932
        ClearMarks();
        TempDir dir{"kvinf"};
        if (!row.directory.empty())
            ASSERT_TRUE(CreateDirectoryA((dir / row.directory).c_str(), nullptr)) << row.directory;
        std::string infPath = dir.WriteFile(row.inf, MarkingInf("found"));
        if (!row.decoy.empty())
            dir.WriteFile(row.decoy, MarkingInf("decoy"));

        PindrelCopy pindrel(dir / row.module, kWindowsXp);
        ASSERT_TRUE(pindrel.Ready());
        ASSERT_EQ(dir / row.module, pindrel.ModulePath());

        EXPECT_EQ(TRUE, pindrel.Install(nullptr));
        EXPECT_EQ((std::map<std::string, std::string>{{"DefaultInstall" KELVARA_NT_DECORATION, "found"}}), Marks());
        EXPECT_EQ(std::vector<std::string>{infPath}, openedInfs);
        EXPECT_TRUE(pindrel.Boxes().empty());
        EXPECT_EQ(1, callbacksEnded);
        EXPECT_EQ(1, infsClosed);
    }
}

TEST_F(InfInstaller, MissingInfFileShowsTheSystemTextWithoutOwner)
{
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        TempDir dir{"kvinf"};
        PindrelCopy pindrel(dir / "PINDREL.DLL", family.version);
        ASSERT_TRUE(pindrel.Ready());

        EXPECT_EQ(FALSE, pindrel.Install(owner.Get()));
        EXPECT_FALSE(SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
        EXPECT_EQ((std::vector<RecordedBox>{{nullptr, SystemErrorText(ERROR_FILE_NOT_FOUND), "Pindrel", MB_ICONERROR}}),
                  pindrel.Boxes());
        EXPECT_EQ(std::vector<std::string>{dir / "PINDREL.INF"}, openedInfs);
        EXPECT_TRUE(callbackOwners.empty());
        EXPECT_TRUE(sectionCalls.empty());
    }
}

// An INF file whose line 12 is a section header without its closing bracket.
std::string InfWithErrorOnLine12()
{
    std::string text = "[Version]\r\nSignature=\"$Chicago$\"\r\n\r\n";            // lines 1-3
    text += "[DefaultInstall]\r\nAddReg=Mark\r\n";                                 // 4-5
    text += "[DefaultInstall" KELVARA_NT_DECORATION "]\r\nAddReg=Mark\r\n\r\n";        // 6-8
    text += "[Mark]\r\nHKCU,\"" + std::string(kMarkKey) + "\",Ran,,\"yes\"\r\n";   // 9-10
    text += "; the next line is faulty\r\n";                                       // 11
    text += "[DefaultUninstall\r\n";                                               // 12
    text += "AddReg=Mark\r\n";                                                     // 13
    return text;
}

TEST_F(InfInstaller, SyntaxErrorShowsThePathAndLine)
{
    struct Place {
        std::string label;
        std::string directory;
        bool doubleByte;
    };
    std::vector<Place> places = {{"plain directory", "plain", false},
                                 {"double-byte directory", "\x95\x5c\x83\x5c", true}};
    for (const std::string& name : ScriptNames())
        places.push_back({name, name, false});
    for (const Family& family : kFamilies) {
        for (const Place& place : places) {
            SCOPED_TRACE(family.name + (", " + place.label));
            if (place.doubleByte && GetACP() != 932)
                continue;
            TempDir dir{"kvinf"};
            std::string directory = dir.MakeDir(place.directory);
            std::string infPath = dir.WriteFile(place.directory + "\\PINDREL.INF", InfWithErrorOnLine12());
            PindrelCopy pindrel(directory + "\\PINDREL.DLL", family.version);
            ASSERT_TRUE(pindrel.Ready());

            EXPECT_EQ(FALSE, pindrel.Install(owner.Get()));
            std::string text = Localized("The INF file contains an error line.\nFile: ",
                                         "INF ファイルにエラー行が含まれています。\nファイル : ") +
                               infPath + Localized("\nLine: 12", "\n行 : 12");
            EXPECT_EQ((std::vector<RecordedBox>{{family.windows95 ? owner.Get() : nullptr, text, "Pindrel",
                                                 MB_ICONERROR}}),
                      pindrel.Boxes());
            EXPECT_EQ(std::vector<std::string>{infPath}, openedInfs);
            EXPECT_TRUE(callbackOwners.empty());
            EXPECT_TRUE(sectionCalls.empty());
            EXPECT_TRUE(Marks().empty());
        }
    }
}

TEST_F(InfInstaller, EachFamilyRunsItsOwnSectionsWithItsOwner)
{
    temp.WriteFile("PINDREL.INF", MarkingInf("ran"));
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        ClearMarks();
        PindrelCopy pindrel(temp / "PINDREL.DLL", family.version);
        ASSERT_TRUE(pindrel.Ready());
        HWND expectedOwner = family.windows95 ? owner.Get() : nullptr;

        EXPECT_EQ(TRUE, pindrel.Install(owner.Get()));
        EXPECT_EQ((std::map<std::string, std::string>{{family.install, "ran"}}), Marks());
        ClearMarks();
        EXPECT_EQ(TRUE, pindrel.Uninstall(owner.Get()));
        EXPECT_EQ((std::map<std::string, std::string>{{family.uninstall, "ran"}}), Marks());

        EXPECT_TRUE(pindrel.Boxes().empty());
        EXPECT_EQ((std::vector<HWND>{expectedOwner, expectedOwner}), callbackOwners);
        ASSERT_EQ(2u, sectionCalls.size());
        for (const SetupCall& call : sectionCalls) {
            EXPECT_EQ(expectedOwner, call.owner);
            // Files, registry, INI entries, INI-to-registry and log configuration; the
            // copy flags SP_COPY_NEWER | SP_COPY_IN_USE_NEEDS_REBOOT | SP_COPY_FORCE_IN_USE.
            EXPECT_EQ(0x1Fu, call.installFlags);
            EXPECT_EQ(0x304u, call.copyFlags);
        }
        EXPECT_EQ(family.install, sectionCalls[0].section);
        EXPECT_EQ(family.uninstall, sectionCalls[1].section);
        EXPECT_EQ(2, callbacksEnded);
        EXPECT_EQ(2, infsClosed);
    }
}

TEST_F(InfInstaller, InstallingTwiceRunsTheSectionTwice)
{
    temp.WriteFile("PINDREL.INF", MarkingInf("ran"));
    PindrelCopy pindrel(temp / "PINDREL.DLL", kWindowsXp);
    ASSERT_TRUE(pindrel.Ready());
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        ClearMarks();
        EXPECT_EQ(TRUE, pindrel.Install(nullptr));
        EXPECT_EQ((std::map<std::string, std::string>{{"DefaultInstall" KELVARA_NT_DECORATION, "ran"}}), Marks());
    }
    EXPECT_EQ(2u, sectionCalls.size());
    EXPECT_TRUE(pindrel.Boxes().empty());
}

TEST_F(InfInstaller, QueueCallbackThatCannotBeSetUpShowsNotEnoughMemory)
{
    temp.WriteFile("PINDREL.INF", MarkingInf("ran"));
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        PindrelCopy pindrel(temp / "PINDREL.DLL", family.version);
        ASSERT_TRUE(pindrel.Ready());
        failCallbackSetup = true;

        EXPECT_EQ(FALSE, pindrel.Install(owner.Get()));
        EXPECT_EQ((std::vector<RecordedBox>{{family.windows95 ? owner.Get() : nullptr,
                                             Localized("Not enough memory.", "メモリが不足しています。"), "Pindrel",
                                             MB_ICONERROR}}),
                  pindrel.Boxes());
        EXPECT_TRUE(sectionCalls.empty());
        EXPECT_TRUE(Marks().empty());
        EXPECT_EQ(0, callbacksEnded);
        EXPECT_EQ(1, infsClosed);
    }
}

TEST_F(InfInstaller, FailingSectionReturnsFalseWithoutMessage)
{
    // Wine's setup library lets hardly any section fail (missing sections, copy errors
    // and unknown registry roots are all passed over), so the failure is answered at
    // the import table. The failed install is taken back through the uninstall
    // section, without an owner window.
    temp.WriteFile("PINDREL.INF", MarkingInf("ran"));
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        PindrelCopy pindrel(temp / "PINDREL.DLL", family.version);
        ASSERT_TRUE(pindrel.Ready());
        failSection = true;

        EXPECT_EQ(FALSE, pindrel.Install(owner.Get()));
        EXPECT_EQ(FALSE, pindrel.Uninstall(owner.Get()));
        EXPECT_TRUE(pindrel.Boxes().empty());
        ASSERT_EQ(3u, sectionCalls.size());
        EXPECT_EQ(kSections[family.windows95 ? 2 : 3], sectionCalls[1].section);
        EXPECT_EQ(nullptr, sectionCalls[1].owner);
        EXPECT_EQ(3, callbacksEnded);
        EXPECT_EQ(2, infsClosed);
    }
}

// ---- The shipped PINDREL.INF ----

const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kComponentKey[] = "Software\\Farrowmere\\ShellExt";
const char kComponentName[] = "Pindrel Property Sheet";
const char kHandlersKey[] = "*\\shellex\\PropertySheetHandlers";
const char kFolderHandlersKey[] = "Directory\\shellex\\PropertySheetHandlers";

std::string ClassIdText()
{
    WCHAR wide[40];
    StringFromGUID2(kPindrelClassId, wide, 40);
    return Utf8(wide);  // digits, letters and punctuation of ASCII only
}

std::string ClassKey() { return "CLSID\\" + ClassIdText(); }

std::string InstalledPath(const char* name)
{
    return SystemDirectory() + "\\ShellExt\\" + name;
}

// The names of the property-sheet handlers of a list (for all files, or for folders)
// that name pindrel's class, by key name or by unnamed value.
std::vector<std::string> PindrelHandlers(const char* list = kHandlersKey)
{
    std::vector<std::string> found;
    RegistrySnapshot handlers = RegistrySnapshot::Take(HKEY_CLASSES_ROOT, list);
    for (const auto& key : handlers.Keys()) {
        if (key.first.empty() || key.first.find('\\') != std::string::npos)
            continue;
        auto unnamed = key.second.find("");
        std::string value = unnamed == key.second.end() ? "" : unnamed->second.data.c_str();
        if (lstrcmpiA(key.first.c_str(), ClassIdText().c_str()) == 0 || lstrcmpiA(value.c_str(), ClassIdText().c_str()) == 0)
            found.push_back(key.first);
    }
    return found;
}

// Everything the shipped INF file writes into, with the neighbours it must leave alone.
struct WatchedKey {
    HKEY root;
    const char* rootName;
    const char* key;
};
const WatchedKey kWatchedKeys[] = {
    {HKEY_CLASSES_ROOT, "HKCR", "CLSID"},
    {HKEY_CLASSES_ROOT, "HKCR", "*"},
    {HKEY_CLASSES_ROOT, "HKCR", "Directory"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Farrowmere"},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions"},
};

std::vector<RegistrySnapshot> TakeWatchedKeys()
{
    std::vector<RegistrySnapshot> snapshots;
    for (const WatchedKey& watched : kWatchedKeys)
        snapshots.push_back(RegistrySnapshot::Take(watched.root, watched.key));
    return snapshots;
}

// PINDREL.DLL with another version in its fixed file information.
std::string WithFileVersion(const std::string& library, DWORD versionMs)
{
    std::string bytes = library;
    const char signature[] = {'\xbd', '\x04', '\xef', '\xfe'};  // VS_FFI_SIGNATURE, little-endian
    size_t at = bytes.find(std::string(signature, 4));
    if (at == std::string::npos || at + 24 > bytes.size())
        return "";
    for (size_t field : {8u, 16u}) {  // file and product version, high half
        memcpy(&bytes[at + field], &versionMs, 4);
        memset(&bytes[at + field + 4], 0, 4);
    }
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& contents)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
}

class ShippedInf : public InfInstaller {
protected:
    void SetUp() override
    {
        InfInstaller::SetUp();
        ASSERT_TRUE(CopyFileTo(DistPath("PINDREL.INF"), temp / "PINDREL.INF"));
        ASSERT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ClassKey())) << "pindrel is installed already";
        ASSERT_FALSE(FileExists(InstalledPath("PINDREL.DLL"))) << "pindrel is installed already";
    }
    void TearDown() override
    {
        // A test that stopped half-way still takes its installation away.
        if (RegistryKeyExists(HKEY_CLASSES_ROOT, ClassKey()) || FileExists(InstalledPath("PINDREL.DLL"))) {
            PindrelCopy pindrel(temp / "PINDREL.DLL", kWindowsXp);
            pindrel.Uninstall(nullptr);
        }
        InfInstaller::TearDown();
    }
};

TEST_F(ShippedInf, InstallRegistersTheExtensionAndUninstallTakesAllOfItAway)
{
    const std::string library = ReadWholeFile(DistPath("PINDREL.DLL"));
    const std::string inf = ReadWholeFile(DistPath("PINDREL.INF"));
    ASSERT_FALSE(library.empty());
    // Without folder handlers, as in Wine, then beside another program's, as on Windows.
    const std::string neighbour = std::string(kFolderHandlersKey) + "\\Neighbour";
    for (int run = 0; run < 4; ++run) {
        const Family& family = kFamilies[run % 2];
        SCOPED_TRACE(family.name + std::string(run < 2 ? "" : ", beside another folder handler"));
        if (run == 2)
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour.c_str(), REG_SZ, "{0}", 3));
        std::vector<RegistrySnapshot> before = TakeWatchedKeys();
        PindrelCopy pindrel(temp / "PINDREL.DLL", family.version);
        ASSERT_TRUE(pindrel.Ready());

        // Twice: the second run finds everything in place and changes nothing.
        EXPECT_EQ(TRUE, pindrel.Install(owner.Get()));
        EXPECT_EQ(TRUE, pindrel.Install(owner.Get()));
        EXPECT_TRUE(pindrel.Boxes().empty());

        const std::string installed = InstalledPath("PINDREL.DLL");
        EXPECT_EQ(library, ReadWholeFile(installed));
        EXPECT_EQ(inf, ReadWholeFile(InstalledPath("PINDREL.INF")));
        EXPECT_NE("", ReadStringValue(HKEY_CLASSES_ROOT, ClassKey(), ""));
        EXPECT_EQ(0, lstrcmpiA(installed.c_str(),
                               ReadStringValue(HKEY_CLASSES_ROOT, ClassKey() + "\\InProcServer32", "").c_str()));
        EXPECT_EQ("Apartment", ReadStringValue(HKEY_CLASSES_ROOT, ClassKey() + "\\InProcServer32", "ThreadingModel"));
        EXPECT_EQ(1u, PindrelHandlers().size());
        EXPECT_EQ(family.windows95 ? 0u : 1u, PindrelHandlers(kFolderHandlersKey).size());
        EXPECT_EQ(0, lstrcmpiA(installed.c_str(),
                               ReadStringValue(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName).c_str()));
        RegistrySnapshot approved = RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, kApprovedKey);
        EXPECT_EQ(family.windows95 ? 0u : 1u, approved.Exists() ? approved.Keys().at("").count(ClassIdText()) : 0u);

        // The shell's way in: the class creates the extension from the installed copy.
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        IShellExtInit* extension = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(kPindrelClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                         reinterpret_cast<void**>(&extension)));
        EXPECT_TRUE(IsModuleLoaded(installed));
        if (extension)
            extension->Release();
        CoUninitialize();

        EXPECT_EQ(TRUE, pindrel.Uninstall(owner.Get()));
        EXPECT_TRUE(pindrel.Boxes().empty());
        EXPECT_FALSE(FileExists(installed));
        EXPECT_FALSE(FileExists(InstalledPath("PINDREL.INF")));
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ClassKey()));
        EXPECT_TRUE(PindrelHandlers().empty());
        EXPECT_TRUE(PindrelHandlers(kFolderHandlersKey).empty());
        EXPECT_EQ("", ReadStringValue(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName));

        // Nothing else changed: the keys created on the way (the handler list for all
        // files, the component key) went again once empty.
        std::vector<RegistrySnapshot> after = TakeWatchedKeys();
        for (size_t i = 0; i < after.size(); ++i) {
            SCOPED_TRACE(std::string(kWatchedKeys[i].rootName) + "\\" + kWatchedKeys[i].key);
            std::vector<RegistryDifference> differences = CompareSnapshots(before[i], after[i]);
            EXPECT_TRUE(differences.empty()) << DescribeDifferences(differences);
        }
    }
    for (std::string key = neighbour; key.find('\\') != std::string::npos; key.erase(key.rfind('\\')))
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "Directory");
}

TEST_F(ShippedInf, CopyKeepsANewerLibraryInPlace)
{
    const std::string library = ReadWholeFile(DistPath("PINDREL.DLL"));
    struct Case {
        const char* label;
        DWORD versionMs;  // of the library found in place
        bool kept;
    };
    // Wine replaces the older library at once; Windows, told by SP_COPY_FORCE_IN_USE
    // to treat the target as in use, would replace it at the next restart.
    const Case cases[] = {{"newer library in place", 0x00090000, true}, {"older library in place", 0x00000001, false}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.label);
        std::string inPlace = WithFileVersion(library, row.versionMs);
        ASSERT_FALSE(inPlace.empty());
        ASSERT_NE(library, inPlace);
        CreateDirectoryA(InstalledPath("").c_str(), nullptr);
        WriteWholeFile(InstalledPath("PINDREL.DLL"), inPlace);
        ASSERT_EQ(inPlace, ReadWholeFile(InstalledPath("PINDREL.DLL")));
        PindrelCopy pindrel(temp / "PINDREL.DLL", kWindowsXp);
        ASSERT_TRUE(pindrel.Ready());

        EXPECT_EQ(TRUE, pindrel.Install(nullptr));
        EXPECT_EQ(row.kept ? inPlace : library, ReadWholeFile(InstalledPath("PINDREL.DLL")));
        EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ClassKey()));

        EXPECT_EQ(TRUE, pindrel.Uninstall(nullptr));
        EXPECT_FALSE(FileExists(InstalledPath("PINDREL.DLL")));
    }
}

}  // namespace
