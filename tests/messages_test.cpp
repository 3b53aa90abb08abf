// Message, system-error and help boxes: through PINDREL.DLL's own exports where they
// reach them, and the shared formatting code compiled in with the small text buffer
// of the applet and the installer, which no export of PINDREL.DLL can fill.
#include "../common/mbstring.cpp"
#include "../common/messages.cpp"
#include "deliverables.h"
#include "help_recorder.h"
#include "import_patch.h"
#include "message_boxes.h"
#include "pindrel_copy.h"
#include "sheet_host.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <prsht.h>
#include <string>
#include <vector>

// The settings of this test program's copy of the formatting code: the 512-byte text
// buffer of the applet and the installer, followed by a guard zone.
HINSTANCE moduleInstance = nullptr;
namespace {
const int kSmallText = 512;
const int kGuard = 64;
char smallText[kSmallText + kGuard];
}  // namespace
const MessageSettings messageSettings = {20000, nullptr, 128, smallText, kSmallText, 31005, 21001};

namespace {

const UINT kInfErrorLine = 31005;

// The Windows 95/98 family, where Install hands its window on to the messages.
DWORD WINAPI Windows98Version()
{
    return kWindows98;
}

using InstallFn = BOOL(WINAPI*)(HWND);

const char kFaultyInf[] =
    "[Version]\r\n"
    "Signature=\"$Chicago$\"\r\n"
    "\r\n"
    "[DefaultInstall]\r\n"
    "AddReg=Keys\r\n"
    "\r\n"
    "[Keys\r\n"
    "HKCU,Software\\Kelvara,Test,,1\r\n";

class Messages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(owner.Get()); }
    OwnerWindow owner;
};

TEST_F(Messages, InfErrorLineShowsThreeLinesWithPathAndLineNumber)
{
    // The longest path the module can have: its INF path fills the 260-character buffer.
    PindrelCopy copy(MAX_PATH - 1);
    ASSERT_EQ(static_cast<size_t>(MAX_PATH - 1), copy.Path().size());
    std::string inf = copy.Dir() + "\\PINDREL.INF";
    HANDLE file = CreateFileA(inf.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, kFaultyInf, sizeof kFaultyInf - 1, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(copy.Module());

    MessageBoxScript boxes(copy.Module());
    ASSERT_TRUE(boxes.Applied());
    ImportPatch version(copy.Module(), "kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&Windows98Version));
    ASSERT_TRUE(version.Applied());
    EXPECT_FALSE(copy.Module() && GetProcAddress(copy.Module(), "Install") &&
                 reinterpret_cast<InstallFn>(GetProcAddress(copy.Module(), "Install"))(owner.Get()));

    std::string text = Localized("The INF file contains an error line.\nFile: ",
                                 "INF ファイルにエラー行が含まれています。\nファイル : ") +
                       inf + Localized("\nLine: 7", "\n行 : 7");
    EXPECT_EQ((std::vector<RecordedBox>{{owner.Get(), text, "Pindrel", MB_ICONERROR}}), boxes.Boxes());
}

TEST_F(Messages, MissingInfShowsTheSystemTextWithoutOwnerAndWithTheErrorIcon)
{
    PindrelCopy copy;
    ASSERT_TRUE(copy.Module());
    MessageBoxScript boxes(copy.Module());
    ASSERT_TRUE(boxes.Applied());
    // On the 95/98 family Install hands its window on; the error box still has none.
    ImportPatch version(copy.Module(), "kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&Windows98Version));
    ASSERT_TRUE(version.Applied());
    auto install = reinterpret_cast<InstallFn>(GetProcAddress(copy.Module(), "Install"));
    ASSERT_TRUE(install);
    EXPECT_FALSE(install(owner.Get()));

    std::string systemText = SystemErrorText(ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(systemText.empty());
    EXPECT_EQ((std::vector<RecordedBox>{{nullptr, systemText, "Pindrel", MB_ICONERROR}}), boxes.Boxes());
}

// The applet's and the installer's buffers hold 512 characters, while wvsprintfA
// writes up to 1024: a long path must be cut, not run past the buffer.
TEST_F(Messages, FormattedTextIsCutAtTheModuleBuffer)
{
    HMODULE strings = LoadLibraryExA(DistPath("PINDREL.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(strings);
    moduleInstance = strings;
    char format[256] = "";
    ASSERT_GT(LoadStringA(strings, kInfErrorLine, format, sizeof format), 0);
    const std::string pieces = format;
    const size_t at = pieces.find("%s");
    const size_t line = pieces.find("%d");
    ASSERT_TRUE(at != std::string::npos && line != std::string::npos && at < line);

    MessageBoxScript boxes(GetModuleHandleA(nullptr));
    ASSERT_TRUE(boxes.Applied());
    struct Row {
        size_t pathLength;
    } rows[] = {{260}, {300}, {470}, {900}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pathLength);
        std::string path = "C:\\" + std::string(row.pathLength - 3, 'd');
        std::string whole = pieces.substr(0, at) + path + pieces.substr(at + 2, line - at - 2) + "7" +
                            pieces.substr(line + 2);
        FillMemory(smallText, sizeof smallText, '#');
        ShowMessage(owner.Get(), kInfErrorLine, MB_ICONERROR, path.c_str(), 7);
        ASSERT_FALSE(boxes.Boxes().empty());
        const RecordedBox& box = boxes.Boxes().back();
        EXPECT_EQ(whole.substr(0, kSmallText - 1), box.text);
        EXPECT_EQ("Pindrel", box.caption);
        EXPECT_EQ(owner.Get(), box.owner);
        EXPECT_EQ(std::string(kGuard, '#'), std::string(smallText + kSmallText, kGuard));
    }
    moduleInstance = nullptr;
    FreeLibrary(strings);
}

void Bounded(char* target, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatBounded(target, size, format, args);
    va_end(args);
}

TEST_F(Messages, BoundedFormattingCutsAtAnySize)
{
    const std::string argument(1100, 'a');
    struct Row {
        int size;
        size_t length;
    } rows[] = {{1024, 1023}, {512, 511}, {16, 15}, {1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        std::vector<char> target(row.size + kGuard, '#');
        Bounded(target.data(), row.size, "%s", argument.c_str());
        EXPECT_EQ(row.length, strlen(target.data()));
        EXPECT_EQ(argument.substr(0, row.length), std::string(target.data()));
        EXPECT_EQ(std::string(kGuard, '#'), std::string(target.data() + row.size, kGuard));
    }
}

// Help is opened from the settings page's Help button.
TEST_F(Messages, SettingsHelpOpensTopic25000BesideTheDllWhateverTheCurrentDirectory)
{
    PindrelCopy copy;
    ASSERT_TRUE(copy.Module());
    using CplGetPageFn = BOOL(WINAPI*)(PROPSHEETPAGEA*);
    auto getPage = reinterpret_cast<CplGetPageFn>(GetProcAddress(copy.Module(), "CplGetPage"));
    ASSERT_TRUE(getPage);
    PROPSHEETPAGEA page = {};
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    ASSERT_TRUE(getPage(&page));

    TempDir elsewhere;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));
    HelpRecorder help(copy.Module());
    ASSERT_TRUE(help.Applied());
    SheetHost sheet;
    ASSERT_TRUE(sheet.ShowStructures({page}, "Settings", PSH_HASHELP));
    HWND pageWindow = sheet.CurrentPage();
    ASSERT_TRUE(pageWindow);
    sheet.Press(PSBTN_HELP);
    sheet.Destroy();
    SetCurrentDirectoryA(previous);
    ASSERT_FALSE(help.calls.empty());
    EXPECT_EQ(pageWindow, help.calls[0].window);
    EXPECT_EQ(0, lstrcmpiA((copy.Dir() + "\\KELVARA.HLP").c_str(), help.calls[0].path.c_str())) << help.calls[0].path;
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), help.calls[0].command);
    EXPECT_EQ(25000u, help.calls[0].data);
}

}  // namespace
