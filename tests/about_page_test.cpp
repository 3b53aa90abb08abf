// The About page, the last page of the applet's sheet: its texts and layout, "Go
// Online" and the sheet's Help button.
#include "applet_host.h"
#include "deliverables.h"
#include "modal_driver.h"
#include "sheet_host.h"
#include "text.h"
#include <gtest/gtest.h>
#include <cpl.h>
#include <functional>

namespace {

class AboutPage : public AppletTest {
protected:
    void SetUp() override
    {
        AppletTest::SetUp();
        ASSERT_TRUE(observer.Applied());
    }

    // Opens the sheet (About is then its only page) and hands sheet and page to drive,
    // which closes the sheet.
    void Open(const std::function<void(HWND sheet, HWND page)>& drive)
    {
        EXPECT_TRUE(OpenSheet([&](HWND sheet) {
            ASSERT_EQ(std::vector<std::string>{"About"}, SheetTabs(sheet));
            HWND page = CurrentSheetPage(sheet);
            ASSERT_TRUE(page);
            drive(sheet, page);
        }));
    }

    AppletObserver observer{applet.Get()};
};

struct ControlRow {
    const char* className;
    int id;
    const char* english;
    const char* japanese;  // UTF-8
    int x, y, width, height;          // English template
    int jx, jy, jwidth, jheight;      // Japanese template
    bool whole;  // text and size compared too
};

// In template order. The icon sizes itself to its image and Wine gives the etched
// line room for its edges, so only their positions are compared (and the icon's
// "text" is its resource number).
const ControlRow kAboutControls[] = {
    {"Static", -1, "", "", 7, 8, 20, 20, 7, 8, 20, 20, false},
    {"Static", -1, "KELVARA.CPL", "KELVARA.CPL", 38, 8, 140, 8, 36, 8, 140, 8, true},
    {"Static", -1, "Control Panel for Kelvara\nVer.1.0", "Control Panel for Kelvara\nVer.1.0", 38, 20, 140, 16, 36,
     20, 167, 16, true},
    {"Static", -1, "", "", 7, 45, 196, 1, 7, 45, 196, 1, false},
    {"Static", -1, "Kelvara is free software.\nYou may use, copy and pass it on freely.",
     "Kelvara はフリー ソフトウェアです。\n自由に使用、複製、配布することができます。", 38, 52, 165, 16, 36, 50, 167, 24, true},
    {"Static", -1, "Web: http://kelvara.invalid/\nMail: contact@kelvara.invalid",
     "ホームページ : http://kelvara.invalid/\n電子メール :\ncontact@kelvara.invalid", 38, 80, 165, 16, 36, 82, 167,
     24, true},
    {"Button", 15101, "Go Online", "ホームページ", 153, 119, 50, 14, 148, 120, 55, 13, true},
};

TEST_F(AboutPage, ShowsTheTextsOfItsTemplateInTheRunsLanguage)
{
    bool japanese = JapaneseRun();
    Open([&](HWND sheet, HWND page) {
        HWND control = GetWindow(page, GW_CHILD);
        for (const ControlRow& row : kAboutControls) {
            SCOPED_TRACE(row.english);
            ASSERT_TRUE(control);
            char className[32] = "";
            GetClassNameA(control, className, sizeof className);
            EXPECT_STRCASEEQ(row.className, className);
            EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(control))));
            char text[256] = "";
            GetWindowTextA(control, text, sizeof text);
            if (row.whole)
                EXPECT_EQ(Localized(row.english, row.japanese), std::string(text));
            RECT want = japanese ? TemplateRectInPixels(page, row.jx, row.jy, row.jwidth, row.jheight)
                                 : TemplateRectInPixels(page, row.x, row.y, row.width, row.height);
            RECT have = ControlRectInPixels(page, control);
            EXPECT_EQ(want.left, have.left);
            EXPECT_EQ(want.top, have.top);
            if (row.whole) {
                EXPECT_EQ(want.right, have.right) << "width";
                EXPECT_EQ(want.bottom, have.bottom) << "height";
            }
            control = GetWindow(control, GW_HWNDNEXT);
        }
        EXPECT_FALSE(control) << "more controls than the template lists";

        HWND icon = GetWindow(page, GW_CHILD);
        EXPECT_EQ(static_cast<LONG>(SS_ICON), GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK);
        EXPECT_TRUE(SendMessageA(icon, STM_GETICON, 0, 0));
        HWND line = GetWindow(GetWindow(GetWindow(icon, GW_HWNDNEXT), GW_HWNDNEXT), GW_HWNDNEXT);
        EXPECT_EQ(static_cast<LONG>(SS_ETCHEDHORZ), GetWindowLongA(line, GWL_STYLE) & SS_TYPEMASK);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, 15101), GWL_STYLE) & WS_TABSTOP);
        PressSheetButton(sheet, PSBTN_CANCEL);
    });
}

TEST_F(AboutPage, TemplateIsAPropertyPageInBothLanguages)
{
    for (WORD language : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) {
        SCOPED_TRACE(language);
        HRSRC found = FindResourceExA(applet.Get(), RT_DIALOG, MAKEINTRESOURCEA(10000), language);
        ASSERT_TRUE(found);
        const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(applet.Get(), found)));
        ASSERT_TRUE(dialog);
        EXPECT_EQ(0x48C00040u, dialog->style);
        EXPECT_EQ(210, dialog->cx);
        EXPECT_EQ(140, dialog->cy);
        EXPECT_EQ(7, dialog->cdit);
        // menu and class are none, then the title.
        const WORD* words = reinterpret_cast<const WORD*>(dialog + 1);
        ASSERT_EQ(0, words[0]);
        ASSERT_EQ(0, words[1]);
        EXPECT_EQ(std::wstring(L"About"), std::wstring(reinterpret_cast<const wchar_t*>(words + 2)));
    }
}

TEST_F(AboutPage, GoOnlineOpensTheAddressEachTimeItIsPressed)
{
    HWND aboutPage = nullptr;
    bool enabledAfter = false;
    Open([&](HWND sheet, HWND page) {
        aboutPage = page;
        ClickButton(page, 15101);
        ClickButton(page, 15101);
        enabledAfter = IsWindowEnabled(GetDlgItem(page, 15101)) != FALSE;
        PressSheetButton(sheet, PSBTN_CANCEL);
    });
    ASSERT_EQ(2u, observer.shellExecutes.size());
    for (const ShellExecuteCall& call : observer.shellExecutes) {
        EXPECT_EQ(aboutPage, call.owner);
        EXPECT_EQ("(null)", call.verb);
        EXPECT_EQ("http://kelvara.invalid/", call.file);
        EXPECT_EQ("(null)", call.parameters);
        EXPECT_EQ("(null)", call.directory);
        EXPECT_EQ(SW_SHOW, call.show);
    }
    EXPECT_TRUE(enabledAfter);
}

TEST_F(AboutPage, HelpOpensTopic10000OfTheInstallationDirectorysHelpFile)
{
    std::string directory = temp.Path();
    std::string fallback = SystemDirectory() + "\\ShellExt\\KELVARA.HLP";
    // The directory has KELVARA.CHM too: Windows 10 opens it, unless on Wine.
    ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CHM"), directory + "\\KELVARA.CHM"));
    struct Row {
        const char* name;
        std::function<void()> prepare;
        std::string path;
        const HelpSystem& system;
    } rows[] = {
        {"directory with a backslash", [&] { key.SetDirectory(directory + "\\"); }, directory + "\\KELVARA.HLP",
         kHelpSystems[3]},
        {"directory without one", [&] { key.SetDirectory(directory); }, directory + "\\KELVARA.HLP", kHelpSystems[4]},
        // No KELVARA.CHM in the fallback directory: WinHelp on Windows 10 too.
        {"key missing", [] {}, fallback, kHelpSystems[3]},
        {"key without the unnamed value", [&] { key.Create(); }, fallback, kHelpSystems[0]},
        {"empty unnamed value", [&] { key.SetDirectory(""); }, fallback, kHelpSystems[1]},
        // 248 characters and a backslash leave no room for the name: a cut path
        // would name another file, so no help opens.
        {"directory too long for the name",
         [&] { key.SetDirectory(directory + std::string(248 - directory.size(), 'd')); }, "", kHelpSystems[3]},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
        row.prepare();
        HelpRecorder help(applet.Get(), &row.system);
        observer.keyOpens.clear();
        HWND sheetWindow = nullptr;
        bool helpEnabled = false;
        size_t helpWhileOpen = 0;
        Open([&](HWND sheet, HWND) {
            sheetWindow = sheet;
            helpEnabled = IsWindowEnabled(GetDlgItem(sheet, IDHELP)) != FALSE;
            PressSheetButton(sheet, PSBTN_HELP);
            helpWhileOpen = help.calls.size();
            PressSheetButton(sheet, PSBTN_CANCEL);
        });
        EXPECT_TRUE(helpEnabled);
        if (row.path.empty()) {
            EXPECT_EQ(0u, help.calls.size());
            continue;
        }
        EXPECT_EQ(1u, helpWhileOpen);
        ASSERT_EQ(2u, help.calls.size());
        EXPECT_EQ(ExpectedHelpCall(row.system, applet.Get(), sheetWindow, row.path, HELP_CONTEXT, 10000),
                  help.calls[0]);
        // Closing the sheet closes the help it opened.
        EXPECT_EQ(ExpectedHelpCall(row.system, applet.Get(), sheetWindow, row.path, HELP_QUIT, 0), help.calls[1]);
        // The help path needs no more than reading the key.
        ASSERT_GE(observer.keyOpens.size(), 2u);
        EXPECT_EQ(static_cast<REGSAM>(KEY_QUERY_VALUE), observer.keyOpens[observer.keyOpens.size() - 2]);
        EXPECT_EQ(static_cast<REGSAM>(KEY_QUERY_VALUE), observer.keyOpens.back());
    }
}

}  // namespace
