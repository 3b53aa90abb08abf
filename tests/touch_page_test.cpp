// The Touch page of PINDREL.DLL in a real property sheet: what it shows, what typing
// enables, and the stamps Touch and Now write on real files.
#include "deliverables.h"
#include "drop_data_object.h"
#include "file_time_store.h"
#include "help_recorder.h"
#include "import_patch.h"
#include "look_alikes.h"
#include "prop_sheet_extension.h"
#include "resource.h"
#include "sheet_host.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <imm.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- recorders

std::vector<UINT> beeps;
BOOL WINAPI RecordBeep(UINT type)
{
    beeps.push_back(type);
    return TRUE;
}

// IMM32.DLL as PINDREL's run-time lookup finds it: the system's, missing as on an
// English Windows 95, or a library of that name without the function.
enum class InputMethods { Present, Missing, WithoutFunction };
InputMethods inputMethods = InputMethods::Present;
int imm32Lookups = 0;
HMODULE WINAPI AnswerLoadLibrary(const char* name)
{
    // Only by its full path: a bare name would find any IMM32.DLL on the search path.
    if (lstrcmpiA(name, (SystemDirectory() + "\\IMM32.DLL").c_str()) != 0)
        return LoadLibraryA(name);
    ++imm32Lookups;
    if (inputMethods == InputMethods::Missing) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryA(inputMethods == InputMethods::Present ? name : "VERSION.DLL");
}

// Frees of IMM32.DLL (loaded for one call by the page) are not the selected module's.
std::vector<HMODULE> freedModules;
BOOL WINAPI RecordFreeLibrary(HMODULE module)
{
    if (module != GetModuleHandleA("IMM32.DLL"))
        freedModules.push_back(module);
    return FreeLibrary(module);
}

// ---------------------------------------------------------------- time helpers

unsigned long long Ticks(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(unsigned long long ticks)
{
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return time;
}

FILETIME MakeFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
    FILETIME time = {};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &time)) << year << "/" << month << "/" << day;
    return time;
}

// What the page should write for a typed local time: the system's conversion by the
// date's own offset, as the page converts on Windows 7 (which Wine reports).
FILETIME LocalToUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME local = {year, month, 0, day, hour, minute, second, 0};
    SYSTEMTIME utc = {};
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME time = {};
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &time));
    return time;
}

std::string Describe(const FILETIME& time)
{
    SYSTEMTIME st = {};
    FileTimeToSystemTime(&time, &st);
    char text[64];
    wsprintfA(text, "%04d/%02d/%02d %02d:%02d:%02d.%07lu", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
              st.wSecond, static_cast<unsigned long>(Ticks(time) % 10000000));
    return text;
}

FILETIME LastWritten(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
    return data.ftLastWriteTime;
}

void SetLastWritten(const std::string& path, const FILETIME& time)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

FILETIME NowUtc()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

#define EXPECT_STAMP(expected, actual) EXPECT_EQ(Describe(expected), Describe(actual))

// The test environments: en runs in America/New_York (bias 300, daylight saving),
// ja in Asia/Tokyo (bias -540).
struct Zone {
    LONG bias;
    bool daylightNow;
};

Zone CurrentZone()
{
    TIME_ZONE_INFORMATION info = {};
    DWORD id = GetTimeZoneInformation(&info);
    return {info.Bias, id == TIME_ZONE_ID_DAYLIGHT};
}

// Minutes to add to a UTC stamp of January or July to get the local time Explorer
// shows, by each date's own rule or by today's; of the environments' zones only New
// York keeps daylight saving (an hour, from March to November).
LONG ShownOffset(WORD month, bool byDate)
{
    Zone zone = CurrentZone();
    bool daylight = zone.bias == 300 && (byDate ? month == 7 : zone.daylightNow);
    return -zone.bias + (daylight ? 60 : 0);
}

// Windows 7 looks up the Ex forms of the conversions, which Wine lacks: stand-ins
// count the calls that name the current zone and convert with the plain forms.
int zoneExCalls = 0;
template <BOOL(WINAPI* Plain)(const TIME_ZONE_INFORMATION*, const SYSTEMTIME*, SYSTEMTIME*)>
BOOL WINAPI ZoneEx(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* in, SYSTEMTIME* out)
{
    zoneExCalls += zone && zone->Bias == CurrentZone().bias;
    return Plain(nullptr, in, out);
}
FARPROC WINAPI AnswerZoneExLookup(HMODULE module, const char* name)
{
    if (HIWORD(name) && lstrcmpA(name, "SystemTimeToTzSpecificLocalTimeEx") == 0)
        return reinterpret_cast<FARPROC>(&ZoneEx<SystemTimeToTzSpecificLocalTime>);
    if (HIWORD(name) && lstrcmpA(name, "TzSpecificLocalTimeToSystemTimeEx") == 0)
        return reinterpret_cast<FARPROC>(&ZoneEx<TzSpecificLocalTimeToSystemTime>);
    return GetProcAddress(module, name);
}

// ---------------------------------------------------------------- the page

bool Enabled(HWND page, int id)
{
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

HWND TimeEdit(HWND page)
{
    return FindWindowExA(GetDlgItem(page, IDC_TIME), nullptr, "Edit", nullptr);
}

// Types into an edit control key by key, replacing what it held, as a user does
// (the control's length limit applies).
void TypeKeys(HWND edit, const std::string& text)
{
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : text)
        SendMessageA(edit, WM_CHAR, static_cast<BYTE>(c), 0);
    PumpMessages();
}

void TypeTime(HWND page, const std::string& text)
{
    TypeKeys(TimeEdit(page), text);
}

class TouchPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        pindrel.reset(new LoadedLibrary(DistPath("PINDREL.DLL")));
        ASSERT_TRUE(pindrel->Get());
        beeps.clear();
        beepPatch.reset(new ImportPatch(pindrel->Get(), "user32.dll", "MessageBeep",
                                        reinterpret_cast<const void*>(&RecordBeep)));
        ASSERT_TRUE(beepPatch->Applied());
        inputMethods = InputMethods::Present;
        imm32Patch.reset(new ImportPatch(pindrel->Get(), "kernel32.dll", "LoadLibraryA",
                                         reinterpret_cast<const void*>(&AnswerLoadLibrary)));
        ASSERT_TRUE(imm32Patch->Applied());
    }

    void TearDown() override
    {
        sheet.Destroy();
        object = nullptr;
        store.reset();
    }

    // The Properties sheet for paths, as Explorer builds it; returns the Touch page
    // once its activation (and the refresh it posts) has run.
    HWND Open(const std::vector<std::string>& paths) { return OpenList(paths); }
    HWND Open(const std::vector<std::wstring>& paths) { return OpenList(paths); }
    template <typename Path>
    HWND OpenList(const std::vector<Path>& paths)
    {
        IShellExtInit* init = nullptr;
        EXPECT_EQ(S_OK, CreateComponent(pindrel->Get(), kPindrelClassId, IID_IShellExtInit,
                                        reinterpret_cast<void**>(&init)));
        if (!init)
            return nullptr;
        IDataObject* data = CreateDropDataObject(paths);
        EXPECT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
        data->Release();
        IShellPropSheetExt* extension = nullptr;
        init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension));
        object = static_cast<PropSheetExtension*>(init);
        init->Release();
        PageCollector pages;
        EXPECT_EQ(S_OK, pages.AddFrom(extension));
        moduleAfterAddPages = object->LoadedModule();
        extension->Release();  // the pages keep the object alive, as in Explorer
        EXPECT_FALSE(pages.pages.empty());
        if (!sheet.Show(pages.pages))
            return nullptr;
        HWND page = sheet.SelectPage(0);
        PumpMessages();
        EXPECT_TRUE(GetDlgItem(page, IDC_TOUCH)) << "the first page is not the Touch page";
        return page;
    }

    // Puts the files into an in-memory stamp store answered at PINDREL's imports.
    void UseStore()
    {
        store.reset(new FileTimeStore(pindrel->Get()));
        ASSERT_TRUE(store->Applied());
    }

    std::unique_ptr<LoadedLibrary> pindrel;
    std::unique_ptr<ImportPatch> beepPatch;
    std::unique_ptr<ImportPatch> imm32Patch;
    std::unique_ptr<FileTimeStore> store;
    TempDir dir;
    SheetHost sheet;
    PropSheetExtension* object = nullptr;
    HMODULE moduleAfterAddPages = nullptr;
};

// ---------------------------------------------------------------- set-up

TEST_F(TouchPage, StartsWithLastWrittenAndLimitedFieldsWithoutInputMethod)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);

    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_STAMP_CREATION));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_STAMP_LAST_WRITTEN));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_STAMP_BOTH));

    HWND combo = GetDlgItem(page, IDC_TIME);
    ASSERT_EQ(1, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    char item[32] = "";
    SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ("00:00:00", item);

    TypeKeys(GetDlgItem(page, IDC_DATE), "1998/12/31/1");
    EXPECT_EQ("1998/12/31", ControlText(page, IDC_DATE));
    TypeTime(page, "12:34:56:7");
    EXPECT_EQ("12:34:56", ControlText(page, IDC_TIME));

    // Both fields have no input context, so no input method comes on there; the
    // header, like every window under Wine, keeps the thread's.
    EXPECT_EQ(nullptr, ImmGetContext(GetDlgItem(page, IDC_DATE)));
    EXPECT_EQ(nullptr, ImmGetContext(combo));
    HIMC header = ImmGetContext(GetDlgItem(page, IDC_FILE_NAME));
    EXPECT_NE(nullptr, header);
    ImmReleaseContext(GetDlgItem(page, IDC_FILE_NAME), header);
}

TEST_F(TouchPage, HeaderShowsTheFileNameOrTheCount)
{
    std::string a = dir.WriteFile("alpha.txt", "a");
    std::string b = dir.WriteFile("beta.txt", "b");
    std::string c = dir.WriteFile("gamma.txt", "c");
    std::string folder = dir.MakeDir("Folder.d");
    const std::string suffix = Localized(" Files", " 個のファイル");
    struct Row {
        std::vector<std::string> paths;
        std::string header;
    } rows[] = {
        {{a}, "alpha.txt"},
        {{folder}, "Folder.d"},
        {{a, b}, "2" + suffix},
        {{c, a, b}, "3" + suffix},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.header);
        HWND page = Open(row.paths);
        ASSERT_TRUE(page);
        EXPECT_EQ(row.header, ControlText(page, IDC_FILE_NAME));
        sheet.Destroy();
    }
}

TEST_F(TouchPage, HeaderOfManyFilesIsCutOnAWholeCharacter)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 100; ++i)
        paths.push_back(dir.WriteFile("f" + std::to_string(i) + ".txt", "x"));
    HWND page = Open(paths);
    ASSERT_TRUE(page);
    // 16 bytes with the terminator: "100 個のファイ" is what fits of the Japanese text.
    EXPECT_EQ("100" + Localized(" Files", " 個のファイ"), ControlText(page, IDC_FILE_NAME));
}

// Explorer of Windows 7 and later shows each stamp in the local time of its own date,
// older Windows in today's: the page shows what each shows, whatever today's date,
// and writes what it shows back as the same stamp. A time of the hour skipped in
// spring exists only by today's bias.
TEST_F(TouchPage, StampsAreShownAndTypedInTheLocalTimeOfExplorer)
{
    std::string file = dir.WriteFile("a.txt", "a");
    const struct {
        const char* name;
        DWORD version;
        bool byDate, exForms;
    } windows[] = {{"98", kWindows98, false, false}, {"XP", kWindowsXp, false, false},
                   {"7", kWindows7, true, false}, {"7 with the Ex forms", kWindows7, true, true}};
    for (const auto& row : windows) {
        VersionPatch version(pindrel->Get(), row.version);
        ASSERT_TRUE(version.Applied());
        std::unique_ptr<ImportPatch> lookup;
        if (row.exForms)
            lookup.reset(new ImportPatch(pindrel->Get(), "kernel32.dll", "GetProcAddress",
                                         reinterpret_cast<const void*>(&AnswerZoneExLookup)));
        zoneExCalls = 0;
        for (WORD month : {1, 7}) {
            SCOPED_TRACE(std::string(row.name) + ", month " + std::to_string(month));
            const FILETIME stamp = MakeFileTime(2001, month, 15, 12, 0, 0);
            SetLastWritten(file, stamp);
            HWND page = Open({file});
            ASSERT_TRUE(page);
            // "YYYY/MM/DD hh:mm:ss" of the local time.
            const std::string shown =
                Describe(FromTicks(Ticks(stamp) + ShownOffset(month, row.byDate) * 600000000LL)).substr(0, 19);
            EXPECT_EQ(shown, ControlText(page, IDC_DATE) + " " + ControlText(page, IDC_TIME));
            EXPECT_FALSE(Enabled(page, IDC_TOUCH));
            EXPECT_FALSE(Enabled(page, IDC_RESET));
            EXPECT_TRUE(Enabled(page, IDC_NOW));
            SetLastWritten(file, MakeFileTime(1990, 1, 1, 0, 0, 0));
            TypeText(page, IDC_DATE, shown.substr(0, 10).c_str());
            TypeTime(page, shown.substr(11));
            ClickButton(page, IDC_TOUCH);
            EXPECT_STAMP(stamp, LastWritten(file));
            // 2:30 on 8 March 2026 in New York.
            TypeText(page, IDC_DATE, "2026/03/08");
            TypeTime(page, "02:30:00");
            EXPECT_EQ(!row.byDate || CurrentZone().bias != 300, Enabled(page, IDC_TOUCH));
            TypeTime(page, "03:30:00");
            EXPECT_TRUE(Enabled(page, IDC_TOUCH));
            sheet.Destroy();
        }
        EXPECT_EQ(row.exForms, zoneExCalls > 0) << row.name;
    }
}

// ---------------------------------------------------------------- typing

struct DateRow {
    const char* text;
    bool enables;
    WORD year, month, day;  // written when enabled
};

const DateRow kDates[] = {
    {"98-12-31", true, 1998, 12, 31},
    {"01/1/1", true, 2001, 1, 1},
    {"/1/1", true, 2000, 1, 1},
    {"1998/12-31", true, 1998, 12, 31},
    {"2000/02/29", true, 2000, 2, 29},
    {"00/2/29", true, 2000, 2, 29},
    {"2004-2-29", true, 2004, 2, 29},
    {"49/6/30", true, 2049, 6, 30},
    {"50/6/30", true, 1950, 6, 30},
    {"99/12/31", true, 1999, 12, 31},
    {"1998/12/31", true, 1998, 12, 31},
    {"1900/02/29", false},
    {"2100/02/29", false},
    {"1998/04/31", false},
    {"1998/13/01", false},
    {"1998/0/10", false},
    {"1998/12/0", false},
    {"1998/12", false},
    {"98/12/31/", false},
    {" 98/12/31", false},
    {"1998.12.31", false},
    {"98/12/3a", false},
    {"", false},
    // Accepted as dates, but no file time can hold them.
    {"100/1/1", false},
    {"1600/12/31", false},
    {"30828/1/1", false},
    {"99999/1/1", false},
    // 65536 + 1601: a year cut to 16 bits would come out as 1601.
    {"67137/1/1", false},
};

TEST_F(TouchPage, TypedDateEnablesTouchAndIsWrittenAsTyped)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);
    for (const DateRow& row : kDates) {
        SCOPED_TRACE(row.text);
        TypeTime(page, "12:00:00");
        TypeText(page, IDC_DATE, row.text);
        EXPECT_EQ(row.enables, Enabled(page, IDC_TOUCH));
        EXPECT_TRUE(Enabled(page, IDC_RESET));
        if (!row.enables)
            continue;
        ClickButton(page, IDC_TOUCH);
        EXPECT_STAMP(LocalToUtc(row.year, row.month, row.day, 12, 0, 0), LastWritten(file));
        EXPECT_FALSE(Enabled(page, IDC_TOUCH));
    }
    EXPECT_TRUE(beeps.empty());
}

struct TimeRow {
    const char* text;
    bool enables;
    WORD hour, minute, second;
};

const TimeRow kTimes[] = {
    {"23:59:59", true, 23, 59, 59},
    {"00:00:00", true, 0, 0, 0},
    {"1:2:3", true, 1, 2, 3},
    {"::", true, 0, 0, 0},
    {":30:", true, 0, 30, 0},
    {"24:00:00", false},
    {"12:60:00", false},
    {"12:00:60", false},
    {"12:00", false},
    {"1:2:3:", false},
    {" 1:2:3", false},
    {"12-00-00", false},
    {"12:0a:00", false},
    {"65536::", false},
    {"", false},
};

TEST_F(TouchPage, TypedTimeEnablesTouchAndIsWrittenAsTyped)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);
    for (const TimeRow& row : kTimes) {
        SCOPED_TRACE(row.text);
        TypeText(page, IDC_DATE, "1998/12/31");
        TypeTime(page, row.text);
        EXPECT_EQ(row.text, ControlText(page, IDC_TIME));
        EXPECT_EQ(row.enables, Enabled(page, IDC_TOUCH));
        EXPECT_TRUE(Enabled(page, IDC_RESET));
        if (!row.enables)
            continue;
        ClickButton(page, IDC_TOUCH);
        EXPECT_STAMP(LocalToUtc(1998, 12, 31, row.hour, row.minute, row.second), LastWritten(file));
    }
    EXPECT_TRUE(beeps.empty());
}

TEST_F(TouchPage, ChoosingTheListItemEnablesTouchAtOnce)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);
    TypeText(page, IDC_DATE, "2001/02/03");
    TypeTime(page, "");
    ASSERT_FALSE(Enabled(page, IDC_TOUCH));

    // The arrow key in the closed box picks the next list item.
    HWND edit = TimeEdit(page);
    SetFocus(edit);
    SendMessageA(edit, WM_KEYDOWN, VK_DOWN, 0);
    PumpMessages();
    EXPECT_EQ(0, SendDlgItemMessageA(page, IDC_TIME, CB_GETCURSEL, 0, 0));
    EXPECT_TRUE(Enabled(page, IDC_TOUCH));
    EXPECT_EQ("00:00:00", ControlText(page, IDC_TIME));

    ClickButton(page, IDC_TOUCH);
    EXPECT_STAMP(LocalToUtc(2001, 2, 3, 0, 0, 0), LastWritten(file));
}

// ---------------------------------------------------------------- writing

// A typed local time becomes a UTC stamp: the expected values are worked out by
// hand from the environment's bias, so a page that wrote local time would fail.
TEST_F(TouchPage, TouchWritesTheTypedLocalTimeAsUtc)
{
    Zone zone = CurrentZone();
    const char* date;
    const char* time;
    FILETIME expected;
    if (zone.bias == -540) {
        date = "1998/12/31", time = "23:59:59", expected = MakeFileTime(1998, 12, 31, 14, 59, 59);
    } else if (zone.bias == -330) {
        date = "1998/12/31", time = "00:15:00", expected = MakeFileTime(1998, 12, 30, 18, 45, 0);
    } else if (zone.bias == 300 && !zone.daylightNow) {
        date = "1998/12/31", time = "23:59:59", expected = MakeFileTime(1999, 1, 1, 4, 59, 59);
    } else if (zone.bias == 300) {
        date = "1998/07/01", time = "12:00:00", expected = MakeFileTime(1998, 7, 1, 16, 0, 0);
    } else {
        FAIL() << "not a test environment: bias " << zone.bias;
    }

    // Files named in every script the code page spells are touched alike, and so are
    // files where IMM32.DLL is missing or lacks its function.
    std::vector<std::pair<std::string, InputMethods>> runs = {
        {"a", InputMethods::Present}, {"b", InputMethods::Missing}, {"c", InputMethods::WithoutFunction}};
    for (const std::string& name : ScriptNames())
        runs.emplace_back(name, InputMethods::Present);
    for (const auto& [name, answer] : runs) {
        SCOPED_TRACE(name);
        inputMethods = answer;
        imm32Lookups = 0;
        std::string file = dir.WriteFile(name + ".txt", "a");
        HWND page = Open({file});
        ASSERT_TRUE(page);
        EXPECT_EQ(name + ".txt", ControlText(page, IDC_FILE_NAME));
        TypeText(page, IDC_DATE, date);
        TypeTime(page, time);
        ClickButton(page, IDC_TOUCH);
        EXPECT_STAMP(expected, LastWritten(file));
        // The refresh shows the typed local time again.
        EXPECT_EQ(date, ControlText(page, IDC_DATE));
        EXPECT_EQ(time, ControlText(page, IDC_TIME));
        EXPECT_EQ(1, imm32Lookups);
        sheet.Destroy();
    }
}

TEST_F(TouchPage, TouchSetsOnlyTheChosenStamps)
{
    std::string file = dir.WriteFile("a.txt", "a");
    const FILETIME creation = MakeFileTime(1995, 5, 5, 5, 5, 5);
    const FILETIME written = MakeFileTime(1996, 6, 6, 6, 6, 6);
    const FILETIME typed = LocalToUtc(2002, 3, 4, 5, 6, 7);
    struct Row {
        int button;
        FILETIME creation, written;
    } rows[] = {
        {IDC_STAMP_CREATION, typed, written},
        {IDC_STAMP_LAST_WRITTEN, creation, typed},
        {IDC_STAMP_BOTH, typed, typed},
    };
    UseStore();
    HWND page = Open({file});
    ASSERT_TRUE(page);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        ASSERT_TRUE(store->Put(file, creation, written));
        ClickButton(page, row.button);
        TypeText(page, IDC_DATE, "2002/03/04");
        TypeTime(page, "05:06:07");
        ClickButton(page, IDC_TOUCH);
        StoredStamps after = store->Get(file);
        EXPECT_STAMP(row.creation, after.creation);
        EXPECT_STAMP(row.written, after.lastWritten);
    }
}

TEST_F(TouchPage, CreationChoiceShowsTheCreationStamp)
{
    std::string file = dir.WriteFile("a.txt", "a");
    UseStore();
    const FILETIME creation = LocalToUtc(1995, 5, 5, 5, 5, 5);
    ASSERT_TRUE(store->Put(file, creation, LocalToUtc(1996, 6, 6, 6, 6, 6)));
    HWND page = Open({file});
    ASSERT_TRUE(page);
    EXPECT_EQ("1996/06/06", ControlText(page, IDC_DATE));
    ClickButton(page, IDC_STAMP_CREATION);
    EXPECT_EQ("1995/05/05", ControlText(page, IDC_DATE));
    EXPECT_EQ("05:05:05", ControlText(page, IDC_TIME));
    EXPECT_FALSE(Enabled(page, IDC_TOUCH));
    EXPECT_FALSE(Enabled(page, IDC_RESET));
}

TEST_F(TouchPage, BothWithDifferingStampsShowsEmptyFieldsAndNowMakesThemEqual)
{
    std::string file = dir.WriteFile("a.txt", "a");
    UseStore();
    ASSERT_TRUE(store->Put(file, MakeFileTime(1995, 5, 5, 5, 5, 5), MakeFileTime(1996, 6, 6, 6, 6, 6)));
    HWND page = Open({file});
    ASSERT_TRUE(page);
    ClickButton(page, IDC_STAMP_BOTH);
    EXPECT_EQ("", ControlText(page, IDC_DATE));
    EXPECT_EQ("", ControlText(page, IDC_TIME));
    EXPECT_FALSE(Enabled(page, IDC_TOUCH));
    EXPECT_TRUE(Enabled(page, IDC_RESET));

    FILETIME before = NowUtc();
    ClickButton(page, IDC_NOW);
    FILETIME after = NowUtc();
    StoredStamps stamps = store->Get(file);
    EXPECT_EQ(Ticks(stamps.creation), Ticks(stamps.lastWritten));
    // SYSTEMTIME keeps milliseconds: the stamp may lie up to 1 ms below "before".
    EXPECT_LE(Ticks(before) - Ticks(before) % 10000, Ticks(stamps.lastWritten));
    EXPECT_GE(Ticks(after), Ticks(stamps.lastWritten));
    EXPECT_NE("", ControlText(page, IDC_DATE));
    EXPECT_NE("", ControlText(page, IDC_TIME));
    EXPECT_FALSE(Enabled(page, IDC_RESET));
}

TEST_F(TouchPage, NowWritesTheCurrentTimeOnEveryFile)
{
    std::string a = dir.WriteFile("a.txt", "a");
    std::string b = dir.WriteFile("b.txt", "b");
    SetLastWritten(a, MakeFileTime(1990, 1, 1, 0, 0, 0));
    SetLastWritten(b, MakeFileTime(1991, 1, 1, 0, 0, 0));
    HWND page = Open({a, b});
    ASSERT_TRUE(page);
    EXPECT_EQ("", ControlText(page, IDC_DATE));
    FILETIME before = NowUtc();
    ClickButton(page, IDC_NOW);
    FILETIME after = NowUtc();
    FILETIME stamp = LastWritten(a);
    EXPECT_LE(Ticks(before) - Ticks(before) % 10000, Ticks(stamp));
    EXPECT_GE(Ticks(after), Ticks(stamp));
    EXPECT_STAMP(stamp, LastWritten(b));
    EXPECT_NE("", ControlText(page, IDC_DATE));
}

TEST_F(TouchPage, FilesDifferingByAFractionOfASecondShowEmptyFields)
{
    std::string a = dir.WriteFile("a.txt", "a");
    std::string b = dir.WriteFile("b.txt", "b");
    const FILETIME stamp = MakeFileTime(2003, 4, 5, 6, 7, 8);
    struct Row {
        const char* name;
        unsigned long long offset;
        bool shown;
    } rows[] = {
        {"equal", 0, true},
        {"half a second", 5000000, false},
        {"100 ns", 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastWritten(a, stamp);
        SetLastWritten(b, FromTicks(Ticks(stamp) + row.offset));
        ASSERT_EQ(Ticks(stamp) + row.offset, Ticks(LastWritten(b))) << "the file system rounds stamps";
        HWND page = Open({a, b});
        ASSERT_TRUE(page);
        EXPECT_EQ(row.shown, ControlText(page, IDC_DATE) != "");
        EXPECT_EQ(row.shown, ControlText(page, IDC_TIME) != "");
        EXPECT_EQ(!row.shown, Enabled(page, IDC_RESET));
        sheet.Destroy();
    }
}

// What each family opens: the NT family asks for the rights to the stamps alone,
// which a file another program holds without write sharing still grants (Wine
// refuses it GENERIC_WRITE, as Windows does), and opens folders with backup
// semantics; the 95 family passes over both. A name the code page cannot spell is
// written through its short name, or passed over without one, and its look-alike
// never written.
std::vector<DWORD> openedFor;  // access, sharing and flags of each CreateFileA
HANDLE WINAPI RecordCreateFile(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                               DWORD disposition, DWORD flags, HANDLE model)
{
    openedFor.insert(openedFor.end(), {access, share, flags});
    return CreateFileA(path, access, share, security, disposition, flags, model);
}

TEST_F(TouchPage, FilesHeldOpenAndFoldersAreTouchedOnTheNtFamily)
{
    std::string a = dir.WriteFile("a.txt", "a");
    std::string b = dir.WriteFile("b.txt", "b");
    std::string folder = dir.MakeDir("folder");
    LookAlikes files = WriteLookAlikes(dir, ".txt", "chosen", "look-alike");
    const FILETIME old = MakeFileTime(1999, 9, 9, 9, 9, 9);
    const FILETIME typed = LocalToUtc(2011, 11, 11, 11, 11, 11);
    const DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    ImportPatch record(pindrel->Get(), "kernel32.dll", "CreateFileA", reinterpret_cast<const void*>(&RecordCreateFile));
    ASSERT_TRUE(record.Applied());
    for (ShortNames answer : {ShortNames::Real, ShortNames::Unchanged, ShortNames::Windows98}) {
        SCOPED_TRACE(static_cast<int>(answer));
        const bool nt = answer != ShortNames::Windows98;
        for (const std::string& path : {a, b, folder, files.path, files.twin})
            SetLastWritten(path, old);
        ShortNameLookup lookup(pindrel->Get(), answer);
        HANDLE held = CreateFileA(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        ASSERT_EQ(INVALID_HANDLE_VALUE, CreateFileA(b.c_str(), GENERIC_WRITE, kSharing, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        HWND page = Open(std::vector<std::wstring>{WideFromAnsi(a), WideFromAnsi(b), WideFromAnsi(folder), files.chosen});
        ASSERT_TRUE(page);
        TypeText(page, IDC_DATE, "2011/11/11");
        TypeTime(page, "11:11:11");
        openedFor.clear();
        ClickButton(page, IDC_TOUCH);
        CloseHandle(held);
        EXPECT_STAMP(typed, LastWritten(a));
        EXPECT_STAMP(nt ? typed : old, LastWritten(b));
        EXPECT_STAMP(nt ? typed : old, LastWritten(folder));
        EXPECT_STAMP(lookup.Finds() ? typed : old, LastWritten(files.path));
        EXPECT_STAMP(old, LastWritten(files.twin));
        // The refresh after the write saw only what it could read.
        EXPECT_EQ("2011/11/11", ControlText(page, IDC_DATE));
        // The first open writes, the last reads: access, sharing and flags.
        const DWORD sharing = nt ? kSharing | FILE_SHARE_DELETE : kSharing;
        const DWORD flags = nt ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
        ASSERT_GE(openedFor.size(), 6u);
        EXPECT_EQ((std::vector<DWORD>{nt ? FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES : GENERIC_READ | GENERIC_WRITE,
                                      sharing, flags}),
                  std::vector<DWORD>(openedFor.begin(), openedFor.begin() + 3));
        EXPECT_EQ((std::vector<DWORD>{nt ? FILE_READ_ATTRIBUTES : GENERIC_READ, sharing, flags}),
                  std::vector<DWORD>(openedFor.end() - 3, openedFor.end()));
        sheet.Destroy();
    }
}

TEST_F(TouchPage, TouchAndNowChangeNothingButTheStamps)
{
    const std::string contents[] = {std::string("first file\r\n"), std::string(70000, 'x') + "end",
                                    std::string("\0\1\2", 3)};
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i)
        paths.push_back(dir.WriteFile("f" + std::to_string(i) + ".bin", contents[i]));
    HWND page = Open(paths);
    ASSERT_TRUE(page);
    ClickButton(page, IDC_STAMP_BOTH);
    TypeText(page, IDC_DATE, "2005/05/05");
    TypeTime(page, "05:05:05");
    ClickButton(page, IDC_TOUCH);
    ClickButton(page, IDC_NOW);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(paths[i]);
        EXPECT_EQ(contents[i], ReadWholeFile(paths[i]));
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExA(paths[i].c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(contents[i].size(), data.nFileSizeLow);
        EXPECT_EQ(0u, data.nFileSizeHigh);
    }
}

TEST_F(TouchPage, ResetRestoresTheStoredStampAndDisablesTouchAndReset)
{
    std::string file = dir.WriteFile("a.txt", "a");
    SetLastWritten(file, MakeFileTime(2003, 4, 5, 6, 7, 8));
    HWND page = Open({file});
    ASSERT_TRUE(page);
    const std::string date = ControlText(page, IDC_DATE);
    const std::string time = ControlText(page, IDC_TIME);
    ASSERT_NE("", date);

    TypeTime(page, "1:2:3");
    EXPECT_TRUE(Enabled(page, IDC_TOUCH));
    EXPECT_TRUE(Enabled(page, IDC_RESET));
    TypeText(page, IDC_DATE, "1998/");
    EXPECT_FALSE(Enabled(page, IDC_TOUCH));
    EXPECT_TRUE(Enabled(page, IDC_RESET));

    ClickButton(page, IDC_RESET);
    EXPECT_EQ(date, ControlText(page, IDC_DATE));
    EXPECT_EQ(time, ControlText(page, IDC_TIME));
    EXPECT_FALSE(Enabled(page, IDC_TOUCH));
    EXPECT_FALSE(Enabled(page, IDC_RESET));
    EXPECT_STAMP(MakeFileTime(2003, 4, 5, 6, 7, 8), LastWritten(file));
}

// The button is disabled for these, so only a command sent past the enabling rule
// reaches it.
TEST_F(TouchPage, TouchPressedWithAnUnusableDateBeepsAndChangesNoFile)
{
    std::string file = dir.WriteFile("a.txt", "a");
    const FILETIME old = MakeFileTime(2003, 4, 5, 6, 7, 8);
    SetLastWritten(file, old);
    HWND page = Open({file});
    ASSERT_TRUE(page);
    struct Row {
        const char* date;
        const char* time;
    } rows[] = {
        {"1998/02/30", "12:00:00"}, {"1998/02/28", "24:00:00"}, {"1600/12/31", "12:00:00"},
        {"30828/1/1", "12:00:00"},  {"67137/1/1", "12:00:00"},  {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.date) + " " + row.time);
        TypeText(page, IDC_DATE, row.date);
        TypeTime(page, row.time);
        EXPECT_FALSE(Enabled(page, IDC_TOUCH));
        beeps.clear();
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_TOUCH, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_TOUCH)));
        PumpMessages();
        ASSERT_EQ(1u, beeps.size());
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), beeps[0]);
        EXPECT_STAMP(old, LastWritten(file));
    }
}

// Under a zone east of Greenwich the first moments of 1601 in local time come before
// the first file time.
TEST_F(TouchPage, EarliestLocalTimesAreAcceptedOnlyWhenTheyFallWithinFileTimes)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);
    TypeText(page, IDC_DATE, "1601/01/01");
    TypeTime(page, "09:00:00");
    EXPECT_TRUE(Enabled(page, IDC_TOUCH));
    TypeTime(page, "00:00:00");
    EXPECT_EQ(CurrentZone().bias >= 0, Enabled(page, IDC_TOUCH));
    TypeText(page, IDC_DATE, "30827/12/31");
    TypeTime(page, "12:00:00");
    EXPECT_TRUE(Enabled(page, IDC_TOUCH));
}

TEST_F(TouchPage, NoStampChosenShowsAndChangesNothing)
{
    std::string file = dir.WriteFile("a.txt", "a");
    const FILETIME old = MakeFileTime(2003, 4, 5, 6, 7, 8);
    SetLastWritten(file, old);
    HWND page = Open({file});
    ASSERT_TRUE(page);
    for (int id : {IDC_STAMP_CREATION, IDC_STAMP_LAST_WRITTEN, IDC_STAMP_BOTH})
        CheckDlgButton(page, id, BST_UNCHECKED);
    ClickButton(page, IDC_RESET);
    EXPECT_EQ("", ControlText(page, IDC_DATE));
    TypeText(page, IDC_DATE, "2010/10/10");
    TypeTime(page, "10:10:10");
    ClickButton(page, IDC_TOUCH);
    ClickButton(page, IDC_NOW);
    EXPECT_STAMP(old, LastWritten(file));
    EXPECT_TRUE(beeps.empty());
}

// ---------------------------------------------------------------- activation, help

TEST_F(TouchPage, ActivationReleasesTheLoadedModule)
{
    std::string module = dir / "RESLIB.DLL";
    ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), module));
    freedModules.clear();
    ImportPatch free(pindrel->Get(), "kernel32.dll", "FreeLibrary", reinterpret_cast<const void*>(&RecordFreeLibrary));
    ASSERT_TRUE(free.Applied());
    HWND page = Open({module});
    ASSERT_TRUE(page);
    // AddPages loaded the file to look for bitmaps.
    ASSERT_NE(nullptr, moduleAfterAddPages);
    EXPECT_EQ(nullptr, object->LoadedModule());
    EXPECT_FALSE(object->ModuleUnavailable());
    ASSERT_EQ(1u, freedModules.size());
    EXPECT_EQ(moduleAfterAddPages, freedModules[0]);
    sheet.Destroy();

    // Several files: nothing is loaded, nothing freed.
    freedModules.clear();
    page = Open({module, dir.WriteFile("a.txt", "a")});
    ASSERT_TRUE(page);
    EXPECT_EQ(nullptr, object->LoadedModule());
    EXPECT_TRUE(object->ModuleUnavailable());
    EXPECT_TRUE(freedModules.empty());
}

TEST_F(TouchPage, ActivationRefreshesTheFields)
{
    std::string file = dir.WriteFile("a.txt", "a");
    SetLastWritten(file, MakeFileTime(2003, 4, 5, 6, 7, 8));
    HWND page = Open({file});
    ASSERT_TRUE(page);
    ASSERT_GE(sheet.PageCount(), 2);
    TypeText(page, IDC_DATE, "1999/");
    SetLastWritten(file, MakeFileTime(2004, 4, 5, 6, 7, 8));
    sheet.SelectPage(1);
    page = sheet.SelectPage(0);
    EXPECT_EQ(0, ControlText(page, IDC_DATE).compare(0, 5, "2004/"));
    EXPECT_FALSE(Enabled(page, IDC_RESET));
}

TEST_F(TouchPage, HelpOnAControlAsksForItsPopupTopic)
{
    std::string file = dir.WriteFile("a.txt", "a");
    HWND page = Open({file});
    ASSERT_TRUE(page);
    TempDir elsewhere;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));
    HWND timeEdit = GetWindow(GetDlgItem(page, IDC_TIME), GW_CHILD);
    ASSERT_EQ(1001, GetDlgCtrlID(timeEdit));
    const int kNoText = 25199;  // no pop-up text has this number
    for (const HelpSystem& system : kHelpSystems) {
        SCOPED_TRACE(system.name);
        HelpRecorder help(pindrel->Get(), &system);
        ASSERT_TRUE(help.Applied());
        for (int id : {IDC_TOUCH, IDC_STAMP_CREATION, IDC_DATE, IDC_RESET, kNoText, 0, -1}) {
            HELPINFO info = {sizeof info, HELPINFO_WINDOW, id, GetDlgItem(page, id), 0, {0, 0}};
            SendMessageA(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        }
        // F1 in the time field's edit: the edit asks with its own id, and the default
        // procedures hand the request on to the combo box and to the page.
        HELPINFO info = {sizeof info, HELPINFO_WINDOW, 1001, timeEdit, 0, {0, 0}};
        SendMessageA(timeEdit, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        // From NT 6.0 on, a pop-up without a text would be WinHelp's notice that it
        // is not supported.
        bool winHelp = (system.version & 0x80000000) || LOBYTE(system.version) < 6;
        std::vector<HelpCall> expected;
        for (int topic : {IDC_TOUCH, IDC_STAMP_CREATION, IDC_DATE, IDC_RESET, kNoText, IDC_TIME}) {
            if (topic != kNoText || winHelp)
                expected.push_back(ExpectedHelpCall(system, pindrel->Get(), page, DistPath("KELVARA.HLP"),
                                                    HELP_CONTEXTPOPUP, topic));
        }
        EXPECT_EQ(expected, help.calls);
    }
    SetCurrentDirectoryA(previous);
}

}  // namespace
