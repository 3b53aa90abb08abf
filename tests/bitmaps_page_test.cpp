// The Bitmaps page in a real property sheet: its list, the preview read back from
// the screen, the clipboard, and the Stretch bit of the settings file.
#include "deliverables.h"
#include "gdi_ledger.h"
#include "help_recorder.h"
#include "import_patch.h"
#include "modal_driver.h"
#include "pindrel_copy.h"
#include "pixels.h"
#include "resource.h"
#include "sheet_host.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <shlobj.h>
#include <string>
#include <vector>

namespace {

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kMagenta = RGB(255, 0, 255);

// The preview area as the user sees it: the frame's inside, less its 2-pixel edge.
struct Preview {
    Pixels area;
    COLORREF background = 0;

    // The smallest rectangle holding every pixel that is not the background.
    RECT Drawn() const { return area.Drawn(background); }
};

Preview ReadPreview(HWND page)
{
    PumpMessages();
    Preview preview;
    preview.area = CaptureClient(GetDlgItem(page, IDC_PREVIEW)).Inside(2);
    preview.background = GetSysColor(COLOR_BTNFACE);
    return preview;
}

// Selects an entry as a click in the list does (the list tells its page).
bool SelectEntry(HWND page, const std::string& entry)
{
    HWND list = GetDlgItem(page, IDC_BITMAP_LIST);
    LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(entry.c_str()));
    if (index == LB_ERR)
        return false;
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_BITMAP_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    PumpMessages();
    return true;
}

void SetStretch(HWND page, bool checked)
{
    if ((IsDlgButtonChecked(page, IDC_STRETCH) == BST_CHECKED) != checked) {
        // BM_CLICK is ignored by a disabled box; the user first picks a large bitmap.
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)));
        ClickButton(page, IDC_STRETCH);
    }
    ASSERT_EQ(checked, IsDlgButtonChecked(page, IDC_STRETCH) == BST_CHECKED);
}

// Puts a text on the clipboard, to tell whether a copy replaced it.
void PutSentinelOnClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 9);
    lstrcpyA(static_cast<char*>(GlobalLock(memory)), "sentinel");
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

bool ClipboardHoldsSentinel()
{
    if (!OpenClipboard(nullptr))
        return false;
    bool holds = false;
    if (HANDLE memory = GetClipboardData(CF_TEXT)) {
        holds = lstrcmpA(static_cast<const char*>(GlobalLock(memory)), "sentinel") == 0;
        GlobalUnlock(memory);
    }
    CloseClipboard();
    return holds;
}

class BitmapsPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pindrel.Module());
        ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), dir / "RESLIB.DLL"));
        ledger.reset(new GdiLedger(pindrel.Module()));
    }

    void TearDown() override
    {
        sheet.Destroy();
        // The sheet and the object are gone: nothing the module made may be left.
        if (ledger) {
            EXPECT_EQ(0u, ledger->LiveTotal()) << ledger->Describe();
            EXPECT_EQ(0u, ledger->WrongReleases());
            EXPECT_EQ(0u, ledger->ForeignReleases());
        }
        ledger.reset();
    }

    // Shows the Properties sheet of file and activates its Bitmaps page, the last
    // one; null when the file gets no Bitmaps page.
    HWND OpenBitmapsPage(const std::string& file)
    {
        sheet.Destroy();
        IShellExtInit* init = pindrel.NewExtension({file});
        if (!init)
            return nullptr;
        bool shown = !ShowPages(init, sheet).empty();
        init->Release();
        if (!shown)
            return nullptr;
        HWND page = sheet.SelectPage(sheet.PageCount() - 1);
        if (!GetDlgItem(page, IDC_BITMAP_LIST))
            return nullptr;
        FitSheetToPage(sheet.Window(), page);
        return page;
    }

    // Closes the sheet by a button, as the user does.
    void Close(int button)
    {
        sheet.Press(button);
        ASSERT_TRUE(sheet.Closed());
    }

    std::string ResLib() const { return dir / "RESLIB.DLL"; }

    // Declared first: the copy and its directory outlive the ledger and the sheet.
    PindrelCopy pindrel;
    const TempDir& dir = pindrel.Temp();
    std::unique_ptr<GdiLedger> ledger;
    SheetHost sheet;
};

// Between messages the page holds no bitmap, brush or device context.
void ExpectNothingHeld(const GdiLedger& ledger)
{
    for (GdiKind kind : {GdiKind::Bitmap, GdiKind::Brush, GdiKind::CreatedDc, GdiKind::WindowDc})
        EXPECT_EQ(0u, ledger.Live(kind)) << GdiKindName(kind) << "\n" << ledger.Describe();
    EXPECT_EQ(0u, ledger.WrongReleases());
    EXPECT_EQ(0u, ledger.ForeignReleases());
}

TEST_F(BitmapsPage, ListsEveryBitmapNameWithIntegersAsTextAndStringsInQuotes)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    std::vector<std::string> entries = ListItems(GetDlgItem(page, IDC_BITMAP_LIST));
    std::vector<std::string> sorted = entries;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<std::string>{"\"NAMED\"", "101", "150", "160", "170", "2"}), sorted);
    // The list box sorts the texts, so 101 comes before 2.
    auto position = [&](const char* entry) { return std::find(entries.begin(), entries.end(), entry) - entries.begin(); };
    EXPECT_LT(position("101"), position("2"));
    EXPECT_LT(position("170"), position("2"));

    // The same under a name in any script the code page spells.
    for (const std::string& name : ScriptNames()) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(CopyFileTo(ResLib(), dir / (name + ".dll")));
        HWND named = OpenBitmapsPage(dir / (name + ".dll"));
        ASSERT_TRUE(named);
        std::vector<std::string> listed = ListItems(GetDlgItem(named, IDC_BITMAP_LIST));
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(sorted, listed);
    }
}

TEST_F(BitmapsPage, OnlyAModuleWithBitmapsGetsThePage)
{
    ASSERT_TRUE(CopyFileTo(FixturePath("ICONLIB.DLL"), dir / "ICONLIB.DLL"));
    EXPECT_TRUE(OpenBitmapsPage(ResLib()));
    EXPECT_FALSE(OpenBitmapsPage(dir / "ICONLIB.DLL"));
}

TEST_F(BitmapsPage, StartsWithNothingSelectedAndAnEmptyPreview)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    EXPECT_EQ(LB_ERR, SendDlgItemMessageA(page, IDC_BITMAP_LIST, LB_GETCURSEL, 0, 0));
    EXPECT_EQ("", ControlText(page, IDC_SIZE_LABEL));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_COPY)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)));
    Preview preview = ReadPreview(page);
    ASSERT_GT(preview.area.width, 0);
    RECT drawn = preview.Drawn();
    EXPECT_TRUE(IsRectEmpty(&drawn));
}

// Each bitmap at its own size, clipped to the area and centred in it, with Stretch
// enabled exactly for one larger than the area.
TEST_F(BitmapsPage, ShowsEachBitmapCentredAtItsOwnSizeAndItsSizeInTheLabel)
{
    struct Row {
        const char* entry;
        int width, height;
        COLORREF inside;
    };
    const Row rows[] = {
        {"2", 32, 32, kRed},
        {"101", 8, 8, kGreen},
        {"\"NAMED\"", 24, 16, kMagenta},
        {"150", 600, 40, kBlue},
        {"160", 600, 500, kYellow},
    };
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "150"));
    SetStretch(page, false);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        ASSERT_TRUE(SelectEntry(page, row.entry));
        EXPECT_EQ(std::string(row.entry) + " (" + std::to_string(row.width) + "x" + std::to_string(row.height) + ")",
                  ControlText(page, IDC_SIZE_LABEL));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_COPY)));

        Preview preview = ReadPreview(page);
        const Pixels& area = preview.area;
        ASSERT_GT(area.width, 0);
        bool larger = row.width > area.width || row.height > area.height;
        EXPECT_EQ(larger, IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)) != FALSE);

        RECT drawn = preview.Drawn();
        int width = std::min(row.width, area.width);
        int height = std::min(row.height, area.height);
        ASSERT_EQ(width, drawn.right - drawn.left);
        ASSERT_EQ(height, drawn.bottom - drawn.top);
        EXPECT_LE(std::abs((area.width - drawn.right) - drawn.left), 1);
        EXPECT_LE(std::abs((area.height - drawn.bottom) - drawn.top), 1);
        // The top-left corner is the bitmap's own: its black border, then its colour.
        EXPECT_EQ(kBlack, area.At(drawn.left, drawn.top));
        EXPECT_EQ(row.inside, area.At(drawn.left + 1, drawn.top + 1));
        // Its right and bottom border show only where the whole bitmap fits.
        EXPECT_EQ(row.width <= area.width ? kBlack : row.inside, area.At(drawn.right - 1, drawn.top + 1));
        EXPECT_EQ(row.height <= area.height ? kBlack : row.inside, area.At(drawn.left + 1, drawn.bottom - 1));
    }
}

// 170 is 400 x 30, its left half red and its right half blue.
TEST_F(BitmapsPage, StretchSqueezesAWideBitmapToTheAreaAtItsOwnHeight)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "170"));
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)));
    for (bool stretch : {false, true, false}) {
        SCOPED_TRACE(stretch ? "stretched" : "at its own size");
        SetStretch(page, stretch);
        Preview preview = ReadPreview(page);
        const Pixels& area = preview.area;
        ASSERT_LT(area.width, 400);
        RECT drawn = preview.Drawn();
        EXPECT_EQ(0, drawn.left);
        EXPECT_EQ(area.width, drawn.right);
        EXPECT_EQ(30, drawn.bottom - drawn.top);
        EXPECT_LE(std::abs((area.height - drawn.bottom) - drawn.top), 1);
        int row = drawn.top + 15;
        int red = 0, blue = 0;
        for (int x = 0; x < area.width; ++x) {
            red += area.At(x, row) == kRed;
            blue += area.At(x, row) == kBlue;
        }
        if (stretch) {
            // The default stretching mode ANDs the pixels it drops: the seam may turn black.
            EXPECT_LE(area.width - (red + blue), 1);
            EXPECT_LE(std::abs(red - blue), 2);
            EXPECT_EQ(kRed, area.At(0, row));
            EXPECT_EQ(kBlue, area.At(area.width - 1, row));
        } else {
            EXPECT_EQ(area.width, red + blue);
            EXPECT_EQ(std::min(area.width, 200), red);
        }
    }
}

TEST_F(BitmapsPage, StretchSqueezesABitmapLargerBothWaysIntoTheWholeArea)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "160"));
    SetStretch(page, true);
    Preview preview = ReadPreview(page);
    const Pixels& area = preview.area;
    RECT drawn = preview.Drawn();
    EXPECT_EQ(0, drawn.left);
    EXPECT_EQ(0, drawn.top);
    EXPECT_EQ(area.width, drawn.right);
    EXPECT_EQ(area.height, drawn.bottom);
    // All four borders of the squeezed bitmap are in sight.
    int midX = area.width / 2, midY = area.height / 2;
    EXPECT_EQ(kBlack, area.At(0, midY));
    EXPECT_EQ(kBlack, area.At(area.width - 1, midY));
    EXPECT_EQ(kBlack, area.At(midX, 0));
    EXPECT_EQ(kBlack, area.At(midX, area.height - 1));
    EXPECT_EQ(kYellow, area.At(midX, midY));
}

TEST_F(BitmapsPage, ASmallBitmapDisablesStretchButKeepsItsCheckMark)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "150"));
    SetStretch(page, true);
    ASSERT_TRUE(SelectEntry(page, "101"));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_STRETCH));
    // A bitmap that fits is shown at its own size even with the box checked.
    RECT drawn = ReadPreview(page).Drawn();
    EXPECT_EQ(8, drawn.right - drawn.left);
    EXPECT_EQ(8, drawn.bottom - drawn.top);
}

// Whatever the preview shows, Copy places the whole bitmap.
TEST_F(BitmapsPage, CopyPutsTheWholeBitmapOnTheClipboard)
{
    struct Row {
        const char* entry;
        bool stretch;
        int width, height;
        COLORREF inside;
    };
    const Row rows[] = {
        {"\"NAMED\"", false, 24, 16, kMagenta},
        {"2", false, 32, 32, kRed},
        {"160", true, 600, 500, kYellow},
        {"150", false, 600, 40, kBlue},
    };
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        ASSERT_TRUE(SelectEntry(page, row.entry));
        if (IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)))
            SetStretch(page, row.stretch);
        PutSentinelOnClipboard();
        ClickButton(page, IDC_COPY);
        EXPECT_FALSE(ClipboardHoldsSentinel());
        Pixels copy = ClipboardBitmap();
        ASSERT_EQ(row.width, copy.width);
        ASSERT_EQ(row.height, copy.height);
        EXPECT_EQ(kBlack, copy.At(0, 0));
        EXPECT_EQ(kBlack, copy.At(row.width - 1, row.height - 1));
        EXPECT_EQ(row.inside, copy.At(row.width / 2, row.height / 2));
    }
}

TEST_F(BitmapsPage, StretchIsRememberedAfterCancelAndShownOnTheNextFilesPage)
{
    ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), dir / "OTHER.DLL"));
    struct Row {
        const char* file;
        bool checkedAtStart;
        bool setTo;
        int closeWith;
    };
    // No settings file at first: the default flags have the bit set.
    const Row rows[] = {
        {"RESLIB.DLL", true, false, PSBTN_CANCEL},
        {"OTHER.DLL", false, true, PSBTN_CANCEL},
        {"RESLIB.DLL", true, false, PSBTN_OK},
        {"OTHER.DLL", false, false, PSBTN_CANCEL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + (row.setTo ? " set" : " cleared"));
        HWND page = OpenBitmapsPage(dir / row.file);
        ASSERT_TRUE(page);
        EXPECT_EQ(row.checkedAtStart, IsDlgButtonChecked(page, IDC_STRETCH) == BST_CHECKED);
        ASSERT_TRUE(SelectEntry(page, "160"));
        SetStretch(page, row.setTo);
        Close(row.closeWith);
        EXPECT_EQ(row.setTo ? 39u : 39u & ~0x20u, pindrel.ReadFlags(0xdeadbeef));
    }
}

// The settings page may write the flags while the sheet is open; closing the sheet
// changes only the Stretch bit of what the file holds then. Flags 0 (the extension
// switched off) stay 0, whatever the check box shows.
TEST_F(BitmapsPage, ClosingKeepsTheFlagsAnotherWriterChangedMeanwhile)
{
    struct Row {
        UINT before;
        bool stretch;
        UINT writtenMeanwhile;
        UINT expected;
    };
    const Row rows[] = {
        {39, true, 0x13, 0x33},
        {39, false, 0x37, 0x17},
        {0x27, true, 0x05, 0x25},
        {0x07, false, 0x1f, 0x1f},
        {39, true, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.writtenMeanwhile);
        ASSERT_TRUE(pindrel.WriteFlags(row.before));
        HWND page = OpenBitmapsPage(ResLib());
        ASSERT_TRUE(page);
        ASSERT_TRUE(SelectEntry(page, "150"));
        SetStretch(page, row.stretch);
        ASSERT_TRUE(pindrel.WriteFlags(row.writtenMeanwhile));
        Close(PSBTN_CANCEL);
        EXPECT_EQ(row.expected, pindrel.ReadFlags(0xdeadbeef));
    }
}

TEST_F(BitmapsPage, DrawsThePreviewAgainWhenThePageIsUncovered)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "2"));
    RECT before = ReadPreview(page).Drawn();
    ASSERT_EQ(32, before.right - before.left);

    // What a window laid over the sheet leaves behind: its own colour in the frame.
    HWND frame = GetDlgItem(page, IDC_PREVIEW);
    HDC dc = GetDC(frame);
    RECT client;
    GetClientRect(frame, &client);
    HBRUSH brush = CreateSolidBrush(kGreen);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(frame, dc);
    ASSERT_EQ(kGreen, ReadPreview(page).area.At(0, 0));

    // Wine shows an uncovered window again from its own surface without repainting
    // it; Windows invalidates what was uncovered, as this does.
    RedrawWindow(sheet.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Preview after = ReadPreview(page);
    RECT drawn = after.Drawn();
    EXPECT_TRUE(EqualRect(&before, &drawn));
    EXPECT_EQ(kRed, after.area.At(drawn.left + 16, drawn.top + 16));

    // Drawing does not make the page paint again: an idle page stays idle.
    ledger->ResetCounts();
    PumpMessages();
    PumpMessages();
    EXPECT_EQ(0, ledger->Calls("GetDC"));
}

// LONGNAMES.DLL holds a 77-character name (its quoted entry just fits the 79
// characters of an entry), that name with one character more, a 100-character name,
// a 70-character name of the 600 x 40 bitmap, whose size label cannot fit, and two
// names whose entries UTF-8 cuts before a character of three and one of four bytes.
TEST_F(BitmapsPage, ANameTooLongForItsEntryIsCutAndStandsForNoBitmap)
{
    ASSERT_TRUE(CopyFileTo(FixturePath("LONGNAMES.DLL"), dir / "LONGNAMES.DLL"));
    std::string name77 = "P";
    for (int i = 0; i < 76; ++i)
        name77 += static_cast<char>('A' + i % 26);
    std::string name70 = "LABEL" + std::string(65, 'W');
    std::string name100 = "CUT" + std::string(97, 'Z');
    struct Row {
        std::string entry;
        std::string label;
        int width, height;  // 0 x 0: nothing shown and nothing copied
    };
    std::string cut3 = "\"CUT3" + std::string(72, 'Y'), cut4 = "\"CUT4" + std::string(71, 'Y');
    std::vector<Row> rows = {
        {"\"" + name77 + "\"", "\"" + name77 + "\"", 8, 8},
        // A reading of the cut text as a quoted name would find name77's bitmap.
        {"\"" + name77 + "X", "\"" + name77 + "X", 0, 0},
        {"\"" + name70 + "\"", "\"" + name70 + "\" (600x4", 600, 40},
        {"\"" + name100.substr(0, 78), "\"" + name100.substr(0, 78), 0, 0},
    };
    if (GetACP() == CP_UTF8)
        rows.insert(rows.end(), {{cut3, cut3 + " (", 0, 0}, {cut4, cut4 + " (0", 0, 0}});
    HWND page = OpenBitmapsPage(dir / "LONGNAMES.DLL");
    ASSERT_TRUE(page);
    std::vector<std::string> entries = ListItems(GetDlgItem(page, IDC_BITMAP_LIST));
    EXPECT_EQ(6u, entries.size());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        ASSERT_EQ(79u, row.label.size());
        ASSERT_TRUE(SelectEntry(page, row.entry));
        EXPECT_EQ(row.label, ControlText(page, IDC_SIZE_LABEL));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_COPY)));
        if (IsWindowEnabled(GetDlgItem(page, IDC_STRETCH)))
            SetStretch(page, false);
        Preview preview = ReadPreview(page);
        RECT drawn = preview.Drawn();
        EXPECT_EQ(std::min(row.width, preview.area.width), drawn.right - drawn.left);
        EXPECT_EQ(std::min(row.height, preview.area.height), drawn.bottom - drawn.top);

        PutSentinelOnClipboard();
        ClickButton(page, IDC_COPY);
        if (row.width == 0) {
            EXPECT_TRUE(ClipboardHoldsSentinel());
        } else {
            Pixels copy = ClipboardBitmap();
            EXPECT_EQ(row.width, copy.width);
            EXPECT_EQ(row.height, copy.height);
        }
        ExpectNothingHeld(*ledger);
    }
}

// The Touch page lets the module go whenever it is shown; coming back to the Bitmaps
// page loads it again, so the preview and Copy still work. (A module loaded as a data
// file is not found by GetModuleHandleA, so the loads are counted at the imports.)
int moduleLoads = 0;
int moduleFrees = 0;
HMODULE WINAPI CountLoadLibraryA(LPCSTR path)
{
    ++moduleLoads;
    return LoadLibraryA(path);
}
HMODULE WINAPI CountLoadLibraryExA(LPCSTR path, HANDLE file, DWORD flags)
{
    ++moduleLoads;
    return LoadLibraryExA(path, file, flags);
}
BOOL WINAPI CountFreeLibrary(HMODULE module)
{
    ++moduleFrees;
    return FreeLibrary(module);
}

TEST_F(BitmapsPage, LoadsTheModuleAgainWhenShownAfterTheTouchPage)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(SelectEntry(page, "2"));
    ImportPatch load(pindrel.Module(), "kernel32.dll", "LoadLibraryA", reinterpret_cast<const void*>(&CountLoadLibraryA));
    ImportPatch loadEx(pindrel.Module(), "kernel32.dll", "LoadLibraryExA",
                       reinterpret_cast<const void*>(&CountLoadLibraryExA));
    ImportPatch free(pindrel.Module(), "kernel32.dll", "FreeLibrary", reinterpret_cast<const void*>(&CountFreeLibrary));
    ASSERT_TRUE(load.Applied() || loadEx.Applied());
    ASSERT_TRUE(free.Applied());
    moduleLoads = moduleFrees = 0;

    ASSERT_NE(page, sheet.SelectPage(0));
    ASSERT_EQ(1, moduleFrees) << "the Touch page kept the module";
    ASSERT_EQ(page, sheet.SelectPage(sheet.PageCount() - 1));
    EXPECT_EQ(1, moduleLoads);
    RECT drawn = ReadPreview(page).Drawn();
    EXPECT_EQ(32, drawn.right - drawn.left);
    PutSentinelOnClipboard();
    ClickButton(page, IDC_COPY);
    EXPECT_EQ(32, ClipboardBitmap().width);
}

TEST_F(BitmapsPage, HelpOnAControlShowsTheTopicOfItsId)
{
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CHM"), dir / "KELVARA.CHM"));
    const int expected[] = {IDC_COPY, IDC_STRETCH, IDC_BITMAP_LIST};
    for (const HelpSystem& system : kHelpSystems) {
        SCOPED_TRACE(system.name);
        HelpRecorder help(pindrel.Module(), &system);
        ASSERT_TRUE(help.Applied());
        for (int id : {IDC_COPY, IDC_STRETCH, IDC_BITMAP_LIST, 0}) {
            HELPINFO info = {sizeof info, HELPINFO_WINDOW, id, id ? GetDlgItem(page, id) : page, 0, {0, 0}};
            SendMessageA(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        }
        ASSERT_EQ(3u, help.calls.size());
        for (size_t i = 0; i < help.calls.size(); ++i) {
            SCOPED_TRACE(expected[i]);
            const std::string helpFile = dir / "KELVARA.HLP";
            EXPECT_EQ(ExpectedHelpCall(system, pindrel.Module(), page, helpFile, HELP_CONTEXTPOPUP, expected[i]),
                      help.calls[i]);
        }
    }
}

// Every drawing and copy releases what it made, also when a step fails; a failed load
// shows nothing with the size 0x0 and leaves the clipboard alone.
TEST_F(BitmapsPage, ReleasesEveryGdiObjectOnEveryPath)
{
    enum class Clipboard { Kept, Replaced, Emptied };
    struct Row {
        const char* failing;  // nullptr: nothing fails
        const char* entry;
        bool copy;
        Clipboard clipboard;  // after a copy
        const char* label;    // after a drawing
    };
    const Row rows[] = {
        {nullptr, "2", false, Clipboard::Kept, "2 (32x32)"},
        {nullptr, "2", true, Clipboard::Replaced, nullptr},
        {nullptr, "160", true, Clipboard::Replaced, nullptr},
        {"LoadImageA", "2", false, Clipboard::Kept, "2 (0x0)"},
        {"LoadImageA", "2", true, Clipboard::Kept, nullptr},
        {"CopyImage", "\"NAMED\"", true, Clipboard::Kept, nullptr},
        // The clipboard was emptied for the copy; the copy that it refused is deleted.
        {"SetClipboardData", "101", true, Clipboard::Emptied, nullptr},
        {"CreateCompatibleDC", "150", false, Clipboard::Kept, "150 (600x40)"},
        {"CreateSolidBrush", "101", false, Clipboard::Kept, "101 (8x8)"},
        {"GetDC", "101", false, Clipboard::Kept, ""},
    };
    HWND page = OpenBitmapsPage(ResLib());
    ASSERT_TRUE(page);
    ExpectNothingHeld(*ledger);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.failing ? row.failing : "nothing") + " fails, " + row.entry +
                     (row.copy ? " copied" : " drawn"));
        ASSERT_TRUE(SelectEntry(page, row.entry));
        PutSentinelOnClipboard();
        ledger->ResetCounts();
        if (row.failing)
            ledger->FailNext(row.failing);
        if (row.copy) {
            ClickButton(page, IDC_COPY);
            EXPECT_EQ(row.clipboard == Clipboard::Kept, ClipboardHoldsSentinel());
            EXPECT_EQ(row.clipboard == Clipboard::Replaced, ClipboardBitmap().width > 0);
            EXPECT_EQ(row.clipboard == Clipboard::Replaced ? 1u : 0u, ledger->HandedOver());
        } else {
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_STRETCH, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_STRETCH)));
            EXPECT_EQ(row.label, ControlText(page, IDC_SIZE_LABEL));
        }
        if (row.failing)
            EXPECT_EQ(1, ledger->Calls(row.failing)) << "the failure was not reached";
        else
            EXPECT_GT(ledger->Created(GdiKind::Bitmap), 0u);
        ExpectNothingHeld(*ledger);
        // The posted redrawing runs as well.
        PumpMessages();
        ExpectNothingHeld(*ledger);
    }
}

}  // namespace
