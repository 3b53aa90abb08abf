// The resources as built into the shipped files: in both languages, where Tab stops
// and where groups start, and SETUP.EXE's dialog, icon and messages, which run in a
// process of their own and so are read from the file; and every file's version.
#include "deliverables.h"
#include "foreign_windows.h"
#include <winver.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace {

const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// A shipped file loaded as data: its resources only, none of its code.
class DataFile {
public:
    explicit DataFile(const char* name)
        : module_(LoadLibraryExA(DistPath(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
    }
    ~DataFile() { if (module_) FreeLibrary(module_); }
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    HMODULE Get() const { return module_; }
    const BYTE* Resource(LPCSTR type, int id, WORD language) const
    {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language);
        return found ? static_cast<const BYTE*>(LockResource(LoadResource(module_, found))) : nullptr;
    }
private:
    HMODULE module_;
};

struct ControlTemplate {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring className;  // the predefined ones by name
    std::wstring text;       // "#n" for a resource number
};

struct DialogTemplate {
    DWORD style;
    short cx, cy;
    std::wstring title;
    WORD pointSize;
    std::wstring font;
    std::vector<ControlTemplate> controls;
};

// Reads a name or number field of a template, moving p past it.
std::wstring ReadNameOrNumber(const WORD*& p)
{
    if (*p == 0xFFFF) {
        WORD number = p[1];
        p += 2;
        const wchar_t* const atoms[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar", L"ComboBox"};
        if (number >= 0x80 && number <= 0x85)
            return atoms[number - 0x80];
        return L"#" + std::to_wstring(number);
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(p));
    p += text.size() + 1;
    return text;
}

// A DIALOG (not DIALOGEX) template: the header, then each control on a DWORD boundary.
DialogTemplate ParseDialog(const BYTE* data)
{
    DialogTemplate dialog = {};
    const auto* header = reinterpret_cast<const DLGTEMPLATE*>(data);
    dialog.style = header->style;
    dialog.cx = header->cx;
    dialog.cy = header->cy;
    const WORD* p = reinterpret_cast<const WORD*>(data + 18);
    ReadNameOrNumber(p);  // menu
    ReadNameOrNumber(p);  // class
    dialog.title = ReadNameOrNumber(p);
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = *p++;
        dialog.font = ReadNameOrNumber(p);
    }
    for (int i = 0; i < header->cdit; ++i) {
        const BYTE* at = reinterpret_cast<const BYTE*>(p);
        at = data + ((at - data + 3) & ~3);
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(at);
        ControlTemplate control = {item->style, item->x, item->y, item->cx, item->cy,
                                   static_cast<short>(item->id), L"", L""};
        p = reinterpret_cast<const WORD*>(at + 18);
        control.className = ReadNameOrNumber(p);
        control.text = ReadNameOrNumber(p);
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p + 1) + *p);  // creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

BOOL CALLBACK CollectDialog(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(param)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Tab and group flags of one control: 'T' a tab stop, 'G' the start of a group.
struct ControlFlags {
    int id;
    const wchar_t* className;
    const char* flags;
};

struct DialogFlags {
    const char* file;
    int id;
    std::vector<ControlFlags> controls;
};

// In template order, which is the tab order. Of the radio buttons only the first
// of a group is a tab stop, so Tab reaches the group once and the arrow keys move
// inside it. A text static starts a group, as its resource statement makes it,
// and so ends a radio group before it; push buttons are tab stops.
const DialogFlags kDialogs[] = {
    {"KELVARA.CPL", 10000,
     {{-1, L"Static", ""}, {-1, L"Static", "G"}, {-1, L"Static", "G"}, {-1, L"Static", ""}, {-1, L"Static", "G"},
      {-1, L"Static", "G"}, {15101, L"Button", "T"}}},
    {"KELVARA.CPL", 15002,
     {{-1, L"Static", ""}, {-1, L"Static", "G"}, {15101, L"ListBox", "T"}, {1, L"Button", "TG"},
      {2, L"Button", "T"}, {32651, L"Button", "T"}}},
    {"PINDREL.DLL", 25000,
     {{20000, L"Button", "TG"}, {-1, L"Button", ""}, {20001, L"Button", "T"}, {20002, L"Button", "T"},
      {20003, L"Button", "T"}, {20004, L"Button", "T"}, {-1, L"Static", "G"}}},
    {"PINDREL.DLL", 25001,
     {{-1, L"Static", "G"}, {25101, L"Button", "TG"}, {25102, L"Button", ""}, {25103, L"Button", ""},
      {-1, L"Button", ""}, {-1, L"Static", "G"}, {25112, L"Edit", "T"}, {-1, L"Static", "G"},
      {-1, L"Static", "G"}, {25111, L"ComboBox", "T"}, {-1, L"Static", "G"}, {25113, L"Button", "TG"},
      {25114, L"Button", "T"}, {25115, L"Button", "T"}, {25012, L"Static", ""}, {25011, L"Edit", ""},
      {-1, L"Static", ""}}},
    {"PINDREL.DLL", 25002,
     {{-1, L"Static", "G"}, {25202, L"Button", "TG"}, {25201, L"Button", ""}, {25203, L"Button", ""},
      {-1, L"Static", "G"}, {25211, L"ListBox", "T"}, {25212, L"Static", "G"}, {25213, L"ListBox", "T"},
      {25013, L"Button", "T"}, {25012, L"Static", ""}, {25011, L"Edit", ""}, {-1, L"Static", ""}}},
    {"PINDREL.DLL", 25003,
     {{-1, L"Static", "G"}, {25301, L"ListBox", "T"}, {-1, L"Static", "G"}, {25303, L"Static", "G"},
      {25302, L"Static", ""}, {25304, L"Button", "T"}, {25013, L"Button", "T"}, {25012, L"Static", ""},
      {25011, L"Edit", ""}, {-1, L"Static", ""}}},
    {"SETUP.EXE", 12000,
     {{1, L"Button", "TG"}, {2, L"Button", "T"}, {32651, L"Button", "T"}, {-1, L"Static", ""},
      {-1, L"Static", "G"}, {15101, L"ListBox", "T"}}},
};

TEST(DialogTemplates, TabStopsAndGroupsOfEveryDialogInBothLanguages)
{
    std::map<std::string, std::set<int>> listed;
    for (const DialogFlags& dialog : kDialogs)
        listed[dialog.file].insert(dialog.id);
    listed["QUORBIN.DLL"];
    for (const auto& file : listed) {
        DataFile module(file.first.c_str());
        ASSERT_TRUE(module.Get()) << file.first;
        std::set<int> built;
        EnumResourceNamesA(module.Get(), RT_DIALOG, CollectDialog, reinterpret_cast<LONG_PTR>(&built));
        EXPECT_EQ(file.second, built) << file.first << ": dialogs without a row here, or rows without a dialog";
    }

    for (const DialogFlags& row : kDialogs) {
        DataFile module(row.file);
        for (WORD language : {kEnglish, kJapanese}) {
            SCOPED_TRACE(std::string(row.file) + " dialog " + std::to_string(row.id) +
                         (language == kEnglish ? " English" : " Japanese"));
            const BYTE* data = module.Resource(RT_DIALOG, row.id, language);
            ASSERT_TRUE(data);
            DialogTemplate dialog = ParseDialog(data);
            ASSERT_EQ(row.controls.size(), dialog.controls.size());
            for (size_t i = 0; i < row.controls.size(); ++i) {
                const ControlFlags& want = row.controls[i];
                const ControlTemplate& have = dialog.controls[i];
                SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(want.id) + ")");
                EXPECT_EQ(want.id, have.id);
                EXPECT_EQ(0, lstrcmpiW(want.className, have.className.c_str())) << Utf8(have.className);
                std::string flags = std::string(have.style & WS_TABSTOP ? "T" : "") + (have.style & WS_GROUP ? "G" : "");
                EXPECT_EQ(want.flags, flags);
            }
        }
    }
}

TEST(DialogTemplates, SetupDialogIconAndMessagesInBothLanguages)
{
    DataFile setup("SETUP.EXE");
    ASSERT_TRUE(setup.Get());
    struct Control {
        int id;
        const char* english;
        const char* japanese;  // UTF-8
        short x, y, cx, cy, jx, jy, jcx, jcy;
        DWORD style;  // the kind's own bits
    } const controls[] = {
        {1, "Continue", u8"続行", 32, 95, 45, 14, 22, 95, 45, 14, BS_DEFPUSHBUTTON},
        {2, "Cancel", u8"キャンセル", 80, 95, 45, 14, 70, 95, 45, 14, BS_PUSHBUTTON},
        {32651, "&Help", u8"ヘルプ(&H)", 128, 95, 45, 14, 118, 95, 45, 14, BS_PUSHBUTTON},
        {-1, "#12000", "#12000", 7, 7, 20, 20, 7, 7, 20, 20, SS_ICON},
        {-1, "This program installs Kelvara.\nSelect the components to install:",
         u8"Kelvara をセットアップします。インストールするコンポーネントを選択してください。", 35, 7, 138, 24, 38, 7, 125,
         24, SS_LEFT},
        {15101, "", "", 7, 42, 166, 44, 7, 42, 156, 44,
         LBS_NOTIFY | LBS_SORT | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL},
    };
    for (WORD language : {kEnglish, kJapanese}) {
        bool english = language == kEnglish;
        SCOPED_TRACE(english ? "English" : "Japanese");
        const BYTE* data = setup.Resource(RT_DIALOG, 12000, language);
        ASSERT_TRUE(data);
        DialogTemplate dialog = ParseDialog(data);
        EXPECT_EQ(0x80C808C0u, dialog.style);
        EXPECT_EQ(english ? 180 : 170, dialog.cx);
        EXPECT_EQ(116, dialog.cy);
        EXPECT_EQ(L"Install Kelvara", dialog.title);
        EXPECT_EQ(english ? 8 : 9, dialog.pointSize);
        EXPECT_EQ(english ? L"MS Sans Serif" : Wide(u8"ＭＳ Ｐゴシック"), dialog.font);
        ASSERT_EQ(std::size(controls), dialog.controls.size());
        for (size_t i = 0; i < dialog.controls.size(); ++i) {
            const Control& want = controls[i];
            const ControlTemplate& have = dialog.controls[i];
            SCOPED_TRACE(want.english);
            EXPECT_EQ(want.id, have.id);
            EXPECT_EQ(Wide(english ? want.english : want.japanese), have.text) << Utf8(have.text);
            short rect[4] = {have.x, have.y, have.cx, have.cy};
            const short* expected = english ? &want.x : &want.jx;
            EXPECT_EQ(std::vector<short>(expected, expected + 4), std::vector<short>(rect, rect + 4));
            DWORD kind = lstrcmpiW(have.className.c_str(), L"ListBox") == 0 ? 0xFFFF : 0x1F;
            EXPECT_EQ(want.style, have.style & (want.style | kind));
        }

        // Icon group 12000: one 32 x 32 image.
        const BYTE* group = setup.Resource(RT_GROUP_ICON, 12000, language);
        if (!group)
            group = setup.Resource(RT_GROUP_ICON, 12000, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
        ASSERT_TRUE(group);
        const WORD* directory = reinterpret_cast<const WORD*>(group);
        ASSERT_EQ(1, directory[2]) << "images in the group";
        EXPECT_EQ(32, group[6]);
        EXPECT_EQ(32, group[7]);

        // The messages a failed selection shows, which no test can make it show.
        struct Message {
            int id;
            const char* english;
            const char* japanese;
        } const messages[] = {
            {13002, "Not enough memory.", u8"メモリが不足しています。"},
            {13003, "Setup failed due to an unexpected error.", u8"予期しないエラーが発生しました。"},
        };
        for (const Message& message : messages) {
            const WORD* block = reinterpret_cast<const WORD*>(setup.Resource(RT_STRING, message.id / 16 + 1, language));
            ASSERT_TRUE(block) << message.id;
            for (int i = 0; i < message.id % 16; ++i)
                block += 1 + *block;
            EXPECT_EQ(Wide(english ? message.english : message.japanese),
                      std::wstring(reinterpret_cast<const wchar_t*>(block + 1), *block))
                << message.id;
        }
    }
}

// What Explorer's Version tab and SetupAPI's version check read: the fixed file
// information and the version texts all carry the suite's one version.
TEST(VersionResources, EveryShippedFileCarriesTheSuiteVersion)
{
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(3, sscanf(KELVARA_VERSION, "%u.%u.%u", &major, &minor, &patch));
    for (const char* name : {"SETUP.EXE", "PINDREL.DLL", "QUORBIN.DLL", "KELVARA.CPL"}) {
        SCOPED_TRACE(name);
        std::string path = DistPath(name);
        DWORD handle = 0;
        std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &handle));
        ASSERT_FALSE(data.empty());
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(major << 16 | minor, fixed->dwFileVersionMS);
        EXPECT_EQ(patch << 16, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
        // Every language the file names carries its texts: a Japanese Windows' Version
        // tab reads 041103A4.
        WORD* names = nullptr;
        UINT bytes = 0;
        ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&names), &bytes));
        ASSERT_EQ(std::vector<WORD>({0x409, 1252, 0x411, 932}), std::vector<WORD>(names, names + bytes / 2));
        for (int i = 0; i < 4; i += 2) {
            for (const char* value : {"FileVersion", "ProductVersion"}) {
                char query[64];
                wsprintfA(query, "\\StringFileInfo\\%04X%04X\\%s", names[i], names[i + 1], value);
                char* text = nullptr;
                ASSERT_TRUE(VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &size)) << query;
                EXPECT_STREQ(KELVARA_VERSION, text) << query;
            }
        }
    }
}

}  // namespace
