// The Icons page in a real property sheet: what its lists and its Copy button show
// (read back as pixels of the real windows), what Copy puts on the clipboard, and
// the icons, cursors and GDI objects it creates and releases.
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
#include <cstdlib>
#include <map>
#include <memory>
#include <shellapi.h>
#include <string>
#include <vector>

namespace {

// The fixtures' colours (the 16-colour palette, exact on a 24-bit display).
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(128, 0, 0);
const COLORREF kGreen = RGB(0, 128, 0);
const COLORREF kBlue = RGB(0, 0, 128);
const COLORREF kMagenta = RGB(128, 0, 128);
const COLORREF kCyan = RGB(0, 128, 128);
const COLORREF kLightRed = RGB(255, 0, 0);  // first frame of the animated images
const COLORREF kFixtureColours[] = {kRed, kGreen, kBlue, kMagenta, kCyan, kLightRed};

// What the fixture images of each resource name show ("#1" for an integer name).
const std::map<std::string, COLORREF> kResLibIcons = {{"#1", kRed}, {"GREENICON", kGreen}, {"#3", kBlue}};
const std::map<std::string, COLORREF> kResLibCursors = {{"#30", kLightRed}, {"CYANCURSOR", kCyan}, {"#10", kMagenta}};
const std::map<std::string, COLORREF> kIconLibIcons = {{"#1", kRed}, {"#2", kGreen}};
const std::map<std::string, COLORREF> kAniLibIcons = {{"#5", kLightRed}, {"#1", kBlue}, {"GREENICON", kGreen}};

struct SizeCase {
    const char* name;
    int button;
    int size;
};
const SizeCase kSizes[] = {
    {"Small", IDC_SIZE_SMALL, 16},
    {"Normal", IDC_SIZE_NORMAL, 32},
    {"Large", IDC_SIZE_LARGE, 48},
};

// An icon or cursor drawn at size x size over white by the test itself.
Pixels RenderOnWhite(HICON image, int size)
{
    Canvas canvas(size, size);
    RECT all = {0, 0, size, size};
    FillRect(canvas.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(canvas.Dc(), 0, 0, image, size, size, 0, nullptr, DI_NORMAL);
    return canvas.Read();
}

// A hidden window of the test that owns what it puts on the clipboard.
class ClipboardWriter {
public:
    ClipboardWriter() : window_(CreateWindowExA(0, "STATIC", "clipboard", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)) {}
    ~ClipboardWriter() { DestroyWindow(window_); }
    ClipboardWriter(const ClipboardWriter&) = delete;
    ClipboardWriter& operator=(const ClipboardWriter&) = delete;
    HWND Window() const { return window_; }

    bool PutText(const std::string& text)
    {
        if (!OpenClipboard(window_))
            return false;
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        bool placed = SetClipboardData(CF_TEXT, memory) != nullptr;
        if (!placed)
            GlobalFree(memory);
        CloseClipboard();
        return placed;
    }

private:
    HWND window_;
};

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (const char* chars = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
        text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

bool ClipboardHasBitmap()
{
    return IsClipboardFormatAvailable(CF_BITMAP) != FALSE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto* names = reinterpret_cast<std::vector<std::string>*>(param);
    names->push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(LOWORD(name)) : std::string(name));
    return TRUE;
}

// The names of a library's resources of one type in the system's enumeration order.
std::vector<std::string> ResourceNames(const std::string& path, LPCSTR type)
{
    std::vector<std::string> names;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return names;
    EnumResourceNamesA(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    FreeLibrary(module);
    return names;
}

// Animated images first, then the groups: the order the page lists them in.
std::vector<std::string> ListOrder(const std::string& path, LPCSTR animated, LPCSTR group)
{
    std::vector<std::string> names = ResourceNames(path, animated);
    for (const std::string& name : ResourceNames(path, group))
        names.push_back(name);
    return names;
}

// Where name stands in names; -1 when it does not.
int IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

// Loads a fixture image as the test's own reference.
HANDLE LoadFixtureImage(const std::string& path, const char* name, UINT type, int size)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HANDLE image = LoadImageA(module, name, type, size, size, size ? LR_DEFAULTCOLOR : LR_DEFAULTSIZE);
    FreeLibrary(module);
    return image;
}

// One Properties dialog with PINDREL's pages for one file.
class PropertiesSheet {
public:
    ~PropertiesSheet() { Close(); }

    // Creates the extension object for path as Explorer does and shows its pages;
    // the Icons page is created by ShowIconsPage.
    ::testing::AssertionResult Open(HMODULE pindrel, const std::string& path)
    {
        HRESULT result = E_FAIL;
        extension_ = NewExtension(pindrel, std::vector<std::string>{path}, &result);
        if (!extension_ || FAILED(result))
            return ::testing::AssertionFailure() << "the extension object: " << std::hex << result;
        if (ShowPages(extension_, host_, &result).empty() || FAILED(result))
            return ::testing::AssertionFailure() << "AddPages: " << std::hex << result;
        return ::testing::AssertionSuccess();
    }

    // Activates the Icons page; null when the sheet has none.
    HWND ShowIconsPage()
    {
        for (int i = 0; i < host_.PageCount() && !page_; ++i) {
            HWND page = host_.SelectPage(i);
            if (page && GetDlgItem(page, IDC_ICON_LIST))
                page_ = page;
        }
        if (page_)
            FitSheetToPage(host_.Window(), page_);
        PumpMessages();
        return page_;
    }

    void MoveTo(int x, int y)
    {
        SetWindowPos(host_.Window(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
        PumpMessages();
    }

    void Close()
    {
        host_.Destroy();
        page_ = nullptr;
        if (extension_) {
            extension_->Release();
            extension_ = nullptr;
        }
        PumpMessages();
    }

    HWND Page() const { return page_; }
    HWND Control(int id) const { return GetDlgItem(page_, id); }
    int Count(int listId) const { return static_cast<int>(SendMessageA(Control(listId), LB_GETCOUNT, 0, 0)); }
    int Selection(int listId) const { return static_cast<int>(SendMessageA(Control(listId), LB_GETCURSEL, 0, 0)); }

    // Presses item index of a list as a user does: scrolled into view, then the
    // mouse pressed and released over it (the list takes the focus).
    void ClickItem(int listId, int index)
    {
        SendMessageA(Control(listId), LB_SETTOPINDEX, index, 0);
        PumpMessages();
        ClickListItem(Control(listId), index);
    }

    void ChooseSize(int button) { ClickButton(page_, button); }
    void Copy() { ClickButton(page_, IDC_COPY); }

    // The Copy button's face without its frame and focus rectangle.
    Pixels CopyButtonInside() const
    {
        return CaptureClient(Control(IDC_COPY)).Inside(5);
    }

private:
    IShellExtInit* extension_ = nullptr;
    SheetHost host_;
    HWND page_ = nullptr;
};

// How far the picture of colour in area lies off its centre, in pixels, both ways.
int OffCentre(const Pixels& pixels, COLORREF colour, const RECT& area)
{
    RECT found = pixels.Bounds(colour, &area);
    int horizontal = (found.left - area.left) - (area.right - found.right);
    int vertical = (found.top - area.top) - (area.bottom - found.bottom);
    return std::max(std::abs(horizontal), std::abs(vertical));
}

class IconsPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.reset(new LoadedLibrary(DistPath("PINDREL.DLL")));
        ASSERT_TRUE(library->Get());
        ledger.reset(new GdiLedger(library->Get()));
        for (const char* function : {"LoadImageA", "DestroyIcon", "DestroyCursor", "CreateSolidBrush", "CreatePen",
                                     "CreateDCA", "CreateCompatibleDC", "CreateCompatibleBitmap", "CopyImage",
                                     "DeleteObject", "DeleteDC", "ImageList_GetIcon", "SHGetFileInfoA"})
            ASSERT_TRUE(ledger->Patched(function)) << function;
    }
    void TearDown() override
    {
        ledger.reset();
        library.reset();
    }

    // A copy of a fixture library in the test's own directory.
    std::string Fixture(const char* name)
    {
        std::string path = temp / name;
        EXPECT_TRUE(CopyFileTo(FixturePath(name), path)) << name;
        return path;
    }

    // Opens sheet over path and shows its Icons page.
    void OpenIcons(PropertiesSheet& sheet, const std::string& path)
    {
        ASSERT_TRUE(sheet.Open(library->Get(), path));
        ASSERT_TRUE(sheet.ShowIconsPage());
    }

    TempDir temp{"kvicons"};
    ClipboardWriter clipboard;
    std::unique_ptr<LoadedLibrary> library;
    std::unique_ptr<GdiLedger> ledger;
};

TEST_F(IconsPage, LibraryWithoutCursorsHidesTheCursorsAndCopiesTheFirstIcon)
{
    std::string path = Fixture("ICONLIB.DLL");
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    ASSERT_TRUE(clipboard.PutText("before"));

    EXPECT_FALSE(IsWindowVisible(sheet.Control(IDC_CURSOR_LABEL)));
    EXPECT_FALSE(IsWindowVisible(sheet.Control(IDC_CURSOR_LIST)));
    EXPECT_TRUE(IsWindowVisible(sheet.Control(IDC_ICON_LIST)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(sheet.Page(), IDC_SIZE_NORMAL));
    EXPECT_EQ("ICONLIB.DLL", ControlText(sheet.Page(), IDC_FILE_NAME));
    EXPECT_EQ(Ansi(JapaneseRun() ? "コピー" : "Copy"), ControlText(sheet.Page(), IDC_COPY));

    std::vector<std::string> order = ListOrder(path, RT_ANIICON, RT_GROUP_ICON);
    ASSERT_EQ(static_cast<int>(order.size()), sheet.Count(IDC_ICON_LIST));
    EXPECT_EQ(0, sheet.Selection(IDC_ICON_LIST));
    COLORREF first = kIconLibIcons.at(order[0]);
    EXPECT_TRUE(IsWindowEnabled(sheet.Control(IDC_COPY)));
    Pixels button = sheet.CopyButtonInside();
    RECT picture = button.Bounds(first);
    EXPECT_EQ(32, picture.right - picture.left);
    EXPECT_EQ(32, picture.bottom - picture.top);

    sheet.Copy();
    Pixels copied = ClipboardBitmap();
    ASSERT_FALSE(copied.Empty());
    EXPECT_EQ(32, copied.width);
    EXPECT_EQ(32, copied.height);
    EXPECT_EQ(32 * 32 - 8 * 8, copied.Count(first));
    EXPECT_EQ(kWhite, copied.At(0, 0));

    // The library under a name in any script the code page spells lists and copies alike.
    for (const std::string& name : ScriptNames()) {
        SCOPED_TRACE(name);
        std::string named = temp / (name + ".dll");
        ASSERT_TRUE(CopyFileTo(path, named));
        PropertiesSheet other;
        OpenIcons(other, named);
        EXPECT_EQ(name + ".dll", ControlText(other.Page(), IDC_FILE_NAME));
        EXPECT_EQ(static_cast<int>(order.size()), other.Count(IDC_ICON_LIST));
        ASSERT_TRUE(clipboard.PutText("before"));
        other.Copy();
        EXPECT_EQ(32 * 32 - 8 * 8, ClipboardBitmap().Count(first));
    }
}

TEST_F(IconsPage, ListsHoldAnimatedImagesFirstThenTheGroupsAndCopyEachOne)
{
    struct Case {
        const char* library;
        int listId;
        LPCSTR animated;
        LPCSTR group;
        const std::map<std::string, COLORREF>* colours;
    };
    const Case cases[] = {
        {"RESLIB.DLL", IDC_ICON_LIST, RT_ANIICON, RT_GROUP_ICON, &kResLibIcons},
        {"RESLIB.DLL", IDC_CURSOR_LIST, RT_ANICURSOR, RT_GROUP_CURSOR, &kResLibCursors},
        {"ANILIB.DLL", IDC_ICON_LIST, RT_ANIICON, RT_GROUP_ICON, &kAniLibIcons},
        {"ICONLIB.DLL", IDC_ICON_LIST, RT_ANIICON, RT_GROUP_ICON, &kIconLibIcons},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.library) + (row.listId == IDC_ICON_LIST ? " icons" : " cursors"));
        std::string path = Fixture(row.library);
        std::vector<std::string> order = ListOrder(path, row.animated, row.group);
        ASSERT_EQ(row.colours->size(), order.size());
        PropertiesSheet sheet;
        OpenIcons(sheet, path);
        ASSERT_EQ(static_cast<int>(order.size()), sheet.Count(row.listId));
        for (size_t i = 0; i < order.size(); ++i) {
            SCOPED_TRACE(order[i]);
            COLORREF expected = row.colours->at(order[i]);
            sheet.ClickItem(row.listId, static_cast<int>(i));
            EXPECT_GT(sheet.CopyButtonInside().Count(expected), 0);
            ASSERT_TRUE(clipboard.PutText("before"));
            sheet.Copy();
            Pixels copied = ClipboardBitmap();
            ASSERT_FALSE(copied.Empty());
            EXPECT_EQ(32, copied.width);
            for (COLORREF colour : kFixtureColours)
                if (colour == expected)
                    EXPECT_GT(copied.Count(colour), 0);
                else
                    EXPECT_EQ(0, copied.Count(colour)) << std::hex << colour;
        }
    }
}

TEST_F(IconsPage, EachSizeReloadsTheIconsKeepsTheIndexAndMakesTheIconListCurrent)
{
    std::string path = Fixture("RESLIB.DLL");
    std::vector<std::string> order = ListOrder(path, RT_ANIICON, RT_GROUP_ICON);
    ASSERT_EQ(3u, order.size());
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    sheet.ClickItem(IDC_ICON_LIST, 1);
    COLORREF chosen = kResLibIcons.at(order[1]);

    for (const SizeCase& row : kSizes) {
        SCOPED_TRACE(row.name);
        // A cursor is current before the size changes.
        sheet.ClickItem(IDC_CURSOR_LIST, 0);
        int createdBefore = static_cast<int>(ledger->Created(GdiKind::Icon));
        sheet.ChooseSize(row.button);

        EXPECT_EQ(static_cast<int>(order.size()), static_cast<int>(ledger->Created(GdiKind::Icon)) - createdBefore);
        EXPECT_EQ(1, sheet.Selection(IDC_ICON_LIST));
        HWND list = sheet.Control(IDC_ICON_LIST);
        RECT cell = {};
        SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&cell));
        Pixels shown = CaptureClient(list);
        RECT picture = shown.Bounds(chosen, &cell);
        EXPECT_EQ(row.size, picture.right - picture.left);
        EXPECT_EQ(row.size, picture.bottom - picture.top);
        EXPECT_LE(OffCentre(shown, chosen, cell), 1);

        Pixels button = sheet.CopyButtonInside();
        picture = button.Bounds(chosen);
        EXPECT_EQ(row.size, picture.right - picture.left);
        EXPECT_EQ(row.size, picture.bottom - picture.top);

        sheet.Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        EXPECT_EQ(row.size, copied.width);
        EXPECT_EQ(row.size, copied.height);
        EXPECT_GT(copied.Count(chosen), 0);
        EXPECT_EQ(0, copied.Count(kMagenta) + copied.Count(kLightRed) + copied.Count(kCyan));
    }
}

TEST_F(IconsPage, TransparentPartsOfACopyAreWhite)
{
    std::string path = Fixture("RESLIB.DLL");
    int red = IndexOf(ListOrder(path, RT_ANIICON, RT_GROUP_ICON), "#1");
    ASSERT_GE(red, 0);
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    for (const SizeCase& row : kSizes) {
        SCOPED_TRACE(row.name);
        sheet.ChooseSize(row.button);
        sheet.ClickItem(IDC_ICON_LIST, red);
        sheet.Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        ASSERT_EQ(row.size, copied.width);
        // The icon's top-left quarter-edge square is transparent.
        int corner = row.size / 4;
        RECT clear = {0, 0, corner, corner};
        EXPECT_EQ(corner * corner, copied.Count(kWhite, &clear));
        EXPECT_EQ(row.size * row.size - corner * corner, copied.Count(kRed));
        HICON reference = static_cast<HICON>(LoadFixtureImage(path, MAKEINTRESOURCEA(1), IMAGE_ICON, row.size));
        ASSERT_TRUE(reference);
        EXPECT_TRUE(copied == RenderOnWhite(reference, row.size));
        DestroyIcon(reference);
    }
}

TEST_F(IconsPage, CursorIsShownAt32ButCopiedAtTheIconSize)
{
    std::string path = Fixture("RESLIB.DLL");
    int magenta = IndexOf(ListOrder(path, RT_ANICURSOR, RT_GROUP_CURSOR), "#10");
    ASSERT_GE(magenta, 0);
    HCURSOR reference = static_cast<HCURSOR>(LoadFixtureImage(path, MAKEINTRESOURCEA(10), IMAGE_CURSOR, 0));
    ASSERT_TRUE(reference);
    int shownCount = RenderOnWhite(reference, 32).Count(kMagenta);

    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    for (const SizeCase& row : kSizes) {
        SCOPED_TRACE(row.name);
        sheet.ChooseSize(row.button);
        sheet.ClickItem(IDC_CURSOR_LIST, magenta);

        HWND list = sheet.Control(IDC_CURSOR_LIST);
        RECT cell = {};
        SendMessageA(list, LB_GETITEMRECT, magenta, reinterpret_cast<LPARAM>(&cell));
        EXPECT_EQ(shownCount, CaptureClient(list).Count(kMagenta, &cell));
        EXPECT_EQ(shownCount, sheet.CopyButtonInside().Count(kMagenta));

        sheet.Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        EXPECT_EQ(row.size, copied.width);
        EXPECT_EQ(row.size, copied.height);
        // Scaled pictures may differ at the outline's edge pixels; the filling matches.
        Pixels want = RenderOnWhite(reference, row.size);
        EXPECT_EQ(want.Count(kMagenta), copied.Count(kMagenta));
        if (row.size == 32)
            EXPECT_TRUE(copied == want);
    }
    DestroyCursor(reference);
}

TEST_F(IconsPage, FocusingAListMakesItsSelectionCurrent)
{
    std::string path = Fixture("RESLIB.DLL");
    std::vector<std::string> icons = ListOrder(path, RT_ANIICON, RT_GROUP_ICON);
    std::vector<std::string> cursors = ListOrder(path, RT_ANICURSOR, RT_GROUP_CURSOR);
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    // The cursor list's first entry was selected when the page opened.
    EXPECT_EQ(0, sheet.Selection(IDC_CURSOR_LIST));

    struct Step {
        int listId;
        COLORREF expected;
    };
    const Step steps[] = {
        {IDC_CURSOR_LIST, kResLibCursors.at(cursors[0])},
        {IDC_ICON_LIST, kResLibIcons.at(icons[0])},
        {IDC_CURSOR_LIST, kResLibCursors.at(cursors[0])},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.listId);
        SetFocus(sheet.Control(step.listId));
        PumpMessages();
        EXPECT_GT(sheet.CopyButtonInside().Count(step.expected), 0);
        sheet.Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        EXPECT_GT(copied.Count(step.expected), 0);
    }
}

TEST_F(IconsPage, CellsFillTheListHeightAndShowTheSelection)
{
    std::string path = Fixture("RESLIB.DLL");
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    for (int listId : {IDC_ICON_LIST, IDC_CURSOR_LIST}) {
        SCOPED_TRACE(listId);
        HWND list = sheet.Control(listId);
        RECT client = {};
        GetClientRect(list, &client);
        RECT cell = {};
        ASSERT_NE(LB_ERR, SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
        EXPECT_EQ(client.bottom, cell.bottom - cell.top);
    }

    struct Case {
        const char* what;
        int focusId;  // where the keyboard focus is
        int index;
        int colour;
    };
    const Case cases[] = {
        {"selected, list focused", IDC_ICON_LIST, 1, COLOR_HIGHLIGHT},
        {"not selected", IDC_ICON_LIST, 0, COLOR_WINDOW},
        {"selected, focus elsewhere", IDC_SIZE_NORMAL, 1, COLOR_INACTIVECAPTION},
    };
    sheet.ClickItem(IDC_ICON_LIST, 1);
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        SetFocus(sheet.Control(row.focusId));
        PumpMessages();
        HWND list = sheet.Control(IDC_ICON_LIST);
        SendMessageA(list, LB_SETTOPINDEX, 0, 0);
        RECT cell = {};
        SendMessageA(list, LB_GETITEMRECT, row.index, reinterpret_cast<LPARAM>(&cell));
        Pixels shown = CaptureClient(list);
        ASSERT_LE(cell.right, shown.width);
        EXPECT_EQ(GetSysColor(row.colour), shown.At(cell.left + 1, cell.top + 1));
        EXPECT_EQ(GetSysColor(row.colour), shown.At(cell.right - 2, cell.bottom - 2));
    }
}

TEST_F(IconsPage, PlainDocumentShowsTheShellsIcon)
{
    std::string path = temp.WriteFile("notes.txt", "plain text\r\n");
    SHFILEINFOA small = {}, large = {};
    ASSERT_TRUE(SHGetFileInfoA(path.c_str(), 0, &small, sizeof small, SHGFI_ICON | SHGFI_SMALLICON));
    ASSERT_TRUE(SHGetFileInfoA(path.c_str(), 0, &large, sizeof large, SHGFI_ICON | SHGFI_LARGEICON));
    // The small icon is a picture of its own, so the test can tell which one is shown.
    ASSERT_FALSE(RenderOnWhite(small.hIcon, 16) == RenderOnWhite(large.hIcon, 16));

    struct Case {
        const SizeCase& size;
        HICON shellIcon;
    };
    const Case cases[] = {{kSizes[0], small.hIcon}, {kSizes[1], large.hIcon}, {kSizes[2], large.hIcon}};
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    EXPECT_FALSE(IsWindowVisible(sheet.Control(IDC_CURSOR_LIST)));
    for (const Case& row : cases) {
        SCOPED_TRACE(row.size.name);
        sheet.ChooseSize(row.size.button);
        EXPECT_EQ(1, sheet.Count(IDC_ICON_LIST));
        EXPECT_TRUE(IsWindowEnabled(sheet.Control(IDC_COPY)));
        sheet.Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        EXPECT_EQ(row.size.size, copied.width);
        EXPECT_TRUE(copied == RenderOnWhite(row.shellIcon, row.size.size));
    }
    sheet.Close();
    DestroyIcon(small.hIcon);
    DestroyIcon(large.hIcon);
}

TEST_F(IconsPage, NothingCurrentGreysTheCopyTextAndDisablesTheButton)
{
    std::string path = temp.WriteFile("notes.txt", "plain text\r\n");
    PropertiesSheet sheet;
    ASSERT_TRUE(sheet.Open(library->Get(), path));
    // Not even the shell has an icon for the file.
    ledger->FailNext("SHGetFileInfoA", 1000);
    ASSERT_TRUE(sheet.ShowIconsPage());
    EXPECT_EQ(0, sheet.Count(IDC_ICON_LIST));
    EXPECT_FALSE(IsWindowEnabled(sheet.Control(IDC_COPY)));

    Pixels greyed = sheet.CopyButtonInside();
    EXPECT_EQ(0, greyed.Count(GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_GT(greyed.Count(GetSysColor(COLOR_BTNSHADOW)), 0);

    ASSERT_TRUE(clipboard.PutText("kept"));
    sheet.Copy();
    EXPECT_EQ("kept", ClipboardText());
    EXPECT_FALSE(ClipboardHasBitmap());
    ledger->FailNext("SHGetFileInfoA", 0);

    // The same button with a current icon draws its text in the normal colour.
    sheet.ChooseSize(IDC_SIZE_LARGE);
    ASSERT_EQ(1, sheet.Count(IDC_ICON_LIST));
    EXPECT_TRUE(IsWindowEnabled(sheet.Control(IDC_COPY)));
    EXPECT_GT(sheet.CopyButtonInside().Count(GetSysColor(COLOR_WINDOWTEXT)), 0);
}

TEST_F(IconsPage, CopyThatCannotCompleteLeavesNothingBehind)
{
    struct Case {
        const char* failing;  // "" for the clipboard held by another window
        bool clipboardEmptied;
    };
    const Case cases[] = {
        {"", false},
        {"CreateDCA", false},
        {"CreateCompatibleDC", false},
        {"CreateCompatibleBitmap", false},
        {"CopyImage", false},
        {"SetClipboardData", true},
    };
    std::string path = Fixture("ICONLIB.DLL");
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    for (const Case& row : cases) {
        SCOPED_TRACE(*row.failing ? row.failing : "clipboard held");
        ASSERT_TRUE(clipboard.PutText("kept"));
        size_t before = ledger->LiveTotal();
        bool held = !*row.failing;
        if (held)
            ASSERT_TRUE(OpenClipboard(clipboard.Window()));
        else
            ledger->FailNext(row.failing);
        sheet.Copy();
        if (held)
            CloseClipboard();
        EXPECT_EQ(before, ledger->LiveTotal()) << ledger->Describe();
        EXPECT_EQ(row.clipboardEmptied ? "" : "kept", ClipboardText());
        EXPECT_FALSE(ClipboardHasBitmap());
    }
    EXPECT_EQ(0u, ledger->HandedOver());
    sheet.Copy();
    EXPECT_EQ(1u, ledger->HandedOver());
    EXPECT_TRUE(ClipboardHasBitmap());
}

TEST_F(IconsPage, NoObjectIsLeftAfterManySizeChanges)
{
    std::string path = Fixture("RESLIB.DLL");
    {
        PropertiesSheet sheet;
        ASSERT_TRUE(sheet.Open(library->Get(), path));
        size_t icons = ledger->Live(GdiKind::Icon);
        size_t cursors = ledger->Live(GdiKind::Cursor);
        size_t others = ledger->LiveTotal() - icons - cursors;
        ASSERT_TRUE(sheet.ShowIconsPage());
        for (int round = 0; round < 40; ++round) {
            sheet.ChooseSize(kSizes[round % 3].button);
            sheet.ClickItem(round % 2 ? IDC_ICON_LIST : IDC_CURSOR_LIST, round % 3);
            if (round % 10 == 0)
                sheet.Copy();
            CaptureClient(sheet.Page());
            // Only the lists' own handles stay; brushes, pens and contexts are gone.
            ASSERT_EQ(icons + sheet.Count(IDC_ICON_LIST), ledger->Live(GdiKind::Icon)) << ledger->Describe();
            ASSERT_EQ(cursors + sheet.Count(IDC_CURSOR_LIST), ledger->Live(GdiKind::Cursor)) << ledger->Describe();
            ASSERT_EQ(others, ledger->LiveTotal() - ledger->Live(GdiKind::Icon) - ledger->Live(GdiKind::Cursor))
                << ledger->Describe();
        }
        EXPECT_GT(ledger->Created(GdiKind::Brush), 0u);
        EXPECT_GT(ledger->Created(GdiKind::Pen), 0u);
        EXPECT_GT(ledger->Created(GdiKind::CreatedDc), 0u);
        EXPECT_GT(ledger->Created(GdiKind::Bitmap), 0u);
    }
    // The sheet and the object are gone: nothing the module made is left.
    EXPECT_EQ(0u, ledger->LiveTotal()) << ledger->Describe();
    EXPECT_EQ(0u, ledger->WrongReleases());
    EXPECT_EQ(0u, ledger->ForeignReleases());
}

TEST_F(IconsPage, PlainDocumentLeavesNoShellIconBehind)
{
    std::string path = temp.WriteFile("notes.txt", "plain text\r\n");
    {
        PropertiesSheet sheet;
        OpenIcons(sheet, path);
        for (int round = 0; round < 12; ++round)
            sheet.ChooseSize(kSizes[round % 3].button);
        EXPECT_GE(ledger->Calls("ImageList_GetIcon"), 12);
    }
    EXPECT_EQ(0u, ledger->LiveTotal()) << ledger->Describe();
    EXPECT_EQ(0u, ledger->WrongReleases());
}

TEST_F(IconsPage, TwoPagesOpenAtOnceKeepTheirOwnCurrentItem)
{
    std::string path = Fixture("RESLIB.DLL");
    std::vector<std::string> icons = ListOrder(path, RT_ANIICON, RT_GROUP_ICON);
    std::vector<std::string> cursors = ListOrder(path, RT_ANICURSOR, RT_GROUP_CURSOR);
    PropertiesSheet first, second;
    OpenIcons(first, path);
    first.MoveTo(0, 0);
    OpenIcons(second, path);
    second.MoveTo(500, 0);

    first.ClickItem(IDC_ICON_LIST, 2);
    second.ClickItem(IDC_CURSOR_LIST, 1);
    COLORREF firstColour = kResLibIcons.at(icons[2]);
    COLORREF secondColour = kResLibCursors.at(cursors[1]);

    struct Case {
        const char* which;
        PropertiesSheet* sheet;
        COLORREF expected;
        COLORREF other;
    };
    const Case cases[] = {
        {"first", &first, firstColour, secondColour},
        {"second", &second, secondColour, firstColour},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.which);
        InvalidateRect(row.sheet->Control(IDC_COPY), nullptr, TRUE);
        Pixels button = row.sheet->CopyButtonInside();
        EXPECT_GT(button.Count(row.expected), 0);
        EXPECT_EQ(0, button.Count(row.other));
        row.sheet->Copy();
        Pixels copied = ClipboardBitmap();
        ASSERT_FALSE(copied.Empty());
        EXPECT_GT(copied.Count(row.expected), 0);
        EXPECT_EQ(0, copied.Count(row.other));
    }
}

TEST_F(IconsPage, HelpOnAControlShowsItsPopUpTopic)
{
    std::string path = Fixture("ICONLIB.DLL");
    PropertiesSheet sheet;
    OpenIcons(sheet, path);
    for (const HelpSystem& system : kHelpSystems) {
        SCOPED_TRACE(system.name);
        HelpRecorder help(library->Get(), &system);
        ASSERT_TRUE(help.Applied());
        for (int id : {IDC_COPY, IDC_ICON_LIST, IDC_SIZE_LARGE}) {
            SCOPED_TRACE(id);
            help.calls.clear();
            HELPINFO info = {sizeof info, HELPINFO_WINDOW, id, sheet.Control(id), 0, {0, 0}};
            SendMessageA(sheet.Page(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
            ASSERT_EQ(1u, help.calls.size());
            const std::string helpFile = DistPath("KELVARA.HLP");
            EXPECT_EQ(ExpectedHelpCall(system, library->Get(), sheet.Page(), helpFile, HELP_CONTEXTPOPUP, id),
                      help.calls[0]);
        }
    }
}

}  // namespace
