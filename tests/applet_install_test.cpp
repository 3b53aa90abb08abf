// The applet's Install and the removal that follows it, run with the real setup
// library on the KELVARA.INF that lies beside a copy of the applet, on both families.
#include "applet_host.h"
#include "deliverables.h"
#include "message_boxes.h"
#include "modal_driver.h"
#include "text.h"
#include <gtest/gtest.h>

namespace {

typedef BOOL(WINAPI* InstallEntry)(HWND);
typedef int(__cdecl* UninstallEntry)();

const char kRemovalKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvara";
const char kPropertiesKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties";
const RegistryValue kOne{REG_DWORD, std::string("\1\0\0\0", 4)};

class AppletInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        system = SystemDirectory();
        for (const std::string& path : InstalledFiles())
            ASSERT_FALSE(FileExists(path)) << path << ": the prefix must not have the applet installed";
        // A directory whose name holds a '.': the INF is still found beside the applet.
        ASSERT_NE(std::string::npos, source.Path().find('.'));
        ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CPL"), source / "KELVARA.CPL"));
        ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.INF"), source / "KELVARA.INF"));
        // The help files are built elsewhere; a stand-in keeps the setup library from
        // prompting for a missing source file.
        for (const char* help : {"KELVARA.HLP", "KELVARA.CHM"}) {
            if (!CopyFileTo(DistPath(help), source / help))
                source.WriteFile(help, "help file stand-in");
        }
        applet.reset(new LoadedLibrary(source / "KELVARA.CPL"));
        ASSERT_TRUE(applet->Get());
        install = applet->Export<InstallEntry>("Install");
        uninstall = applet->Export<UninstallEntry>("Uninstall");
        ASSERT_TRUE(install && uninstall);
        observer.reset(new AppletObserver(applet->Get()));
        boxes.reset(new MessageBoxScript(applet->Get()));
        ASSERT_TRUE(observer->Applied());
        ASSERT_TRUE(boxes->Applied());
    }

    void TearDown() override
    {
        boxes.reset();
        observer.reset();
        applet.reset();
        for (const std::string& path : InstalledFiles())
            DeleteFileA(path.c_str());
    }

    std::vector<std::string> InstalledFiles() const
    {
        return {system + "\\KELVARA.CPL", system + "\\ShellExt\\KELVARA.HLP", system + "\\ShellExt\\KELVARA.CHM",
                system + "\\ShellExt\\KELVARA.INF", system + "\\ShellExt\\KELVARA.INI"};
    }

    std::string system;
    ComponentKey key;
    SavedRegistryKeys removal{HKEY_LOCAL_MACHINE, {kRemovalKey, kPropertiesKey}};
    // Installed from a directory named in every script the code page spells.
    TempDir source{"kvi.src" + AllScriptNames()};
    OwnerWindow installer{"Install Kelvara"};
    std::unique_ptr<LoadedLibrary> applet;
    std::unique_ptr<AppletObserver> observer;
    std::unique_ptr<MessageBoxScript> boxes;
    InstallEntry install = nullptr;
    UninstallEntry uninstall = nullptr;
};

TEST_F(AppletInstall, InstallsWhereControlPanelLoadsItAndUninstallRemovesItAll)
{
    struct Row {
        const char* name;
        DWORD version;
        const char* install;
        const char* uninstall;
        const char* settings;  // the settings file there before the install, or null
    } rows[] = {
        {"95 family", kWindows98, "DefaultInstall", "DefaultUninstall"},
        {"NT family", kWindowsXp, "DefaultInstall" KELVARA_NT_DECORATION, "DefaultUninstall" KELVARA_NT_DECORATION},
        {"NT 6.1 with a settings file", 0x1DB10106, "DefaultInstall" KELVARA_NT_DECORATION,
         "DefaultUninstall" KELVARA_NT_DECORATION, "[root]\r\nPindrelFlags=7\r\n"},
    };
    std::string settings = system + "\\ShellExt\\KELVARA.INI";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool nt = !(row.version & 0x80000000);
        std::string properties = DescribeRegistryTree(ReadRegistryTree(HKEY_LOCAL_MACHINE, kPropertiesKey));
        CreateDirectoryA((system + "\\ShellExt").c_str(), nullptr);
        if (row.settings)
            ASSERT_TRUE(CopyFileTo(source.WriteFile("KELVARA.INI", row.settings), settings));
        // The help files carry Explorer's mark of a download, which Wine keeps as a
        // file of its own beside the file.
        const std::string marks[] = {system + "\\ShellExt\\KELVARA.HLP:Zone.Identifier",
                                     system + "\\ShellExt\\KELVARA.CHM:Zone.Identifier"};
        for (const std::string& mark : marks)
            ASSERT_TRUE(CopyFileTo(source.WriteFile("zone", "[ZoneTransfer]\r\nZoneId=3\r\n"), mark));
        observer->Reset();
        observer->version = row.version;

        ASSERT_TRUE(install(installer.Get()));
        EXPECT_EQ(std::vector<std::string>{source / "KELVARA.INF"}, observer->infOpens);
        ASSERT_EQ(1u, observer->sections.size());
        EXPECT_EQ(row.install, observer->sections[0].section);
        // The applet hands its owner to the setup library on both families.
        EXPECT_EQ(installer.Get(), observer->sections[0].owner);
        EXPECT_EQ(0x1Fu, observer->sections[0].flags);
        EXPECT_EQ(0x304u, observer->sections[0].copyFlags);
        ASSERT_EQ(1u, observer->rebootPrompts.size());
        EXPECT_EQ(nullptr, observer->rebootPrompts[0].queue);
        EXPECT_EQ(installer.Get(), observer->rebootPrompts[0].owner);
        EXPECT_FALSE(observer->rebootPrompts[0].scanOnly);
        EXPECT_EQ((nt ? std::vector<std::string>{"open", "section", "grant", "reboot"}
                      : std::vector<std::string>{"open", "section", "reboot"}), observer->order);
        EXPECT_TRUE(boxes->Boxes().empty());
        // Gone from the installed help on the NT family, where HTML Help would show no page.
        for (const std::string& mark : marks) {
            EXPECT_EQ(!nt, FileExists(mark)) << mark;
            DeleteFileA(mark.c_str());
        }
        // On the NT family every user may change the settings.
        EXPECT_EQ(nt, FileExists(settings));
        EXPECT_EQ(row.settings ? row.settings : "", ReadWholeFile(settings));
        for (SecurityCall& call : observer->securitySets) {
            EXPECT_EQ(settings, call.path);
            EXPECT_EQ(SE_FILE_OBJECT, call.type);
            EXPECT_EQ(static_cast<SECURITY_INFORMATION>(DACL_SECURITY_INFORMATION), call.info);
            // An allowing entry without inheritance flags lets Users read and write the file itself.
            BYTE users[] = {SID_REVISION, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};  // S-1-5-32-545
            const DWORD wanted = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
            ACL* acl = call.dacl.empty() ? nullptr : reinterpret_cast<ACL*>(call.dacl.data());
            ACCESS_ALLOWED_ACE* ace = nullptr;
            bool granted = false;
            for (DWORD i = 0; acl && !granted && GetAce(acl, i, reinterpret_cast<void**>(&ace)); ++i)
                granted = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && (ace->Mask & wanted) == wanted &&
                          !(ace->Header.AceFlags & VALID_INHERIT_FLAGS) && EqualSid(&ace->SidStart, users);
            EXPECT_TRUE(granted);
        }

        // The applet in the system directory, the shared files in "ShellExt" below it.
        EXPECT_EQ(ReadWholeFile(source / "KELVARA.CPL"), ReadWholeFile(system + "\\KELVARA.CPL"));
        for (const char* shared : {"KELVARA.HLP", "KELVARA.CHM", "KELVARA.INF"})
            EXPECT_EQ(ReadWholeFile(source / shared), ReadWholeFile(system + "\\ShellExt\\" + shared)) << shared;
        EXPECT_EQ(system + "\\ShellExt\\", RegistryString(HKEY_LOCAL_MACHINE, kComponentKey, nullptr));
        EXPECT_EQ("Kelvara", RegistryString(HKEY_LOCAL_MACHINE, kRemovalKey, "DisplayName"));
        EXPECT_EQ("rundll32.exe " + system + "\\KELVARA.CPL,Uninstall",
                  RegistryString(HKEY_LOCAL_MACHINE, kRemovalKey, "UninstallString"));
        EXPECT_EQ(KELVARA_VERSION, RegistryString(HKEY_LOCAL_MACHINE, kRemovalKey, "DisplayVersion"));
        EXPECT_EQ("Farrowmere", RegistryString(HKEY_LOCAL_MACHINE, kRemovalKey, "Publisher"));
        EXPECT_EQ(system + "\\KELVARA.CPL,0", RegistryString(HKEY_LOCAL_MACHINE, kRemovalKey, "DisplayIcon"));
        EXPECT_EQ(kOne, ReadRegistryTree(HKEY_LOCAL_MACHINE, kRemovalKey).values["NoModify"]);
        EXPECT_EQ(kOne, ReadRegistryTree(HKEY_LOCAL_MACHINE, kRemovalKey).values["NoRepair"]);
        // Control Panel's category of the item, read by the NT family's shell.
        auto category = ReadRegistryTree(HKEY_LOCAL_MACHINE, kPropertiesKey).subkeys["System.ControlPanel.Category"];
        EXPECT_EQ(nt ? kOne : RegistryValue(), category.values[system + "\\KELVARA.CPL"]);

        // The removal command's call: no component left, so the applet goes at once.
        observer->Reset();
        observer->version = row.version;
        bool dialogSeen = false;
        ModalDriver driver(DialogWithControl(15101, "ListBox"), [&](HWND dialog) {
            dialogSeen = true;
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(1, uninstall());
        EXPECT_FALSE(dialogSeen);
        EXPECT_EQ(std::vector<std::string>{system + "\\ShellExt\\KELVARA.INF"}, observer->infOpens);
        ASSERT_EQ(1u, observer->sections.size());
        EXPECT_EQ(row.uninstall, observer->sections[0].section);
        EXPECT_EQ(nullptr, observer->sections[0].owner);
        for (const std::string& path : InstalledFiles())
            EXPECT_FALSE(FileExists(path)) << path;
        EXPECT_FALSE(key.Exists());
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kRemovalKey));
        EXPECT_EQ(properties, DescribeRegistryTree(ReadRegistryTree(HKEY_LOCAL_MACHINE, kPropertiesKey)));
        EXPECT_EQ(1u, observer->rebootPrompts.size());
        EXPECT_TRUE(boxes->Boxes().empty());
    }
}

TEST_F(AppletInstall, FailuresAreReportedAndOfferNoRestart)
{
    std::string inf = source / "KELVARA.INF";
    std::string faulty = "[Version]\r\nSignature=\"$Chicago$\"\r\n";
    for (int line = 3; line < 12; ++line)
        faulty += "; line " + std::to_string(line) + "\r\n";
    faulty += "[Broken\r\n";
    std::string errorLine = Localized("The INF file contains an error line.\nFile: ",
                                      "INF ファイルにエラー行が含まれています。\nファイル : ") +
                            inf + Localized("\nLine: 12", "\n行 : 12");
    std::string noMemory = Localized("Not enough memory.", "メモリが不足しています。");
    struct Row {
        const char* name;
        std::function<void()> prepare;
        std::string message;  // "" for none
        bool owned;           // the box has the installer as owner
    } rows[] = {
        {"syntax error on line 12", [&] { source.WriteFile("KELVARA.INF", faulty); }, errorLine, true},
        {"INF file missing", [&] { DeleteFileA(inf.c_str()); }, SystemErrorText(ERROR_FILE_NOT_FOUND), false},
        {"queue callback context not available", [&] { observer->failQueueContext = true; }, noMemory, true},
        {"the section fails", [&] { observer->failSection = true; }, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.INF"), inf));
        observer->Reset();
        size_t before = boxes->Boxes().size();
        row.prepare();
        EXPECT_FALSE(install(installer.Get()));
        EXPECT_TRUE(observer->rebootPrompts.empty());
        EXPECT_TRUE(observer->securitySets.empty());
        if (row.message.empty()) {
            EXPECT_EQ(before, boxes->Boxes().size());
            continue;
        }
        ASSERT_EQ(before + 1, boxes->Boxes().size());
        EXPECT_EQ((RecordedBox{row.owned ? installer.Get() : nullptr, row.message, "Kelvara", MB_ICONERROR}),
                  boxes->Boxes().back());
        EXPECT_TRUE(observer->sections.empty());
    }
}

}  // namespace
