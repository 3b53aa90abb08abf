// KELVARA.HLP in the platform's own help viewer: every context number that the
// suite passes to WinHelpA opens its topic, without an error box. Under code page
// 932 the viewer is given the Japanese help file and shows its Japanese topics.
#include <windows.h>
#include <htmlhelp.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deliverables.h"
#include "foreign_windows.h"
#include "pixels.h"
#include "text.h"

namespace {

const std::string kHelpFile = JapaneseRun() ? std::string(KELVARA_HELP_JA) : DistPath("KELVARA.HLP");

struct ViewerWindows {
    std::vector<HWND> topics;       // visible windows with a text view
    std::vector<HWND> errorBoxes;   // message boxes of the viewer
};

BOOL CALLBACK FindRichEdit(HWND hwnd, LPARAM lParam)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (_strnicmp(name, "RichEdit", 8) == 0) {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND TextView(HWND window)
{
    HWND text = nullptr;
    EnumChildWindows(window, FindRichEdit, reinterpret_cast<LPARAM>(&text));
    return text;
}

// The viewer's visible windows: message boxes and windows with a text view.
ViewerWindows FindViewerWindows(DWORD pid)
{
    ViewerWindows found;
    for (HWND window : pid ? TopLevelWindows(pid) : std::vector<HWND>()) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, "#32770") == 0) {
            found.errorBoxes.push_back(window);
        } else if (TextView(window)) {
            found.topics.push_back(window);
        }
    }
    return found;
}

// The text of a window of another process: WM_GETTEXT is carried across.
std::string ViewerText(HWND hwnd)
{
    std::vector<char> text(8192, '\0');
    DWORD_PTR length = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &length);
    return std::string(text.data());
}

std::string BoxText(HWND box)
{
    std::string text = ViewerText(box);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        text += " | " + ViewerText(child);
    }
    return text;
}

void EndViewer()
{
    DWORD pid = HelpViewerProcess();
    if (!pid) return;
    WinHelpA(nullptr, kHelpFile.c_str(), HELP_QUIT, 0);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return;
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

// Wine's WinHelpA starts the viewer and looks for its window at once, failing
// when the viewer has not made it yet; so the viewer is started first, the same
// way, and waited for.
bool StartViewer()
{
    if (HelpViewerProcess()) return true;
    if (WinExec("winhlp32.exe -x", SW_SHOWNORMAL) < 32) return false;
    for (int i = 0; i < 200 && !HelpViewerProcess(); ++i) Sleep(50);
    return HelpViewerProcess() != 0;
}

struct HelpCall {
    UINT command;
    ULONG_PTR data;
    BOOL result = FALSE;
};

DWORD WINAPI CallWinHelp(void* parameter)
{
    HelpCall* call = static_cast<HelpCall*>(parameter);
    call->result = WinHelpA(nullptr, kHelpFile.c_str(), call->command, call->data);
    return 0;
}

// WinHelpA does not return while the viewer shows an error box, so it runs on a
// worker thread; a call still blocked after a generous wait means such a box,
// whose text becomes the failure. True when the call returned.
bool ShowHelp(UINT command, ULONG_PTR data, BOOL* result = nullptr)
{
    HelpCall call{command, data};
    HANDLE thread = CreateThread(nullptr, 0, CallWinHelp, &call, 0, nullptr);
    if (!thread) {
        ADD_FAILURE() << "no thread for WinHelpA";
        return false;
    }
    bool returned = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    if (!returned) {
        for (HWND box : FindViewerWindows(HelpViewerProcess()).errorBoxes) {
            ADD_FAILURE() << "the viewer shows: " << BoxText(box);
        }
        EndViewer();   // ends the blocked call
        WaitForSingleObject(thread, 10000);
    }
    CloseHandle(thread);
    if (result) *result = call.result;
    return returned;
}

void ExpectNoErrorBox()
{
    for (HWND box : FindViewerWindows(HelpViewerProcess()).errorBoxes) {
        ADD_FAILURE() << "the viewer shows: " << BoxText(box);
    }
}

// The text of the viewer's one topic window.
std::string ShownTopic()
{
    ViewerWindows windows = FindViewerWindows(HelpViewerProcess());
    if (windows.topics.size() != 1) return "(" + std::to_string(windows.topics.size()) + " topic windows)";
    return ViewerText(TextView(windows.topics[0]));
}

// Every topic starts with its heading as its first line; the Japanese file's
// headings name the controls as the Japanese dialogs do.
struct Topic {
    ULONG_PTR number;
    const char* heading;
    const char* phrase;   // from the topic's text
    const char* japaneseHeading;
    const char* japanesePhrase;
};

const Topic kMainTopics[] = {
    {10000, "The Kelvara settings", "Go Online", "Kelvara の設定", "[ホームページ]"},
    {15002, "Removing Kelvara", "Run the uninstaller again", "Kelvara の削除", "アンインストーラをもう一度実行"},
    {25000, "Property Sheet settings", "Displays the icons in the resource table only", "Property Sheet の設定",
     "アイコンを持たないファイルでは表示しない"},
};

const Topic kPopupTopics[] = {
    {20000, "Enable Pindrel", "on or off", "Pindrel を有効にする", "まとめて有効または無効"},
    {20001, "Touch", "Adds the Touch page", "タイム スタンプ", "[タイム スタンプ] タブを追加"},
    {20002, "Icons", "Adds the Icons page", "アイコン", "[アイコン] タブを追加"},
    {20003, "Displays the icons in the resource table only", "contain icons of their own",
     "アイコンを持たないファイルでは表示しない", "独自のアイコンを含むファイル"},
    {20004, "Bitmaps", "Adds the Bitmaps page", "ビットマップ", "[ビットマップ] タブを追加"},
    {25011, "File name", "how many", "ファイル名", "ファイルの数"},
    {25012, "File icon", "Kelvara's own icon", "ファイルのアイコン", "Kelvara のアイコン"},
    {25013, "Copy", "Clipboard", "コピー", "クリップボード"},
    {25101, "Creation", "was created", "作成日時", "作成日時を扱います"},
    {25102, "Last Written", "last written", "更新日時", "最後に書き込まれた日時"},
    {25103, "Both", "both time stamps", "両方", "両方のタイム スタンプ"},
    {25111, "Time", "HH:MM:SS", "時間", "HH:MM:SS の形式"},
    {25112, "Date", "YYYY/MM/DD", "日付", "YYYY/MM/DD の形式"},
    {25113, "Touch", "typed in the boxes", "変更", "ボックスに入力した日付と時間"},
    {25114, "Now", "current date and time", "現在", "現在の日付と時間"},
    {25115, "Reset", "stored time stamp", "リセット", "保存されているタイム スタンプ"},
    {25201, "Small", "16 by 16", "小", "16 × 16 ピクセル"},
    {25202, "Normal", "32 by 32", "標準", "32 × 32 ピクセル"},
    {25203, "Large", "48 by 48", "大", "48 × 48 ピクセル"},
    {25211, "Icons", "scroll sideways", "アイコン", "横にスクロール"},
    {25212, "Cursors", "label and the list", "カーソル", "このラベルと一覧"},
    {25213, "Cursors", "always shown at 32 by 32", "カーソル", "常に 32 × 32 ピクセルで表示"},
    {25301, "Bitmaps", "double quotes", "ビットマップ", "二重引用符"},
    {25302, "Preview", "top left part", "プレビュー", "左上の部分"},
    {25303, "Size", "width and height", "サイズ", "幅と高さ"},
    {25304, "Stretch", "Shrinks", "縮小して表示", "全体が見えるように縮小"},
};

// The heading ends its line with lineEnd.
void ExpectTopic(const std::string& shown, const Topic& topic, const char* lineEnd = "\r")
{
    EXPECT_EQ(0u, shown.find(Localized(topic.heading, topic.japaneseHeading) + lineEnd)) << shown;
    EXPECT_NE(std::string::npos, shown.find(Localized(topic.phrase, topic.japanesePhrase))) << shown;
}

class HelpFile : public testing::Test {
protected:
    void SetUp() override
    {
        EndViewer();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kHelpFile.c_str())) << kHelpFile;
        ASSERT_TRUE(StartViewer());
    }
    void TearDown() override { EndViewer(); }
};

TEST_F(HelpFile, ContentsOpensTheSuiteOverview)
{
    BOOL result = FALSE;
    ASSERT_TRUE(ShowHelp(HELP_CONTENTS, 0, &result));
    EXPECT_TRUE(result);
    ExpectNoErrorBox();
    ExpectTopic(ShownTopic(), {0, "Kelvara", "Properties dialog of files", "Kelvara", "ファイルのプロパティ ダイアログ"});
}

TEST_F(HelpFile, EachDialogContextNumberOpensItsTopic)
{
    for (const Topic& topic : kMainTopics) {
        SCOPED_TRACE(topic.number);
        BOOL result = FALSE;
        ASSERT_TRUE(ShowHelp(HELP_CONTEXT, topic.number, &result));
        EXPECT_TRUE(result);
        ExpectNoErrorBox();
        ExpectTopic(ShownTopic(), topic);
    }
}

// Wine 8's viewer ignores HELP_CONTEXTPOPUP (its pop-up command is a stub) where
// Windows shows the topic in a pop-up window, so the call is checked for an
// error box and the same number is then opened with HELP_CONTEXT, which shows
// that it names the right topic.
TEST_F(HelpFile, EachControlIdOpensItsPopupTopic)
{
    for (const Topic& topic : kPopupTopics) {
        SCOPED_TRACE(topic.number);
        BOOL result = FALSE;
        ASSERT_TRUE(ShowHelp(HELP_CONTEXTPOPUP, topic.number, &result));
        EXPECT_TRUE(result);
        ExpectNoErrorBox();
        ASSERT_TRUE(ShowHelp(HELP_CONTEXT, topic.number));
        ExpectNoErrorBox();
        ExpectTopic(ShownTopic(), topic);
    }
}

TEST_F(HelpFile, UnknownContextNumberShowsNoTopic)
{
    // The viewer finds no topic for the number and shows nothing (Wine's viewer
    // then ends): no number falls back to some other topic.
    ASSERT_TRUE(ShowHelp(HELP_CONTEXT, 24999));
    ViewerWindows windows = FindViewerWindows(HelpViewerProcess());
    EXPECT_TRUE(windows.topics.empty()) << ViewerText(TextView(windows.topics[0]));
}

// KELVARA.CHM in Wine's own HTML Help: every context number opens a window with the
// file's title (Wine shows no page without a browser engine); an unknown one opens
// nothing. The pop-ups that PINDREL.DLL shows there are its controls' topics.
TEST(HtmlHelpFile, EachContextNumberOpensAWindowOfTheFile)
{
    const std::string file = JapaneseRun() ? std::string(KELVARA_CHM_JA) : DistPath("KELVARA.CHM");
    HMODULE hhctrl = LoadLibraryA("hhctrl.ocx");
    auto htmlHelp = reinterpret_cast<HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR)>(
        hhctrl ? GetProcAddress(hhctrl, "HtmlHelpA") : nullptr);
    HMODULE pindrel = LoadLibraryExA(DistPath("PINDREL.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(htmlHelp && pindrel);
    std::vector<Topic> topics(std::begin(kMainTopics), std::end(kMainTopics));
    topics.insert(topics.end(), std::begin(kPopupTopics), std::end(kPopupTopics));
    for (const Topic& topic : topics) {
        SCOPED_TRACE(topic.number);
        HWND window = htmlHelp(GetDesktopWindow(), file.c_str(), HH_HELP_CONTEXT, topic.number);
        wchar_t caption[64] = L"";
        GetWindowTextW(window, caption, 64);
        EXPECT_EQ(Wide(JapaneseRun() ? u8"Kelvara ヘルプ" : "Kelvara Help"), caption);
        htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
        char popup[1024] = "";
        if (topic.number > 25010) {  // a control's
            LoadStringA(pindrel, static_cast<UINT>(topic.number), popup, sizeof popup);
            ExpectTopic(popup, topic, "\n\n");
        }
    }
    EXPECT_FALSE(htmlHelp(GetDesktopWindow(), file.c_str(), HH_HELP_CONTEXT, 24999));
    FreeLibrary(pindrel);
}

// Screenshots: the whole screen as a PNG file.

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBig32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    std::string chunk = std::string(type, 4) + data;
    out += chunk;
    PutBig32(out, Crc32(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()));
}

// An RGB PNG whose image data is zlib with stored (uncompressed) blocks.
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgbRows)
{
    std::string header;
    PutBig32(header, width);
    PutBig32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (uint8_t byte : rgbRows) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < rgbRows.size() || at == 0; at += 65535) {
        size_t size = std::min<size_t>(65535, rgbRows.size() - at);
        bool last = at + size >= rgbRows.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(size & 0xFF);
        z += static_cast<char>(size >> 8);
        z += static_cast<char>(~size & 0xFF);
        z += static_cast<char>((~size >> 8) & 0xFF);
        z.append(reinterpret_cast<const char*>(rgbRows.data()) + at, size);
        if (last) break;
    }
    PutBig32(z, (b << 16) | a);
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", "");
    return png;
}

// build/screenshots/<stem>.png, or <stem>-ja.png in the Japanese environment
// (build/screenshots64/ for the x64 suite).
void SaveScreenshot(const char* stem)
{
    std::string name = std::string(stem) + (GetACP() == 932 ? "-ja" : "") + ".png";
    Pixels screen = CaptureClient(nullptr);
    ASSERT_FALSE(screen.Empty());
    std::vector<uint8_t> rows;
    for (int y = 0; y < screen.height; ++y) {
        rows.push_back(0);   // no filter
        for (int x = 0; x < screen.width; ++x) {
            COLORREF pixel = screen.At(x, y);
            rows.push_back(GetRValue(pixel));
            rows.push_back(GetGValue(pixel));
            rows.push_back(GetBValue(pixel));
        }
    }

    // build/screenshots beside build/dist, build/screenshots64 beside the x64 suite's build/dist64.
    std::string dist = DistPath("");
    std::string dir = dist.substr(0, dist.rfind("\\dist")) + "\\screenshots" + (sizeof(void*) == 8 ? "64" : "");
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string png = EncodePng(screen.width, screen.height, rows);
    HANDLE file = CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(png.size(), written);
}

// The viewer paints in its own process; a screenshot waits for its queue to drain.
void WaitForPaint()
{
    for (int i = 0; i < 20; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(50);
    }
}

// Topic 25000 offers each check box as a pop-up hot spot: clicking "Enable
// Pindrel" shows topic 20000 in a pop-up window of the viewer.
TEST_F(HelpFile, SettingsTopicShowsCheckBoxPopups)
{
    ASSERT_TRUE(ShowHelp(HELP_CONTEXT, 25000));
    ViewerWindows windows = FindViewerWindows(HelpViewerProcess());
    ASSERT_EQ(1u, windows.topics.size());
    HWND main = windows.topics[0];
    HWND text = TextView(main);
    SetWindowPos(main, HWND_TOP, 20, 20, 640, 480, SWP_SHOWWINDOW);
    WaitForPaint();
    SaveScreenshot("help-25000");

    // The view counts a paragraph end as one character; WM_GETTEXT gives "\r\n".
    // Wine's viewer places a hot spot by the bytes of text before it, the view counts
    // characters: in the Japanese file (two bytes a character) the click goes to the
    // byte count, where Wine looks for the hot spot, right of its underlined text.
    std::string shown = ViewerText(text);
    size_t at = shown.find(Localized("Enable Pindrel switches", "Pindrel を有効にする では"));
    ASSERT_NE(std::string::npos, at) << shown;
    size_t breaks = 0;
    for (size_t i = 0; i < at; ++i) breaks += shown.compare(i, 2, "\r\n") == 0;
    LRESULT position = SendMessageA(text, EM_POSFROMCHAR, at - breaks + 3, 0);
    LPARAM point = MAKELPARAM(LOWORD(position) + 2, HIWORD(position) + 4);
    PostMessageA(text, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(text, WM_LBUTTONUP, 0, point);

    // The click is handled in the viewer's own time: look until the pop-up is there.
    HWND popup = nullptr;
    for (int i = 0; i < 100 && !popup; ++i) {
        windows = FindViewerWindows(HelpViewerProcess());
        for (HWND w : windows.topics) {
            if (w != main) popup = w;
        }
        if (!popup) Sleep(50);
    }
    ASSERT_TRUE(popup) << "no pop-up window";
    ExpectNoErrorBox();
    WaitForPaint();
    EXPECT_TRUE(GetWindowLongA(popup, GWL_STYLE) & WS_POPUP);
    ExpectTopic(ViewerText(TextView(popup)), kPopupTopics[0]);
    SaveScreenshot("help-popup");
}

}  // namespace
