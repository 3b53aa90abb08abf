// Which pages the property-sheet extension adds, and how long it and its module
// live, driven through PINDREL.DLL's class factory and a real property sheet.
#include "drop_data_object.h"
#include "import_patch.h"
#include "look_alikes.h"
#include "pindrel_copy.h"
#include "resource.h"
#include "text.h"
#include <gtest/gtest.h>
#include <set>

namespace {

const std::string kTouch = "Touch", kIcons = "Icons", kBitmaps = "Bitmaps";

std::vector<std::string> Tabs(std::initializer_list<const std::string*> pages)
{
    std::vector<std::string> tabs;
    for (const std::string* page : pages) {
        if (page == &kTouch)
            tabs.push_back(Localized("Touch", "タイム スタンプ"));
        else if (page == &kIcons)
            tabs.push_back(Localized("Icons", "アイコン"));
        else
            tabs.push_back(Localized("Bitmaps", "ビットマップ"));
    }
    return tabs;
}

// A file that cannot be opened for writing. Tests run as root, where Wine opens even
// a read-only file for writing; a handle without write sharing is what refuses it.
class LockedFile {
public:
    explicit LockedFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() { if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_); }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
private:
    HANDLE handle_;
};

class Extension : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pindrel.Module());
        SetEnvironmentVariableA("KELVARA_FIXTURE_STARTED", nullptr);
        library = pindrel.Temp().Path() + "\\RESLIB.DLL";
        ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), library));
        text = pindrel.Temp().WriteFile("notes.txt", "plain text\r\n");
    }

    // The tabs the pages of paths give under flags.
    std::vector<std::string> TabsFor(const std::vector<std::string>& paths, unsigned flags,
                                     HRESULT* addResult = nullptr)
    {
        pindrel.WriteFlags(flags);
        IShellExtInit* extension = pindrel.NewExtension(paths);
        EXPECT_TRUE(extension);
        if (!extension)
            return {};
        SheetHost sheet;
        std::vector<std::string> tabs = ShowPages(extension, sheet, addResult);
        extension->Release();
        return tabs;
    }

    // A new extension object given a data object that refuses every format.
    IShellExtInit* RefusingSelection()
    {
        IShellExtInit* extension = nullptr;
        EXPECT_EQ(S_OK, CreateComponent(pindrel.Module(), kPindrelClassId, IID_IShellExtInit,
                                        reinterpret_cast<void**>(&extension)));
        IDataObject* refusing = CreateRefusingDataObject();
        if (extension)
            EXPECT_EQ(DV_E_FORMATETC, extension->Initialize(nullptr, refusing, nullptr));
        refusing->Release();
        return extension;
    }

    PindrelCopy pindrel;
    std::string library, text;
};

TEST_F(Extension, PageTableFollowsFlagsAndFile)
{
    std::string link = pindrel.Temp().Path() + "\\library.lnk";
    ASSERT_EQ(S_OK, CreateShortcut(link, library));
    std::string linkWithoutExtension = pindrel.Temp().Path() + "\\golibrary";
    ASSERT_TRUE(CopyFileTo(link, linkWithoutExtension));

    struct Row {
        const char* what;
        std::vector<std::string> paths;
        unsigned flags;
        std::vector<std::string> tabs;
    } rows[] = {
        {"default flags, executable with icons and bitmaps", {library}, 39, Tabs({&kTouch, &kIcons, &kBitmaps})},
        {"default flags, plain text file", {text}, 39, Tabs({&kTouch, &kIcons})},
        {"icons only with icons, text file", {text}, 0x17, Tabs({&kTouch})},
        {"icons only with icons, executable", {library}, 0x17, Tabs({&kTouch, &kIcons, &kBitmaps})},
        {"icons only with icons, shortcut to an executable", {link}, 0x17, Tabs({&kTouch, &kIcons, &kBitmaps})},
        // Without ".lnk" the shortcut is an ordinary file: no icons, nothing to load.
        {"icons only with icons, shortcut without extension", {linkWithoutExtension}, 0x17, Tabs({&kTouch})},
        {"Touch alone", {library}, 0x01, Tabs({&kTouch})},
        {"Bitmaps alone", {library}, 0x04, Tabs({&kBitmaps})},
        {"Bitmaps for a file without bitmaps", {text}, 0x04, {}},
        {"several files", {library, text}, 39, Tabs({&kTouch})},
        {"several files, Touch switched off", {library, text}, 0x06, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        HRESULT result = E_FAIL;
        EXPECT_EQ(row.tabs, TabsFor(row.paths, row.flags, &result));
        EXPECT_EQ(S_OK, result);
    }
}

TEST_F(Extension, SwitchedOffAddsNothingWithoutLookingAtTheSelection)
{
    pindrel.WriteFlags(0);
    IShellExtInit* extension = RefusingSelection();
    ASSERT_TRUE(extension);
    SheetHost sheet;
    HRESULT result = E_FAIL;
    EXPECT_TRUE(ShowPages(extension, sheet, &result).empty());
    EXPECT_EQ(S_OK, result);
    extension->Release();
}

TEST_F(Extension, UnreadableSelectionAddsNoPages)
{
    IShellExtInit* extension = RefusingSelection();
    ASSERT_TRUE(extension);
    SheetHost sheet;
    HRESULT result = S_OK;
    EXPECT_TRUE(ShowPages(extension, sheet, &result).empty());
    EXPECT_EQ(E_INVALIDARG, result);

    // A null data object fails and lets go of the one held before.
    IDataObject* data = CreateDropDataObject({text});
    EXPECT_EQ(S_OK, extension->Initialize(nullptr, data, nullptr));
    data->Release();
    EXPECT_EQ(1, LiveDataObjects());
    EXPECT_EQ(E_FAIL, extension->Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(0, LiveDataObjects());
    EXPECT_TRUE(ShowPages(extension, sheet, &result).empty());
    EXPECT_EQ(E_INVALIDARG, result);
    extension->Release();
    EXPECT_EQ(S_OK, pindrel.CanUnloadNow());
}

// The NT family writes stamps with the right to the attributes alone, which a file
// held without write sharing still grants, and opens folders; the 95 family opens
// neither. A folder alone gets no Icons or Bitmaps page, whatever the flags.
TEST_F(Extension, HeldFileAndFolderGetTheTouchPageOnTheNtFamilyOnly)
{
    std::string folder = pindrel.Temp().MakeDir("folder.dll");
    std::string other = pindrel.Temp().WriteFile("other.txt", "x");
    LockedFile locked(text);
    ASSERT_TRUE(locked.Held());
    for (DWORD version : {kWindows7, kWindows98}) {
        SCOPED_TRACE(version);
        VersionPatch patch(pindrel.Module(), version);
        ASSERT_TRUE(patch.Applied());
        const bool nt = version == kWindows7;
        EXPECT_EQ(nt ? Tabs({&kTouch, &kIcons}) : Tabs({&kIcons}), TabsFor({text}, 39));
        EXPECT_EQ(nt ? Tabs({&kTouch}) : Tabs({}), TabsFor({folder}, 39));
        EXPECT_EQ(Tabs({&kTouch}), TabsFor({text, other}, 39));
    }
}

TEST_F(Extension, SeveralFilesShowTheComponentIconAndLoadNothing)
{
    pindrel.WriteFlags(39);
    IShellExtInit* extension = pindrel.NewExtension({library, text});
    ASSERT_TRUE(extension);
    SheetHost sheet;
    ASSERT_EQ(Tabs({&kTouch}), ShowPages(extension, sheet));
    HWND page = sheet.SelectPage(0);
    ASSERT_TRUE(page);
    HICON own = LoadIconA(pindrel.Module(), MAKEINTRESOURCEA(IDI_PINDREL));
    EXPECT_EQ(own, reinterpret_cast<HICON>(SendDlgItemMessageA(page, IDC_FILE_ICON, STM_GETICON, 0, 0)));
    EXPECT_FALSE(IsModuleLoaded(library));
    EXPECT_FALSE(GetEnvironmentVariableA("KELVARA_FIXTURE_STARTED", nullptr, 0));
    extension->Release();
}

// The NT family's shell names the selection in UTF-16. A name the code page cannot
// spell is read as its short name, or not at all, never as the look-alike file that
// the system's conversion names.
TEST_F(Extension, WideNameIsTheChosenFileOrNone)
{
    LookAlikes files = WriteLookAlikes(pindrel.Temp(), ".dll", ReadWholeFile(library), "not a library");
    pindrel.WriteFlags(39);
    for (ShortNames answer : kShortNames) {
        SCOPED_TRACE(static_cast<int>(answer));
        ShortNameLookup lookup(pindrel.Module(), answer);
        ASSERT_TRUE(lookup.Applied());
        IShellExtInit* extension = NewExtension(pindrel.Module(), std::vector<std::wstring>{files.chosen});
        ASSERT_TRUE(extension);
        SheetHost sheet;
        HRESULT result = E_FAIL;
        std::vector<std::string> tabs = ShowPages(extension, sheet, &result);
        EXPECT_EQ(lookup.Finds() ? S_OK : E_INVALIDARG, result);
        EXPECT_EQ(lookup.Finds() ? Tabs({&kTouch, &kIcons, &kBitmaps}) : Tabs({}), tabs);
        if (lookup.Finds())
            EXPECT_EQ(files.path.substr(files.path.rfind('\\') + 1), ControlText(sheet.SelectPage(0), IDC_FILE_NAME));
        extension->Release();
    }
}

TEST_F(Extension, SelectedLibraryIsLoadedAsDataOnly)
{
    // RESLIB.DLL's start-up code sets KELVARA_FIXTURE_STARTED; loaded as an
    // executable module it would run inside the shell.
    EXPECT_EQ(Tabs({&kTouch, &kIcons, &kBitmaps}), TabsFor({library}, 39));
    EXPECT_FALSE(GetEnvironmentVariableA("KELVARA_FIXTURE_STARTED", nullptr, 0));
    ASSERT_TRUE(LoadLibraryA(library.c_str()));  // the mark works when the code does run
    EXPECT_TRUE(GetEnvironmentVariableA("KELVARA_FIXTURE_STARTED", nullptr, 0));
    FreeLibrary(GetModuleHandleA(library.c_str()));
}

TEST_F(Extension, UnresolvableShortcutHasNoIconsAndNoModule)
{
    std::string target = pindrel.Temp().Path() + "\\gone.dll";
    ASSERT_TRUE(CopyFileTo(library, target));
    std::string link = pindrel.Temp().Path() + "\\gone.lnk";
    ASSERT_EQ(S_OK, CreateShortcut(link, target));
    ASSERT_TRUE(DeleteFileA(target.c_str()));
    EXPECT_EQ(Tabs({&kTouch}), TabsFor({link}, 0x17));
    EXPECT_EQ(Tabs({&kTouch, &kIcons}), TabsFor({link}, 39));
}

TEST_F(Extension, DotsInDirectoryNames)
{
    // "x.lnk" is the directory; the file has no extension of its own.
    std::string dir = pindrel.Temp().MakeDir("x.lnk");
    std::string plain = dir + "\\readme";
    ASSERT_TRUE(CopyFileTo(text, plain));
    EXPECT_EQ(Tabs({&kTouch, &kIcons}), TabsFor({plain}, 39));
    EXPECT_EQ(Tabs({&kTouch}), TabsFor({plain}, 0x17));
}

// Counts what PINDREL.DLL loads and frees, from its construction on.
struct ModuleLedger {
    explicit ModuleLedger(HMODULE pindrel)
        : load(pindrel, "kernel32.dll", "LoadLibraryExA", reinterpret_cast<void*>(&Load)),
          free(pindrel, "kernel32.dll", "FreeLibrary", reinterpret_cast<void*>(&Free))
    {
        live.clear();
    }
    bool Applied() const { return load.Applied() && free.Applied(); }
    ImportPatch load, free;

    static std::set<HMODULE> live;
    static HMODULE WINAPI Load(const char* path, HANDLE file, DWORD flags)
    {
        HMODULE module = LoadLibraryExA(path, file, flags);
        if (module)
            live.insert(module);
        return module;
    }
    static BOOL WINAPI Free(HMODULE module)
    {
        live.erase(module);
        return FreeLibrary(module);
    }
};
std::set<HMODULE> ModuleLedger::live;

TEST_F(Extension, ObjectAndModuleLiveAsLongAsTheLastPage)
{
    ModuleLedger ledger(pindrel.Module());
    ASSERT_TRUE(ledger.Applied());

    // Without the Touch page, which lets the module go whenever it is shown.
    pindrel.WriteFlags(0x06);
    IShellExtInit* extension = pindrel.NewExtension({library});
    ASSERT_TRUE(extension);
    SheetHost sheet;
    ASSERT_EQ(2u, ShowPages(extension, sheet).size());
    extension->Release();  // Explorer lets go; the pages keep the object
    EXPECT_EQ(S_FALSE, pindrel.CanUnloadNow());
    EXPECT_EQ(1u, ModuleLedger::live.size());
    EXPECT_EQ(1, LiveDataObjects());

    sheet.Destroy();
    EXPECT_EQ(S_OK, pindrel.CanUnloadNow());
    EXPECT_TRUE(ModuleLedger::live.empty());
    EXPECT_EQ(0, LiveDataObjects());
}

TEST_F(Extension, InitializeAgainLeavesNothingOfTheEarlierSelection)
{
    ModuleLedger ledger(pindrel.Module());
    ASSERT_TRUE(ledger.Applied());
    pindrel.WriteFlags(0x06);  // no Touch page to let the module go
    IShellExtInit* extension = pindrel.NewExtension({library});
    ASSERT_TRUE(extension);

    struct Step {
        std::vector<std::string> paths;
        std::vector<std::string> tabs;
        size_t modules;  // loaded by the extension after AddPages
        const char* name;
        LRESULT icons;  // RESLIB.DLL's three icon groups, or the shell's one icon
    } steps[] = {
        {{library}, Tabs({&kIcons, &kBitmaps}), 1, "RESLIB.DLL", 3},
        {{text}, Tabs({&kIcons}), 0, "notes.txt", 1},
        {{library}, Tabs({&kIcons, &kBitmaps}), 1, "RESLIB.DLL", 3},
        {{library, text}, {}, 0, nullptr, 0},
        {{library}, Tabs({&kIcons, &kBitmaps}), 1, "RESLIB.DLL", 3},
    };
    // Every step's sheet stays open: the icons of earlier selections are still shown.
    std::vector<std::unique_ptr<SheetHost>> sheets;
    std::vector<HICON> shown;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        SCOPED_TRACE(i);
        if (i > 0) {
            IDataObject* data = CreateDropDataObject(step.paths);
            EXPECT_EQ(S_OK, extension->Initialize(nullptr, data, nullptr));
            data->Release();
        }
        sheets.emplace_back(new SheetHost);
        EXPECT_EQ(step.tabs, ShowPages(extension, *sheets.back()));
        EXPECT_EQ(step.modules, ModuleLedger::live.size());
        if (!step.name)
            continue;
        HWND page = sheets.back()->SelectPage(0);
        EXPECT_EQ(step.name, ControlText(page, IDC_FILE_NAME));
        EXPECT_EQ(step.icons, SendDlgItemMessageA(page, IDC_ICON_LIST, LB_GETCOUNT, 0, 0));
        shown.push_back(reinterpret_cast<HICON>(SendDlgItemMessageA(page, IDC_FILE_ICON, STM_GETICON, 0, 0)));
    }
    for (HICON icon : shown) {
        ICONINFO info = {};
        EXPECT_TRUE(GetIconInfo(icon, &info)) << "an icon destroyed under its page";
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    extension->Release();
    sheets.clear();
    EXPECT_TRUE(ModuleLedger::live.empty());
    EXPECT_EQ(S_OK, pindrel.CanUnloadNow());
    EXPECT_EQ(0, LiveDataObjects());
}

TEST_F(Extension, PagesThatExplorerRefusesGiveTheirReferenceBack)
{
    pindrel.WriteFlags(39);
    IShellExtInit* extension = pindrel.NewExtension({library});
    ASSERT_TRUE(extension);
    IShellPropSheetExt* pages = nullptr;
    ASSERT_EQ(S_OK, extension->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&pages)));
    PageCollector refusing;
    refusing.refuse = true;
    EXPECT_EQ(S_OK, refusing.AddFrom(pages));
    pages->Release();
    EXPECT_EQ(0u, extension->Release());
    EXPECT_EQ(S_OK, pindrel.CanUnloadNow());
}

// PINDREL.DLL (with its settings file) and a library in directories named in any
// script the code page spells, the directory of the library looking like a shortcut.
TEST(ExtensionPaths, NamesInAnyScriptAreNotCutAtATrailByte)
{
    struct Row {
        std::string directory, link, library;
    };
    std::vector<Row> rows;
    // Under code page 932 the second byte of each character is 0x5C, a backslash in
    // single-byte text.
    if (JapaneseRun())
        rows.push_back({Ansi("表示"), Ansi("ソフト.lnk"), Ansi("表.dll")});
    for (const std::string& name : ScriptNames())
        rows.push_back({name, name + ".lnk", name + ".dll"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.library);
        PindrelCopy pindrel(row.directory);
        ASSERT_TRUE(pindrel.Module());
        std::string library = pindrel.Temp().MakeDir(row.link) + "\\" + row.library;
        ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), library));
        pindrel.WriteFlags(39);
        IShellExtInit* extension = pindrel.NewExtension({library});
        ASSERT_TRUE(extension);
        SheetHost sheet;
        EXPECT_EQ(Tabs({&kTouch, &kIcons, &kBitmaps}), ShowPages(extension, sheet));
        EXPECT_EQ(row.library, ControlText(sheet.SelectPage(0), IDC_FILE_NAME));
        extension->Release();
    }
}

}  // namespace
