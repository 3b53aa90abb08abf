// The per-user flags word in KELVARA.INI beside PINDREL.DLL, seen through the pages
// the extension adds and through its settings page, with the real profile functions.
#include "pindrel_copy.h"
#include "resource.h"
#include <gtest/gtest.h>

namespace {

using CplGetPageFn = BOOL(WINAPI*)(PROPSHEETPAGEA*);

// The settings page of a loaded PINDREL.DLL in a sheet, and its check boxes.
struct SettingsPage {
    explicit SettingsPage(HMODULE module)
    {
        PROPSHEETPAGEA page = {};
        page.dwSize = PROPSHEETPAGEA_V1_SIZE;
        auto get = reinterpret_cast<CplGetPageFn>(GetProcAddress(module, "CplGetPage"));
        if (get && get(&page) && sheet.ShowStructures({page}))
            window = sheet.SelectPage(0);
    }
    bool Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    SheetHost sheet;
    HWND window = nullptr;
};

// Whether the extension adds the Touch page for a writable file: true exactly
// when the flags word read has bit 0x01 set.
bool AddsTouchPage(const PindrelCopy& pindrel, const std::string& file)
{
    IShellExtInit* extension = pindrel.NewExtension({file});
    if (!extension)
        return false;
    SheetHost sheet;
    bool touch = ShowPages(extension, sheet).size() == 2;  // Touch and Icons for a text file
    extension->Release();
    return touch;
}

TEST(Settings, NoFileReadsTheDefault)
{
    PindrelCopy pindrel;
    ASSERT_TRUE(pindrel.Module());
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(pindrel.IniPath().c_str()));
    SettingsPage page(pindrel.Module());
    ASSERT_TRUE(page.window);
    for (int id : {IDC_ENABLE, IDC_SHOW_TOUCH, IDC_SHOW_ICONS, IDC_SHOW_BITMAPS}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(page.Checked(id));
    }
    EXPECT_FALSE(page.Checked(IDC_ICONS_ONLY_WITH_ICONS));
}

TEST(Settings, FileBesideTheModuleWhateverTheCurrentDirectory)
{
    PindrelCopy pindrel;
    ASSERT_TRUE(pindrel.Module());
    std::string file = pindrel.Temp().WriteFile("file.txt", "x");
    TempDir elsewhere;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));
    // A settings file in the current directory is not the one read.
    WritePrivateProfileStringA(LogonName().c_str(), "PindrelFlags", "39", (elsewhere / "KELVARA.INI").c_str());
    pindrel.WriteFlags(0x02);
    EXPECT_FALSE(AddsTouchPage(pindrel, file));
    pindrel.WriteFlags(0x03);
    EXPECT_TRUE(AddsTouchPage(pindrel, file));
    SetCurrentDirectoryA(previous);
}

TEST(Settings, ApplyWritesDecimalTextInTheUsersSection)
{
    PindrelCopy pindrel;
    ASSERT_TRUE(pindrel.Module());
    pindrel.WriteFlags(0x17);
    {
        SettingsPage page(pindrel.Module());
        ASSERT_TRUE(page.window);
        pindrel.WriteFlags(0x07);  // changed behind the page: OK writes what the page shows
        page.sheet.Press(PSBTN_OK);
    }
    char text[32] = "";
    GetPrivateProfileStringA(LogonName().c_str(), "PindrelFlags", "", text, sizeof text, pindrel.IniPath().c_str());
    EXPECT_STREQ("23", text);
}

// Wine's GetUserNameA answers the process's WINEUSERNAME variable; setting it before
// the library is loaded stands in for another logon (the section is chosen once, at
// load time).
class ScopedUserName {
public:
    explicit ScopedUserName(const std::string& name)
    {
        GetEnvironmentVariableA("WINEUSERNAME", previous_, sizeof previous_);
        SetEnvironmentVariableA("WINEUSERNAME", name.c_str());
    }
    ~ScopedUserName() { SetEnvironmentVariableA("WINEUSERNAME", previous_); }
private:
    char previous_[256] = "";
};

TEST(Settings, OneSectionPerUserAndDefaultForLongNames)
{
    struct Row {
        std::string user;
        std::string section;
    } rows[] = {
        {"alice", "alice"},
        {"bob", "bob"},
        {std::string(31, 'c'), std::string(31, 'c')},
        {std::string(32, 'd'), "Default"},
        {std::string(40, 'e'), "Default"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.user);
        ScopedUserName user(row.user);
        ASSERT_EQ(row.user, LogonName());
        PindrelCopy pindrel;
        ASSERT_TRUE(pindrel.Module());
        // Touch on in this user's section only; another section says off.
        pindrel.WriteFlags(0x03, row.section);
        pindrel.WriteFlags(0x02, row.section == "Default" ? "alice" : "Default");
        {
            SettingsPage page(pindrel.Module());
            ASSERT_TRUE(page.window);
            EXPECT_TRUE(page.Checked(IDC_SHOW_TOUCH));
        }
        pindrel.WriteFlags(0x02, row.section);
        SettingsPage page(pindrel.Module());
        ASSERT_TRUE(page.window);
        EXPECT_FALSE(page.Checked(IDC_SHOW_TOUCH));
    }
}

}  // namespace
