// The Control Panel entry of KELVARA.CPL and the settings sheet it shows: one page
// from each component listed in the component key, in the key's order, then About.
#include "applet_host.h"
#include "deliverables.h"
#include "message_boxes.h"
#include "modal_driver.h"
#include "sheet_host.h"
#include "text.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <cpl.h>
#include <functional>

namespace {

struct SheetSeen {
    bool shown = false;
    std::vector<std::string> tabs;
    int current = -1;
    std::string title;
    HWND owner = nullptr;
    std::vector<std::string> pageTexts;  // text 101 of each fixture page, "" for others
};

class AppletSheet : public AppletTest {
protected:
    // Opens the item as Control Panel does; the sheet is read, then closed with
    // Cancel (or handed to more, which must close it).
    SheetSeen Open(const std::function<void(HWND)>& more = nullptr)
    {
        SheetSeen seen;
        seen.shown = OpenSheet([&](HWND sheet) {
            PumpMessages();
            seen.tabs = SheetTabs(sheet);
            HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
            seen.current = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
            char title[128] = "";
            GetWindowTextA(sheet, title, sizeof title);
            seen.title = title;
            seen.owner = GetWindow(sheet, GW_OWNER);
            for (size_t i = 0; i < seen.tabs.size(); ++i) {
                HWND page = SelectSheetPage(sheet, static_cast<int>(i));
                char text[MAX_PATH] = "";
                GetDlgItemTextA(page, 101, text, sizeof text);
                seen.pageTexts.push_back(text);
            }
            SelectSheetPage(sheet, 0);
            if (more)
                more(sheet);
            else
                PressSheetButton(sheet, PSBTN_CANCEL);
        });
        return seen;
    }
};

const char kAbout[] = "About";

TEST_F(AppletSheet, ControlPanelMessagesAreAnsweredAsAnItemOfItsOwn)
{
    EXPECT_EQ(1, entry(controlPanel.Get(), CPL_INIT, 0, 0));
    EXPECT_EQ(1, entry(controlPanel.Get(), CPL_GETCOUNT, 0, 0));

    CPLINFO info;
    FillMemory(&info, sizeof info, 0xAB);
    EXPECT_EQ(0, entry(controlPanel.Get(), CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(10000, info.idIcon);
    EXPECT_EQ(10000, info.idName);
    EXPECT_EQ(10001, info.idInfo);
    EXPECT_EQ(0, info.lData);

    // Unanswered, so that Control Panel falls back on CPL_INQUIRE.
    NEWCPLINFOA newInfo;
    FillMemory(&newInfo, sizeof newInfo, 0xCD);
    NEWCPLINFOA untouched = newInfo;
    EXPECT_EQ(0, entry(controlPanel.Get(), CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo)));
    EXPECT_EQ(0, memcmp(&newInfo, &untouched, sizeof newInfo));

    for (UINT message : {CPL_SELECT, CPL_STOP, CPL_EXIT}) {
        SCOPED_TRACE(message);
        EXPECT_EQ(0, entry(controlPanel.Get(), message, 0, 0));
    }
}

TEST_F(AppletSheet, ItemTextsComeFromTheStringTable)
{
    char name[64] = "";
    char info[64] = "";
    LoadStringA(applet.Get(), 10000, name, sizeof name);
    LoadStringA(applet.Get(), 10001, info, sizeof info);
    EXPECT_EQ("Kelvara", std::string(name));
    EXPECT_EQ(Localized("Configures Kelvara.", "Kelvara の設定を変更します。"), std::string(info));
    EXPECT_TRUE(LoadIconA(applet.Get(), MAKEINTRESOURCEA(10000)));
}

TEST_F(AppletSheet, WithoutComponentsTheAboutPageIsShownAlone)
{
    struct Row {
        const char* name;
        std::function<void()> prepare;
    } rows[] = {
        {"key missing", [] {}},
        {"key without values", [this] { key.Create(); }},
        {"only the unnamed value", [this] { key.SetDirectory(temp.Path()); }},
        {"only libraries that give nothing",
         [this] {
             key.SetDirectory(temp.Path() + "\\");
             key.Add("Missing", temp / "MISSING.DLL");
             key.Add("Not a library", temp.WriteFile("TEXT.DLL", "plain text"));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
        row.prepare();
        SheetSeen seen = Open();
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(std::vector<std::string>{kAbout}, seen.tabs);
        EXPECT_EQ(0, seen.current);
    }
}

TEST_F(AppletSheet, SheetIsCaptionedKelvaraAndOwnedByControlPanel)
{
    AppletObserver observer(applet.Get());
    ASSERT_TRUE(observer.Applied());
    key.SetDirectory(temp.Path());
    SheetSeen seen = Open();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ("Kelvara", seen.title);
    EXPECT_EQ(controlPanel.Get(), seen.owner);
    ASSERT_EQ(1u, observer.sheets.size());
    const PROPSHEETHEADERA& header = observer.sheets[0].header;
    EXPECT_EQ(static_cast<DWORD>(PROPSHEETHEADERA_V1_SIZE), header.dwSize) << "40 on x86";
    EXPECT_EQ(static_cast<DWORD>(PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_HASHELP), header.dwFlags);
    EXPECT_EQ(0x288u, header.dwFlags);
    EXPECT_EQ(controlPanel.Get(), header.hwndParent);
    EXPECT_EQ(applet.Get(), header.hInstance);
    EXPECT_EQ("Kelvara", observer.sheets[0].caption);
    EXPECT_EQ(1u, header.nPages);
    EXPECT_EQ(0u, header.nStartPage);
    ASSERT_EQ(1u, observer.sheets[0].pages.size());
    const PROPSHEETPAGEA_V1& about = observer.sheets[0].pages[0];
    EXPECT_EQ(static_cast<DWORD>(PROPSHEETPAGEA_V1_SIZE), about.dwSize) << "40 on x86";
    EXPECT_EQ(static_cast<DWORD>(PSP_HASHELP), about.dwFlags);
    EXPECT_EQ(applet.Get(), about.hInstance);
    EXPECT_EQ(MAKEINTRESOURCEA(10000), about.pszTemplate);
    EXPECT_TRUE(about.pfnDlgProc);
    EXPECT_EQ(nullptr, about.pszIcon);
    EXPECT_EQ(nullptr, about.pszTitle);
    EXPECT_EQ(0, about.lParam);
}

TEST_F(AppletSheet, ComponentsFollowTheKeyOrderAndAboutComesLast)
{
    std::string alpha = CopyFixture(temp.Path(), "CPLPAGE.DLL", "ALPHA.DLL");
    std::string bravo = CopyFixture(temp.Path(), "CPLPAGE.DLL", "BRAVO.DLL");
    std::string hidden = CopyFixture(temp.Path(), "CPLPAGE.DLL", "HIDDEN.DLL");
    std::string pindrel = temp / "PINDREL.DLL";
    ASSERT_TRUE(CopyFileTo(DistPath("PINDREL.DLL"), pindrel));
    std::string quorbin = DistPath("QUORBIN.DLL");
    bool haveQuorbin = FileExists(quorbin);
    std::string nopage = CopyFixture(temp.Path(), "NOPAGE.DLL", "NOPAGE.DLL");

    key.SetDirectory(temp.Path());
    key.Add("Zulu first", bravo);
    key.Add("Mike", alpha);
    key.Add("Pindrel Property Sheet", pindrel);
    if (haveQuorbin)
        key.Add("Quorbin Icon Handler", quorbin);
    key.Add("No page", nopage);
    key.Add("Missing", temp / "MISSING.DLL");
    key.Add(std::string(32, 'N'), hidden);  // a name of 32 characters is skipped

    // The expected order is the registry's own enumeration order.
    std::vector<std::string> expected;
    std::vector<std::string> expectedTexts;
    for (const auto& value : key.Values()) {
        if (value.second == alpha || value.second == bravo) {
            expected.push_back(value.second == alpha ? "ALPHA" : "BRAVO");
            expectedTexts.push_back(value.second);
        } else if (value.second == pindrel) {
            expected.push_back("Property Sheet");
            expectedTexts.push_back("");
        }
    }
    expected.push_back(kAbout);
    expectedTexts.push_back("");

    bool loadedWhileOpen = false;
    SheetSeen seen = Open([&](HWND sheet) {
        loadedWhileOpen = IsModuleLoaded(alpha) && IsModuleLoaded(bravo) && IsModuleLoaded(pindrel) &&
                          IsModuleLoaded(nopage);
        PressSheetButton(sheet, PSBTN_CANCEL);
    });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(expected, seen.tabs);
    EXPECT_EQ(0, seen.current);
    // Each page is its own library's: its template and procedure came from there.
    EXPECT_EQ(expectedTexts, seen.pageTexts);
    EXPECT_TRUE(loadedWhileOpen);
    if (!haveQuorbin)
        std::printf("QUORBIN.DLL is not built: its part was left out\n");
}

TEST_F(AppletSheet, NoComponentLibraryStaysLoadedAfterTheSheetCloses)
{
    std::string page = CopyFixture(temp.Path(), "CPLPAGE.DLL", "PAGE.DLL");
    std::string zero = CopyFixture(temp.Path(), "CPLZERO.DLL", "ZERO.DLL");
    std::string nopage = CopyFixture(temp.Path(), "NOPAGE.DLL", "NOPAGE.DLL");
    std::string pindrel = temp / "PINDREL.DLL";
    ASSERT_TRUE(CopyFileTo(DistPath("PINDREL.DLL"), pindrel));
    std::vector<std::string> libraries = {page, zero, nopage, pindrel};
    std::string quorbin = DistPath("QUORBIN.DLL");
    if (FileExists(quorbin) && !IsModuleLoaded(quorbin))
        libraries.push_back(quorbin);
    key.SetDirectory(temp.Path());
    for (size_t i = 0; i < libraries.size(); ++i)
        key.Add("Component " + std::to_string(i), libraries[i]);

    for (const char* button : {"OK", "Cancel"}) {
        SCOPED_TRACE(button);
        std::vector<std::string> loaded;
        SheetSeen seen = Open([&](HWND sheet) {
            for (const std::string& library : libraries) {
                if (IsModuleLoaded(library))
                    loaded.push_back(library);
            }
            PressSheetButton(sheet, std::string(button) == "OK" ? PSBTN_OK : PSBTN_CANCEL);
        });
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(libraries, loaded);
        for (const std::string& library : libraries) {
            SCOPED_TRACE(library);
            EXPECT_FALSE(IsModuleLoaded(library));
        }
    }
}

// A component that writes into its slot and then declines leaves nothing behind:
// the next component and the About page get a cleared slot.
TEST_F(AppletSheet, DecliningComponentLeavesNoTrace)
{
    std::string zeroFirst = CopyFixture(temp.Path(), "CPLZERO.DLL", "ZEROA.DLL");
    std::string page = CopyFixture(temp.Path(), "CPLPAGE.DLL", "TRACED.DLL");
    std::string zeroLast = CopyFixture(temp.Path(), "CPLZERO.DLL", "ZEROB.DLL");
    key.Add("A declines", zeroFirst);
    key.Add("B gives a page", page);
    key.Add("C declines", zeroLast);
    std::vector<std::string> order;
    for (const auto& value : key.Values())
        order.push_back(value.second);
    ASSERT_EQ((std::vector<std::string>{zeroFirst, page, zeroLast}), order) << "the test needs this order";

    SetEnvironmentVariableA("KVCPL_DECLINED", "");
    SetEnvironmentVariableA("KVCPL_SLOT_TRACED", "");
    SheetSeen seen = Open();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ((std::vector<std::string>{"TRACED", kAbout}), seen.tabs);

    char declined[256] = "";
    GetEnvironmentVariableA("KVCPL_DECLINED", declined, sizeof declined);
    EXPECT_EQ("ZEROA;ZEROB;", std::string(declined));
    char slot[256] = "";
    GetEnvironmentVariableA("KVCPL_SLOT_TRACED", slot, sizeof slot);
    // PROPSHEETPAGEA_V1_SIZE: 40 bytes on x86, 72 on x64.
    char size[16];
    wsprintfA(size, "%02x000000", PROPSHEETPAGEA_V1_SIZE);
    EXPECT_EQ(size + std::string(2 * PROPSHEETPAGEA_V1_SIZE - 8, '0'), std::string(slot))
        << "dwSize PROPSHEETPAGEA_V1_SIZE, every other byte 0";
}

// A value of 260 bytes without a terminator fills the data buffer: it is not handed
// to LoadLibraryA at all. One byte shorter, it is ended after its stored length.
// The values are stored as REG_BINARY, which the sheet reads like any other type:
// Wine's RegSetValueExA adds the terminator that a REG_SZ lacks.
TEST_F(AppletSheet, ValueFillingTheBufferWithoutTerminatorIsSkipped)
{
    AppletObserver observer(applet.Get());
    ASSERT_TRUE(observer.Applied());
    std::string directory = temp.Path() + "\\";
    std::string name = "P";
    name += std::string(259 - directory.size() - 5, 'x');
    name += ".DLL";
    std::string path = directory + name;
    ASSERT_EQ(259u, path.size());
    ASSERT_TRUE(CopyFileTo(FixturePath("CPLPAGE.DLL"), path));
    std::string title = "P" + std::string(259 - directory.size() - 5, 'X');

    struct Row {
        const char* name;
        std::string bytes;
        bool shown;
    } rows[] = {
        {"259 bytes, no terminator", path, true},
        {"260 bytes, no terminator", path + "Q", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
        key.AddBytes("Long", REG_BINARY, row.bytes);
        DWORD size = 0;
        HKEY raw = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComponentKey, 0, KEY_READ, &raw));
        RegQueryValueExA(raw, "Long", nullptr, nullptr, nullptr, &size);
        RegCloseKey(raw);
        ASSERT_EQ(row.bytes.size(), size);

        observer.libraryLoads.clear();
        SheetSeen seen = Open();
        ASSERT_TRUE(seen.shown);
        ASSERT_EQ(row.shown ? 2u : 1u, seen.tabs.size());
        if (row.shown)  // the tab shows the start of the library's name
            EXPECT_EQ(title.substr(0, 20), seen.tabs[0].substr(0, 20));
        EXPECT_EQ(kAbout, seen.tabs.back());
        for (const std::string& loaded : observer.libraryLoads)
            EXPECT_LT(loaded.size(), 260u);
        EXPECT_EQ(row.shown ? 1u : 0u, observer.libraryLoads.size());
    }
}

TEST_F(AppletSheet, PageArrayThatCannotBeAllocatedShowsNotEnoughMemory)
{
    std::string page = CopyFixture(temp.Path(), "CPLPAGE.DLL", "PAGE.DLL");
    key.SetDirectory(temp.Path());
    key.Add("Page", page);
    AppletObserver observer(applet.Get());
    MessageBoxScript boxes(applet.Get());
    ASSERT_TRUE(observer.Applied());
    ASSERT_TRUE(boxes.Applied());
    observer.failGlobalAllocFrom = 1;

    SheetSeen seen = Open();
    EXPECT_FALSE(seen.shown);
    EXPECT_TRUE(observer.sheets.empty());
    EXPECT_TRUE(observer.libraryLoads.empty());
    EXPECT_EQ((std::vector<RecordedBox>{{controlPanel.Get(), Localized("Not enough memory.", "メモリが不足しています。"),
                                         "Kelvara", MB_ICONERROR}}),
              boxes.Boxes());
}

TEST_F(AppletSheet, ModuleArrayThatCannotBeAllocatedLeavesTheAboutPageAlone)
{
    std::string page = CopyFixture(temp.Path(), "CPLPAGE.DLL", "PAGE.DLL");
    key.Add("Page", page);
    AppletObserver observer(applet.Get());
    MessageBoxScript boxes(applet.Get());
    ASSERT_TRUE(observer.Applied());
    observer.failGlobalAllocFrom = 2;

    SheetSeen seen = Open();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(std::vector<std::string>{kAbout}, seen.tabs);
    EXPECT_TRUE(observer.libraryLoads.empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
