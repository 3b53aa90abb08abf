// PINDREL.DLL's settings page as the user meets it: in the Control Panel applet's
// sheet, opened through CPlApplet, confirmed with OK (PSN_APPLY) or Cancel.
#include "applet_host.h"
#include "deliverables.h"
#include "help_recorder.h"
#include "modal_driver.h"
#include "pindrel_copy.h"
#include "sheet_host.h"
#include "text.h"
#include <gtest/gtest.h>
#include <cpl.h>
#include <functional>

namespace {

const int kBoxes[] = {20000, 20001, 20002, 20003, 20004};

// The check states of 20000..20004 and the enabled states of the four choices
// 20001..20004 as digits: "11101/1111".
std::string BoxStates(HWND page)
{
    std::string checked;
    std::string enabled;
    for (int id : kBoxes) {
        checked += IsDlgButtonChecked(page, id) == BST_CHECKED ? '1' : '0';
        if (id != 20000)
            enabled += IsWindowEnabled(GetDlgItem(page, id)) ? '1' : '0';
    }
    return checked + "/" + enabled;
}

// WritePrivateProfileStringA as on a settings file the user may not write to.
BOOL WINAPI DenyWrite(LPCSTR, LPCSTR, LPCSTR, LPCSTR)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

class SettingsPage : public AppletTest {
protected:
    void SetUp() override
    {
        AppletTest::SetUp();
        ASSERT_TRUE(observer.Applied());
        pindrel = temp / "PINDREL.DLL";
        ASSERT_TRUE(CopyFileTo(DistPath("PINDREL.DLL"), pindrel));
        key.SetDirectory(temp.Path());
        key.Add("Pindrel Property Sheet", pindrel);
    }

    std::string IniPath() const { return temp / "KELVARA.INI"; }
    void Store(int flags) const
    {
        WritePrivateProfileStringA(LogonName().c_str(), "PindrelFlags", std::to_string(flags).c_str(),
                                   IniPath().c_str());
    }
    // The stored flags word, -1 when there is none.
    int Stored() const
    {
        return static_cast<int>(GetPrivateProfileIntA(LogonName().c_str(), "PindrelFlags", -1, IniPath().c_str()));
    }

    // Opens the sheet, hands the settings page to drive and presses button.
    void Open(const std::function<void(HWND page)>& drive, int button)
    {
        EXPECT_TRUE(OpenSheet([&](HWND sheet) {
            PumpMessages();  // the page's posted WM_COMMAND
            ASSERT_EQ((std::vector<std::string>{"Property Sheet", "About"}), SheetTabs(sheet));
            HWND page = CurrentSheetPage(sheet);
            ASSERT_TRUE(page);
            drive(page);
            PressSheetButton(sheet, button);
        }));
        EXPECT_FALSE(IsModuleLoaded(pindrel));
    }

    AppletObserver observer{applet.Get()};  // keeps the About page's help closed
    std::string pindrel;
};

TEST_F(SettingsPage, OpensWithTheStoredFlagsAndCancelWritesNothing)
{
    struct Row {
        int stored;  // -1: no settings file
        const char* states;
    } rows[] = {
        {-1, "11101/1111"},  // the defaults, 39; 20003 clear but enabled
        {0, "01111/0000"},   // switched off: every choice checked, all disabled
        {39, "11101/1111"},
        {5, "11001/1111"},   // 20003 enabled although 20002 is clear
        {23, "11111/1111"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        DeleteFileA(IniPath().c_str());
        if (row.stored >= 0)
            Store(row.stored);
        std::string before = ReadWholeFile(IniPath());
        std::string states;
        Open([&](HWND page) {
            states = BoxStates(page);
            // Changes that Cancel must throw away.
            ClickButton(page, 20001);
            ClickButton(page, 20000);
        }, PSBTN_CANCEL);
        EXPECT_EQ(row.states, states);
        EXPECT_EQ(before, ReadWholeFile(IniPath()));
        EXPECT_EQ(row.stored >= 0, FileExists(IniPath()));
    }
}

TEST_F(SettingsPage, OkWritesWhatTheBoxesShow)
{
    struct Row {
        const char* name;
        int stored;
        std::vector<int> clicks;
        int written;
    } rows[] = {
        {"switched off, then enabled", 0, {20000}, 23},
        {"stored 39, nothing changed: bit 0x20 goes", 39, {}, 7},
        {"no settings file, nothing changed", -1, {}, 7},
        {"enabled with every choice cleared", 39, {20001, 20002, 20004}, 0},
        {"a checked but disabled 20003 still counts", 23, {20002}, 0x15},
        {"disabled choices do not count", 23, {20000}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteFileA(IniPath().c_str());
        if (row.stored >= 0)
            Store(row.stored);
        Open([&](HWND page) {
            for (int id : row.clicks)
                ClickButton(page, id);
        }, PSBTN_OK);
        EXPECT_EQ(row.written, Stored());
    }
}

TEST_F(SettingsPage, OkWhoseWriteIsDeniedShowsTheErrorAndKeepsTheSheetOpenUntilCancel)
{
    Store(39);
    std::string before = ReadWholeFile(IniPath());
    {
        // The test's own reference, taken before the sheet, keeps the patched library loaded after it.
        LoadedLibrary held(pindrel);
        MessageBoxScript boxes(held.Get());
        std::unique_ptr<ImportPatch> denied(new ImportPatch(held.Get(), "kernel32.dll", "WritePrivateProfileStringA",
                                                            reinterpret_cast<const void*>(&DenyWrite)));
        ASSERT_TRUE(boxes.Applied() && denied->Applied());
        std::unique_ptr<ModalDriver> afterOk;
        EXPECT_TRUE(OpenSheet([&](HWND sheet) {
            PumpMessages();
            HWND page = CurrentSheetPage(sheet);
            ClickButton(page, 20001);
            PressSheetButton(sheet, PSBTN_OK);
            RecordedBox denial{sheet, SystemErrorText(ERROR_ACCESS_DENIED), "Pindrel", MB_ICONERROR};
            EXPECT_EQ(std::vector<RecordedBox>{denial}, boxes.Boxes());
            // A sheet that OK closed ends at its loop's next turn: only one still open meets this.
            afterOk.reset(new ModalDriver(IsPropertySheetWindow, [&, page](HWND stillOpen) {
                EXPECT_EQ(page, CurrentSheetPage(stillOpen));
                denied.reset();  // a write at Cancel reaches the file
                PressSheetButton(stillOpen, PSBTN_CANCEL);
            }));
        }));
        EXPECT_TRUE(afterOk && afterOk->Ran()) << "OK closed the sheet";
        EXPECT_EQ(before, ReadWholeFile(IniPath()));
    }
    EXPECT_FALSE(IsModuleLoaded(pindrel));
}

TEST_F(SettingsPage, EverythingClearedSwitchesTheExtensionOffAtTheNextOpening)
{
    Store(39);
    Open([](HWND page) {
        for (int id : {20001, 20002, 20004})
            ClickButton(page, id);
    }, PSBTN_OK);
    ASSERT_EQ(0, Stored());
    std::string states;
    Open([&](HWND page) { states = BoxStates(page); }, PSBTN_CANCEL);
    EXPECT_EQ("01111/0000", states);
}

TEST_F(SettingsPage, IconsOnlyBoxFollowsEnableAndIcons)
{
    Store(5);
    std::vector<std::string> seen;
    Open([&](HWND page) {
        seen.push_back(BoxStates(page));
        ClickButton(page, 20002);  // Icons checked: 20003 stays enabled
        seen.push_back(BoxStates(page));
        ClickButton(page, 20002);  // Icons cleared: 20003 disabled at once
        seen.push_back(BoxStates(page));
        ClickButton(page, 20000);  // Enable cleared: all four disabled
        seen.push_back(BoxStates(page));
        ClickButton(page, 20000);  // and checked again: 20003 follows Enable alone
        seen.push_back(BoxStates(page));
    }, PSBTN_CANCEL);
    EXPECT_EQ((std::vector<std::string>{"11001/1111", "11101/1111", "11001/1101", "01001/0000", "11001/1111"}),
              seen);
    EXPECT_EQ(5, Stored());
}

TEST_F(SettingsPage, HelpOpensTopic25000BesidePindrelAndClosingClosesIt)
{
    ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CHM"), temp / "KELVARA.CHM"));
    for (const HelpSystem& system : kHelpSystems) {
        SCOPED_TRACE(system.name);
        observer.help.calls.clear();
        HWND settingsPage = nullptr;
        HelpRecorder* help = nullptr;
        Open([&](HWND page) {
            settingsPage = page;
            // Left in place on purpose: the patches go away with the library, which the
            // applet frees after the page's WM_DESTROY has asked for help.
            help = new HelpRecorder(GetModuleHandleA(pindrel.c_str()), &system);
            SendMessageA(GetParent(page), PSM_PRESSBUTTON, PSBTN_HELP, 0);
            PumpMessages();
        }, PSBTN_CANCEL);
        ASSERT_TRUE(help && help->Applied());
        const std::vector<HelpCall>& calls = help->calls;
        ASSERT_EQ(2u, calls.size());
        const std::string helpFile = temp / "KELVARA.HLP";
        EXPECT_EQ(ExpectedHelpCall(system, help->Module(), settingsPage, helpFile, HELP_CONTEXT, 25000), calls[0]);
        EXPECT_EQ(ExpectedHelpCall(system, help->Module(), settingsPage, helpFile, HELP_QUIT, 0), calls[1]);
        // The applet's own help was not asked for this page.
        for (const HelpCall& call : observer.help.calls)
            EXPECT_NE(static_cast<UINT>(HELP_CONTEXT), call.command);
    }
}

}  // namespace
