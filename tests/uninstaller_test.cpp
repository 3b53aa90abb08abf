// The applet's Uninstall: the component list, each chosen component's own Uninstall,
// and the applet's own removal through the real setup library and KELVARA.INF.
#include "applet_host.h"
#include "deliverables.h"
#include "message_boxes.h"
#include "modal_driver.h"
#include "sheet_host.h"
#include "text.h"
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <set>

namespace {

typedef int(__cdecl* UninstallEntry)();


class Uninstaller : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(applet.Get());
        uninstall = applet.Export<UninstallEntry>("Uninstall");
        ASSERT_TRUE(uninstall);
        ASSERT_TRUE(observer.Applied());
        ASSERT_TRUE(boxes.Applied());
        ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.INF"), temp / "KELVARA.INF"));
        temp.WriteFile("KELVARA.INI", "[root]\r\nPindrelFlags=7\r\n");
        temp.WriteFile("KELVARA.GID", "index");
        SetEnvironmentVariableA("KVUN_CALLS", "");
    }

    // A copy of the stand-in component named name.DLL, doing what mode says.
    std::string Component(const std::string& name, const char* mode = "remove")
    {
        SetEnvironmentVariableA(("KVUN_" + name).c_str(), mode);
        return CopyFixture(temp.Path(), "UNINST.DLL", name + ".DLL");
    }

    // Runs Uninstall; drive gets the dialog when one is shown.
    int Run(const std::function<void(HWND dialog)>& drive = nullptr)
    {
        ModalDriver driver(DialogWithControl(15101, "ListBox"), [&](HWND dialog) {
            dialogSeen = true;
            if (drive)
                drive(dialog);
            else
                ClickButton(dialog, IDCANCEL);
        });
        return uninstall();
    }

    static std::string Calls()
    {
        char calls[1024] = "";
        GetEnvironmentVariableA("KVUN_CALLS", calls, sizeof calls);
        return calls;
    }
    bool SharedFilesStay() const
    {
        return FileExists(temp / "KELVARA.INI") && FileExists(temp / "KELVARA.GID") &&
               FileExists(temp / "KELVARA.INF");
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& box : boxes.Boxes())
            texts.push_back(box.text);
        return texts;
    }

    ComponentKey key;
    // The installation directory, named in every script the code page spells.
    TempDir temp{"kvu" + AllScriptNames()};
    LoadedLibrary applet{DistPath("KELVARA.CPL")};
    AppletObserver observer{applet.Get()};
    MessageBoxScript boxes{applet.Get()};
    UninstallEntry uninstall = nullptr;
    bool dialogSeen = false;
};

TEST_F(Uninstaller, KeyWithOnlyTheDirectoryRemovesTheAppletAtOnce)
{
    struct Row {
        const char* name;
        bool backslash;
        DWORD version;
        const char* section;
    } rows[] = {
        {"95 family, directory with a backslash", true, kWindows98, "DefaultUninstall"},
        {"95 family, directory without one", false, kWindows98, "DefaultUninstall"},
        {"NT family, directory with a backslash", true, kWindowsXp, "DefaultUninstall" KELVARA_NT_DECORATION},
        {"NT family, directory without one", false, kWindowsXp, "DefaultUninstall" KELVARA_NT_DECORATION},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        temp.WriteFile("KELVARA.INI", "settings");
        temp.WriteFile("KELVARA.GID", "index");
        key.SetDirectory(row.backslash ? temp.Path() + "\\" : temp.Path());
        observer.Reset();
        observer.version = row.version;
        dialogSeen = false;

        EXPECT_EQ(1, Run());
        EXPECT_FALSE(dialogSeen);
        // Exactly one backslash before each file name, whatever the registry holds.
        EXPECT_EQ(std::vector<std::string>{temp / "KELVARA.INF"}, observer.infOpens);
        ASSERT_EQ(1u, observer.sections.size());
        EXPECT_EQ(row.section, observer.sections[0].section);
        EXPECT_EQ(nullptr, observer.sections[0].owner);
        EXPECT_EQ(0x1Fu, observer.sections[0].flags);
        EXPECT_EQ(0x304u, observer.sections[0].copyFlags);
        EXPECT_FALSE(FileExists(temp / "KELVARA.INI"));
        EXPECT_FALSE(FileExists(temp / "KELVARA.GID"));
        // The applet's value went; the key, which the test made, stays.
        EXPECT_TRUE(key.Values().empty());
        ASSERT_EQ(1u, observer.rebootPrompts.size());
        EXPECT_EQ(nullptr, observer.rebootPrompts[0].queue);
        EXPECT_EQ(nullptr, observer.rebootPrompts[0].owner);
        EXPECT_FALSE(observer.rebootPrompts[0].scanOnly);
        EXPECT_EQ((std::vector<std::string>{"open", "section", "reboot"}), observer.order);
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

TEST_F(Uninstaller, WithoutTheKeyTheInfIsLookedForBelowTheSystemDirectory)
{
    std::string directory = SystemDirectory() + "\\ShellExt";
    std::string inf = directory + "\\KELVARA.INF";
    ASSERT_FALSE(FileExists(inf)) << "the prefix must not have the applet installed";
    DWORD error = FileExists(directory) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;

    EXPECT_EQ(1, Run());
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(std::vector<std::string>{inf}, observer.infOpens);
    // The INF runner reported it; nothing else is done.
    EXPECT_EQ((std::vector<RecordedBox>{{nullptr, SystemErrorText(error), "Kelvara", MB_ICONERROR}}), boxes.Boxes());
    EXPECT_TRUE(observer.sections.empty());
    EXPECT_TRUE(observer.rebootPrompts.empty());
}

TEST_F(Uninstaller, ListsOnlyNamedStringValuesWithShortNames)
{
    std::string alpha = Component("ALPHA");
    std::string shortName(31, 'S');
    key.SetDirectory(temp.Path());
    key.Add("Alpha", alpha);
    key.Add(shortName, alpha);
    key.Add(std::string(32, 'L'), alpha);
    std::set<std::string> listable = {"Alpha", shortName};
    for (const std::string& name : ScriptNames()) {
        key.Add(name, alpha);
        listable.insert(name);
    }
    key.AddBytes("Binary", REG_BINARY, alpha);
    key.AddBytes("Expand", REG_EXPAND_SZ, alpha + '\0');
    key.AddBytes("Number", REG_DWORD, std::string(4, '\1'));
    auto before = key.Values();

    std::vector<std::string> items;
    std::string title;
    std::string continueText;
    bool continueEnabled = true;
    bool hasIcon = false;
    EXPECT_EQ(0, Run([&](HWND dialog) {
        items = ListItems(GetDlgItem(dialog, 15101));
        char text[128] = "";
        GetWindowTextA(dialog, text, sizeof text);
        title = text;
        GetDlgItemTextA(dialog, IDOK, text, sizeof text);
        continueText = text;
        continueEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
        hasIcon = SendMessageA(dialog, WM_GETICON, ICON_BIG, 0) != 0;
        ClickButton(dialog, IDCANCEL);
    }));
    EXPECT_TRUE(dialogSeen);
    // In the list's own order, which the locale's collation decides for the names.
    EXPECT_EQ(listable, std::set<std::string>(items.begin(), items.end()));
    EXPECT_EQ(listable.size(), items.size());
    EXPECT_EQ(Localized("Uninstall Kelvara", "Kelvara アンインストーラ"), title);
    EXPECT_EQ(Localized("Continue", "続行"), continueText);
    EXPECT_FALSE(continueEnabled);
    EXPECT_TRUE(hasIcon);
    // Cancel removes nothing.
    EXPECT_EQ("", Calls());
    EXPECT_EQ(before, key.Values());
    EXPECT_TRUE(observer.sections.empty());
    EXPECT_TRUE(observer.rebootPrompts.empty());
    EXPECT_TRUE(SharedFilesStay());
}

TEST_F(Uninstaller, KeyWithNothingListableRemovesTheApplet)
{
    key.SetDirectory(temp.Path());
    key.AddBytes("Number", REG_DWORD, std::string(4, '\0'));
    key.Add(std::string(40, 'L'), temp / "LONG.DLL");
    EXPECT_EQ(1, Run());
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(1u, observer.sections.size());
    EXPECT_EQ(1u, observer.rebootPrompts.size());
    EXPECT_FALSE(FileExists(temp / "KELVARA.INI"));
    // The applet's removal takes its own value only.
    EXPECT_EQ(2u, key.Values().size());
}

// The listing calls RegEnumValueA until the key has no more values; a key deleted
// as the dialog starts answers ERROR_KEY_DELETED at every index instead.
int enumCalls = 0;
LONG WINAPI EnumAfterTheKeyWent(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (++enumCalls == 1)
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
    if (enumCalls > 100)
        return ERROR_NO_MORE_ITEMS;  // far past any end: stop the walk for the test
    return RegEnumValueA(key, index, name, nameSize, reserved, type, data, dataSize);
}

TEST_F(Uninstaller, KeyDeletedWhileTheDialogStartsEndsTheListing)
{
    key.SetDirectory(temp.Path());
    key.Add("Alpha", Component("ALPHA"));
    ImportPatch enumPatch(applet.Get(), "advapi32.dll", "RegEnumValueA",
                          reinterpret_cast<const void*>(&EnumAfterTheKeyWent));
    ASSERT_TRUE(enumPatch.Applied());
    enumCalls = 0;
    EXPECT_EQ(0, Run());
    EXPECT_LE(enumCalls, 2);
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ("", Calls());
}

TEST_F(Uninstaller, ContinueWaitsForASelectionAndStaysDisabledWhileRemoving)
{
    std::string alpha = Component("ALPHA");
    key.SetDirectory(temp.Path());
    key.Add("Alpha", alpha);
    key.Add("Bravo", Component("BRAVO"));
    std::vector<bool> enabled;
    EXPECT_EQ(0, Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, 15101);
        HWND continueButton = GetDlgItem(dialog, IDOK);
        enabled.push_back(IsWindowEnabled(continueButton) != FALSE);
        ClickListItem(list, 0);
        enabled.push_back(IsWindowEnabled(continueButton) != FALSE);
        ClickListItem(list, 0);
        enabled.push_back(IsWindowEnabled(continueButton) != FALSE);
        ClickListItem(list, 0);
        ClickButton(dialog, IDOK);
    }));
    EXPECT_EQ((std::vector<bool>{false, true, false}), enabled);
    // Owned by the dialog, with Continue disabled during the call.
    EXPECT_EQ("ALPHA:10;", Calls());
    auto values = key.Values();
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ("Bravo", values[1].first);
    // A component went: the user is offered a restart, and the applet stays.
    ASSERT_EQ(1u, observer.rebootPrompts.size());
    EXPECT_EQ(nullptr, observer.rebootPrompts[0].owner);
    EXPECT_FALSE(observer.rebootPrompts[0].scanOnly);
    EXPECT_TRUE(observer.sections.empty());
    EXPECT_TRUE(SharedFilesStay());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(Uninstaller, ComponentsAreRemovedInTheListsOrder)
{
    // Each name's library; components named in any script the code page spells are
    // found again by the text the list shows.
    std::map<std::string, std::string> libraries = {{"B-Z", "FIRST"}, {"BA", "SECOND"}, {"ca", "THIRD"}};
    for (const std::string& name : ScriptNames())
        libraries[name] = "NAMED" + std::to_string(libraries.size());
    key.SetDirectory(temp.Path());
    for (const auto& library : libraries)
        key.Add(library.first, Component(library.second));
    std::vector<std::string> registryOrder;
    for (const auto& value : key.Values()) {
        if (!value.first.empty())
            registryOrder.push_back(value.first);
    }
    std::vector<std::string> listOrder;
    EXPECT_EQ(0, Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, 15101);
        listOrder = ListItems(list);
        for (int i = 0; i < static_cast<int>(listOrder.size()); ++i)
            ClickListItem(list, i);
        ClickButton(dialog, IDOK);
    }));
    ASSERT_EQ(libraries.size(), listOrder.size());
    ASSERT_NE(registryOrder, listOrder) << "the test needs the two orders to differ";
    std::string expected;
    for (const std::string& name : listOrder)
        expected += libraries[name] + ":10;";
    EXPECT_EQ(expected, Calls());
    EXPECT_EQ(1u, key.Values().size());
    EXPECT_EQ(1u, observer.rebootPrompts.size());
    EXPECT_TRUE(observer.sections.empty());
}

// A chosen component that stays installed stops the whole run after the rest of
// the selection was processed: removing the applet would leave it with nothing to
// remove it.
TEST_F(Uninstaller, ComponentNotRemovedAbortsTheUninstallation)
{
    std::string damaged = temp / "DAMAGED.DLL";
    temp.WriteFile("DAMAGED.DLL", "not a library");
    std::string noEntry = CopyFixture(temp.Path(), "NOPAGE.DLL", "NOENTRY.DLL");
    std::string aborted = Localized("Some components could not be removed.\nUninstallation is aborted.",
                                    "いくつかのコンポーネントが削除できませんでした。\nアンインストールを中断します。");
    struct Row {
        const char* name;
        std::string path;
        std::string message;  // "" when the component shows its own
    } rows[] = {
        {"library does not load", damaged,
         Localized("Can not load the library ", "ライブラリ ") + damaged +
             Localized(".", " をロードすることができません。")},
        {"no Uninstall entry", noEntry,
         Localized("Error at ", "") + noEntry +
             Localized(":\nThe entry \"Uninstall\" can not be found.",
                       " でエラーが発生しました :\nエントリ \"Uninstall\" が見つかりません。")},
        {"its Uninstall returns 0", Component("REFUSER", "refuse"), ""},
    };
    for (const Row& row : rows) {
        for (bool withAnother : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (withAnother ? ", with a component after it" : ", alone"));
            DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
            key.SetDirectory(temp.Path());
            key.Add("A failing", row.path);
            if (withAnother)
                key.Add("B removed", Component("LATER"));
            observer.Reset();
            boxes.Answer({});
            size_t boxesBefore = boxes.Boxes().size();
            SetEnvironmentVariableA("KVUN_CALLS", "");
            EXPECT_EQ(0, Run([&](HWND dialog) {
                HWND list = GetDlgItem(dialog, 15101);
                for (int i = 0; i < static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); ++i)
                    ClickListItem(list, i);
                ClickButton(dialog, IDOK);
            }));
            std::vector<std::string> all = Texts();
            std::vector<std::string> texts(all.begin() + boxesBefore, all.end());
            std::vector<std::string> expected;
            if (!row.message.empty())
                expected.push_back(row.message);
            expected.push_back(aborted);
            EXPECT_EQ(expected, texts);
            for (size_t i = boxesBefore; i < boxes.Boxes().size(); ++i) {
                EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes.Boxes()[i].type);
                EXPECT_EQ("Kelvara", boxes.Boxes()[i].caption);
                EXPECT_TRUE(boxes.Boxes()[i].owner);
            }
            std::string calls = Calls();
            EXPECT_EQ(withAnother, calls.find("LATER:10;") != std::string::npos) << calls;
            // No removal of the applet; a restart is offered only when something went.
            EXPECT_TRUE(observer.sections.empty());
            EXPECT_TRUE(SharedFilesStay());
            EXPECT_EQ(withAnother ? 1u : 0u, observer.rebootPrompts.size());
            EXPECT_TRUE(key.Exists());
        }
    }
}

TEST_F(Uninstaller, ComponentThatKeepsItsValueLetsTheAppletGo)
{
    key.SetDirectory(temp.Path());
    key.Add("Keeper", Component("KEEPER", "keep"));
    EXPECT_EQ(1, Run([](HWND dialog) {
        ClickListItem(GetDlgItem(dialog, 15101), 0);
        ClickButton(dialog, IDOK);
    }));
    EXPECT_EQ("KEEPER:10;", Calls());
    EXPECT_EQ(1u, observer.sections.size());
    EXPECT_FALSE(FileExists(temp / "KELVARA.INI"));
    EXPECT_EQ(1u, observer.rebootPrompts.size());
    // Still installed, still listed for the next run.
    EXPECT_EQ(1u, key.Values().size());
}

// A component whose library file is gone has nothing left to remove it: it is
// reported and taken off the list, and the next run removes the applet. The message
// text buffer holds 512 bytes: a path of 259 characters is shown whole.
TEST_F(Uninstaller, ComponentWhoseLibraryIsGoneIsReportedAndTakenOffTheList)
{
    std::string path = temp.Path() + "\\";
    path += std::string(259 - path.size() - 4, 'm') + ".DLL";
    ASSERT_EQ(259u, path.size());
    key.SetDirectory(temp.Path());
    key.Add("Long path", path);
    auto chooseAll = [](HWND dialog) {
        ClickListItem(GetDlgItem(dialog, 15101), 0);
        ClickButton(dialog, IDOK);
    };
    EXPECT_EQ(0, Run(chooseAll));
    ASSERT_EQ(1u, boxes.Boxes().size());
    std::string expected = Localized("Can not load the library ", "ライブラリ ") + path +
                           Localized(".", " をロードすることができません。");
    EXPECT_GT(expected.size(), 256u);
    EXPECT_EQ(expected, boxes.Boxes()[0].text);
    EXPECT_EQ(1u, key.Values().size());
    EXPECT_EQ(1u, observer.rebootPrompts.size());
    dialogSeen = false;
    EXPECT_EQ(1, Run(chooseAll));
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(1u, observer.sections.size());
}

TEST_F(Uninstaller, HelpOpensTopic15002OfTheInstallationDirectorysHelpFile)
{
    key.SetDirectory(temp.Path());
    key.Add("Alpha", Component("ALPHA"));
    ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CHM"), temp / "KELVARA.CHM"));
    for (const HelpSystem& system : kHelpSystems) {
        SCOPED_TRACE(system.name);
        HelpRecorder help(applet.Get(), &system);
        HWND uninstallDialog = nullptr;
        EXPECT_EQ(0, Run([&](HWND dialog) {
            uninstallDialog = dialog;
            ClickButton(dialog, 32651);
            ClickButton(dialog, IDCANCEL);
        }));
        // The help window stays open when the dialog ends.
        ASSERT_EQ(1u, help.calls.size());
        const std::string helpFile = temp / "KELVARA.HLP";
        EXPECT_EQ(ExpectedHelpCall(system, applet.Get(), uninstallDialog, helpFile, HELP_CONTEXT, 15002),
                  help.calls[0]);
    }
}

TEST_F(Uninstaller, DialogFollowsItsTemplate)
{
    for (WORD language : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) {
        SCOPED_TRACE(language);
        HRSRC found = FindResourceExA(applet.Get(), RT_DIALOG, MAKEINTRESOURCEA(15002), language);
        ASSERT_TRUE(found);
        const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(applet.Get(), found)));
        ASSERT_TRUE(dialog);
        EXPECT_EQ(0x80C808C0u, dialog->style);
        bool english = PRIMARYLANGID(language) == LANG_ENGLISH;
        EXPECT_EQ(english ? 180 : 170, dialog->cx);
        EXPECT_EQ(english ? 116 : 110, dialog->cy);
        EXPECT_EQ(6, dialog->cdit);
    }

    struct Row {
        int id;  // 0: the icon, -1: the text
        const char* english;
        const char* japanese;
        int x, y, w, h, jx, jy, jw, jh;
    } rows[] = {
        {0, "", "", 7, 7, 20, 20, 6, 7, 20, 20},
        {-1, "This program uninstalls Kelvara.\nSelect the components to uninstall:",
         "Kelvara を削除します。\n削除するコンポーネントを選択してください。", 35, 7, 138, 24, 35, 9, 128, 16},
        {15101, "", "", 7, 42, 166, 44, 7, 37, 156, 44},
        {IDOK, "Continue", "続行", 32, 95, 45, 14, 22, 89, 45, 14},
        {IDCANCEL, "Cancel", "キャンセル", 80, 95, 45, 14, 70, 89, 45, 14},
        {32651, "&Help", "ヘルプ(&H)", 128, 95, 45, 14, 118, 89, 45, 14},
    };
    key.SetDirectory(temp.Path());
    key.Add("Alpha", Component("ALPHA"));
    bool japanese = JapaneseRun();
    EXPECT_EQ(0, Run([&](HWND dialog) {
        HWND control = GetWindow(dialog, GW_CHILD);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.english);
            ASSERT_TRUE(control);
            if (row.id > 0)
                EXPECT_EQ(row.id, GetDlgCtrlID(control));
            RECT want = japanese ? TemplateRectInPixels(dialog, row.jx, row.jy, row.jw, row.jh)
                                 : TemplateRectInPixels(dialog, row.x, row.y, row.w, row.h);
            RECT have = ControlRectInPixels(dialog, control);
            EXPECT_EQ(want.left, have.left);
            EXPECT_EQ(want.top, have.top);
            if (row.id != 0) {
                char text[256] = "";
                GetWindowTextA(control, text, sizeof text);
                EXPECT_EQ(Localized(row.english, row.japanese), std::string(text));
                EXPECT_EQ(want.right, have.right) << "width";
                EXPECT_EQ(want.bottom, have.bottom) << "height";
            }
            control = GetWindow(control, GW_HWNDNEXT);
        }
        // Wine's list box hides an unneeded scroll bar and draws the border as a
        // client edge, so only the list's own bits are compared.
        LONG listStyle = GetWindowLongA(GetDlgItem(dialog, 15101), GWL_STYLE);
        LONG wanted = LBS_NOTIFY | LBS_SORT | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
        EXPECT_EQ(wanted, listStyle & wanted);
        EXPECT_EQ(static_cast<LONG>(BS_DEFPUSHBUTTON), GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & 0xF);
        EXPECT_EQ(0, SendMessageA(GetDlgItem(dialog, 15101), LB_GETSELCOUNT, 0, 0));
        ClickButton(dialog, IDCANCEL);
    }));
}

// A user without write access to the component key: the uninstaller changes nothing.
// From NT 6.0 on it starts itself again, marked, asking for the rights; a marked run
// that is refused again starts nothing more (User Account Control off gives it the
// same token).
TEST_F(Uninstaller, KeyClosedToWritesAsksForAdministratorRightsFromNt6On)
{
    const std::string relaunch = "\"" + DistPath("KELVARA.CPL") + "\",Uninstall /Relaunched";
    const std::string marked = "\"" + SystemDirectory() + "\\rundll32.exe\" " + relaunch + "  ";
    const RecordedBox declined{nullptr,
                               Localized("Uninstalling Kelvara needs administrator rights.\nNothing has been removed.",
                                         "Kelvara のアンインストールには管理者の権限が必要です。\n何も削除されていません。"),
                               "Kelvara", MB_ICONEXCLAMATION};
    struct Row {
        const char* name;
        DWORD version, elevated, executeError, shownError;  // the errors of ShellExecuteExA and the box, 0 none
        bool asks;                                          // ShellExecuteExA is called
        std::string commandLine;                            // "" the test's own
    } rows[] = {
        {"NT 6.1", 0x1DB10106, 0, 0, 0, true},
        {"NT 10.0", 0x4563000A, 0, 0, 0, true},
        {"NT 6.1, the user declines", 0x1DB10106, 0, ERROR_CANCELLED, 0, true},
        {"NT 6.1, the start fails", 0x1DB10106, 0, ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, true},
        {"NT 6.1, already elevated", 0x1DB10106, 1, 0, ERROR_ACCESS_DENIED, false},
        {"NT 6.1, started again and refused again", 0x1DB10106, 0, 0, ERROR_ACCESS_DENIED, false, marked},
        {"NT 6.1, the list of programs' command", 0x1DB10106, 0, 0, 0, true,
         "rundll32.exe " + SystemDirectory() + "\\KELVARA.CPL,Uninstall"},
        {"NT 5.1", kWindowsXp, 0, 0, ERROR_ACCESS_DENIED, false},
        {"95 family", kWindows98, 0, 0, ERROR_ACCESS_DENIED, false},
    };
    key.SetDirectory(temp.Path());
    auto before = key.Values();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        observer.Reset();
        observer.version = row.version;
        observer.elevated = row.elevated;
        observer.shellExecuteExError = row.executeError;
        observer.commandLine = row.commandLine;
        observer.denyKeyWrites = true;
        size_t boxesBefore = boxes.Boxes().size();
        dialogSeen = false;

        EXPECT_EQ(0, Run());
        EXPECT_FALSE(dialogSeen);
        ASSERT_EQ(row.asks ? 1u : 0u, observer.shellExecuteExs.size());
        for (const ShellExecuteCall& call : observer.shellExecuteExs) {
            EXPECT_EQ(nullptr, call.owner);
            EXPECT_EQ("runas", call.verb);
            EXPECT_EQ(SystemDirectory() + "\\rundll32.exe", call.file);
            EXPECT_EQ(relaunch, call.parameters);
            EXPECT_EQ(SW_SHOWNORMAL, call.show);
        }
        std::vector<RecordedBox> expected(row.shownError != 0,
                                          {nullptr, SystemErrorText(row.shownError), "Kelvara", MB_ICONERROR});
        if (row.executeError == ERROR_CANCELLED)
            expected.push_back(declined);
        EXPECT_EQ(expected, std::vector<RecordedBox>(boxes.Boxes().begin() + boxesBefore, boxes.Boxes().end()));
        EXPECT_TRUE(observer.sections.empty());
        EXPECT_TRUE(observer.rebootPrompts.empty());
        EXPECT_EQ(before, key.Values());
        EXPECT_TRUE(SharedFilesStay());
    }
}

TEST_F(Uninstaller, FailuresWhileTheDialogIsOpen)
{
    std::string noRegistry = Localized("Failed to open the system registry.", "レジストリを開くことができません。");
    std::string noMemory = Localized("Not enough memory.", "メモリが不足しています。");
    struct Row {
        const char* name;
        int failKeyOpenFrom;
        int failLocalAllocFrom;
        bool dialogStays;
        std::string message;
    } rows[] = {
        {"key cannot be opened when the dialog starts", 2, 0, false, noRegistry},
        {"key cannot be opened at Continue", 3, 0, true, noRegistry},
        {"index array cannot be allocated", 0, 1, true, noMemory},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kComponentKey);
        key.SetDirectory(temp.Path());
        key.Add("Alpha", Component("ALPHA"));
        observer.Reset();
        observer.failKeyOpenFrom = row.failKeyOpenFrom;
        observer.failLocalAllocFrom = row.failLocalAllocFrom;
        size_t boxesBefore = boxes.Boxes().size();
        dialogSeen = false;
        bool enabledAgain = false;
        bool openAfter = false;
        EXPECT_EQ(0, Run([&](HWND dialog) {
            ClickListItem(GetDlgItem(dialog, 15101), 0);
            ClickButton(dialog, IDOK);
            openAfter = IsWindowVisible(dialog) != FALSE;
            enabledAgain = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
            ClickButton(dialog, IDCANCEL);
        }));
        EXPECT_EQ(row.dialogStays, dialogSeen);
        if (row.dialogStays) {
            EXPECT_TRUE(openAfter);
            EXPECT_TRUE(enabledAgain);
        }
        ASSERT_EQ(boxesBefore + 1, boxes.Boxes().size());
        EXPECT_EQ(row.message, boxes.Boxes().back().text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes.Boxes().back().type);
        EXPECT_TRUE(boxes.Boxes().back().owner);
        EXPECT_EQ("", Calls());
        EXPECT_TRUE(observer.sections.empty());
        EXPECT_TRUE(observer.rebootPrompts.empty());
    }
}

}  // namespace
