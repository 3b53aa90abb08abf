// SETUP.EXE run as the user runs it: a process of its own in a directory that holds
// its Setup.ini and stand-in component libraries, its dialog driven from outside.
#include "deliverables.h"
#include "foreign_windows.h"
#include "help_recorder.h"
#include "registry_snapshot.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>
#include <algorithm>
#include <memory>
#include <sstream>

namespace {

const int kContinue = 1;
const int kCancel = 2;
const int kHelp = 32651;
const int kComponentList = 15101;
const wchar_t kTitle[] = L"Install Kelvara";

std::wstring BadSetupInfoText()
{
    return JapaneseRun() ? Wide(u8"セットアップ情報が見つからないか、Setup.ini ファイルの書式が正しくありません。")
                      : L"Can not find setup information or Setup.ini file is not valid.";
}

std::wstring InstallFailedText(const char* name)
{
    return JapaneseRun() ? Wide(name) + Wide(u8" のインストールに失敗しました。")
                      : L"Failed to install " + Wide(name) + L".";
}

const char* const kStandIns[] = {"ALPHA.DLL", "BRAVO.DLL", "CHARLIE.DLL", "TWELVECH.DLL",
                                 "REFUSING.DLL", "NOENTRY.DLL", "APPLET.CPL", "IMPORTER.DLL", "PLANTED.DLL"};

const char kApplication[] = "[Application]\r\nName=Kelvara\r\n";
const char kApplet[] = "[ControlPanel]\r\nKelvara=APPLET.CPL\r\n";

// One setup directory: SETUP.EXE (under programName), the stand-in libraries and
// a Setup.ini of the test's making, in a new temporary directory or in a
// subdirectory of it.
class SetupDirectory {
public:
    explicit SetupDirectory(const std::string& subdirectory = "", const std::string& programName = "SETUP")
        : dir_("kvs"), base_(subdirectory.empty() ? dir_.Path() : dir_.MakeDir(subdirectory)),
          program_(Path(programName + ".EXE")), ini_(Path(programName + ".INI"))
    {
    }
    bool Prepare() const
    {
        if (dir_.Path().empty() || GetFileAttributesA(base_.c_str()) == INVALID_FILE_ATTRIBUTES ||
            !CopyFileTo(DistPath("SETUP.EXE"), program_))
            return false;
        for (const char* name : kStandIns) {
            if (!CopyFileTo(FixturePath(name), Path(name)))
                return false;
        }
        return true;
    }
    std::string Path(const std::string& name) const { return base_ + "\\" + name; }
    void Write(const std::string& name, const std::string& text) const
    {
        HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    void WriteIni(const std::string& text) const { Write(ini_.substr(base_.size() + 1), text); }
    void RemoveIni() const { DeleteFileA(ini_.c_str()); }
    void ClearLog() const { DeleteFileA(Path("INSTALL.LOG").c_str()); }
    // Started from another current directory, so that only the program's own path
    // can lead it to its files.
    std::unique_ptr<RunningProgram> Start() const
    {
        return std::unique_ptr<RunningProgram>(new RunningProgram(program_, SystemDirectory()));
    }
    // The lines the stand-ins' Install calls wrote, in order.
    std::vector<std::string> InstallLog() const
    {
        std::vector<std::string> lines;
        std::istringstream log(ReadWholeFile(Path("INSTALL.LOG")));
        std::string line;
        while (std::getline(log, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

private:
    TempDir dir_;
    std::string base_;
    std::string program_;
    std::string ini_;
};

HWND WaitForDialog(const RunningProgram& program)
{
    HWND dialog = nullptr;
    WaitUntil([&] {
        dialog = FindProcessWindow(program.Id(), "#32770", kTitle);
        return dialog != nullptr || !program.Running();
    });
    return dialog;
}

// The first message box the program shows, or an empty one when it ends without.
ForeignMessageBox WaitForMessageBox(const RunningProgram& program, HWND dialog = nullptr)
{
    std::vector<ForeignMessageBox> boxes;
    WaitUntil([&] {
        boxes = MessageBoxesOf(program.Id(), dialog);
        return !boxes.empty() || !program.Running();
    });
    return boxes.empty() ? ForeignMessageBox() : boxes.front();
}

std::vector<std::wstring> Texts(const std::vector<ForeignMessageBox>& boxes)
{
    std::vector<std::wstring> texts;
    for (const ForeignMessageBox& box : boxes)
        texts.push_back(box.text);
    return texts;
}

// SETUP.EXE belongs to the build: a missing one fails the test, it is not passed over.
::testing::AssertionResult SetupExeBuilt()
{
    std::string path = DistPath("SETUP.EXE");
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << path << " is missing: SETUP.EXE was not built";
}

// The program refuses its Setup.ini: an ownerless box says so, the dialog never
// shows, and the box's OK ends the program.
void ExpectBadSetupInformation(const RunningProgram& run)
{
    ForeignMessageBox box = WaitForMessageBox(run);
    ASSERT_TRUE(box.window) << "no message box";
    EXPECT_EQ(L"Kelvara", box.caption);
    EXPECT_EQ(BadSetupInfoText(), box.text) << Utf8(box.text);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(nullptr, FindProcessWindow(run.Id(), "#32770", kTitle));
    DismissMessageBox(box.window);
}

// One installation: the lines of [Components], the [ControlPanel] section, the list
// entries cleared before Continue, what the stand-ins' Install calls log, and the
// names the failure boxes give, in order.
struct InstallRow {
    const char* label;
    const char* components;
    const char* applet;
    std::vector<std::string> log;
    std::vector<const char*> failed;
    std::vector<int> deselect;
};

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetupExeBuilt());
        ASSERT_TRUE(setup.Prepare());
    }
    // Runs the program over row's Setup.ini, presses Continue and answers every box
    // until it ends.
    void ExpectInstall(const InstallRow& row)
    {
        SCOPED_TRACE(row.label);
        setup.ClearLog();
        HWND dialog = StartWithDialog(kApplication + std::string("[Components]\r\n") + row.components + row.applet);
        ASSERT_TRUE(dialog);
        for (int index : row.deselect)
            SetListSelection(dialog, kComponentList, index, false);
        PressButton(dialog, kContinue);
        std::vector<std::wstring> expected;
        for (const char* name : row.failed)
            expected.push_back(InstallFailedText(name));
        std::vector<ForeignMessageBox> boxes = DismissBoxesUntilExit(*program);
        ASSERT_FALSE(program->Running());
        EXPECT_EQ(0u, program->ExitCode());
        EXPECT_EQ(expected, Texts(boxes));
        for (const ForeignMessageBox& box : boxes) {
            EXPECT_EQ(L"Kelvara", box.caption);
            EXPECT_EQ(dialog, box.owner) << Utf8(box.text);
        }
        EXPECT_EQ(row.log, setup.InstallLog());
    }
    // Starts the program over ini and waits for its dialog.
    HWND StartWithDialog(const std::string& ini)
    {
        setup.WriteIni(ini);
        program = setup.Start();
        EXPECT_TRUE(program->Started());
        return program->Started() ? WaitForDialog(*program) : nullptr;
    }
    SetupDirectory setup;
    std::unique_ptr<RunningProgram> program;
};

TEST_F(SetupProgram, AcceptsTheProductNameInAnyCaseAndRefusesAnyOther)
{
    const std::string components = "[Components]\r\nAlpha=ALPHA.DLL\r\n";
    struct Row {
        const char* label;
        const char* application;  // null: no Setup.ini at all
        bool accepted;
    } rows[] = {
        {"as written", "[Application]\r\nName=Kelvara\r\n", true},
        {"capitals", "[Application]\r\nName=KELVARA\r\n", true},
        {"mixed case", "[Application]\r\nName=kELVARa\r\n", true},
        {"another name", "[Application]\r\nName=Kelvaro\r\n", false},
        {"a longer name", "[Application]\r\nName=Kelvara Suite\r\n", false},
        {"empty name", "[Application]\r\nName=\r\n", false},
        {"no Name key", "[Application]\r\nProduct=Kelvara\r\n", false},
        {"no Application section", "", false},
        {"no Setup.ini", nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        setup.ClearLog();
        setup.RemoveIni();
        if (row.application)
            setup.WriteIni(row.application + components + kApplet);
        std::unique_ptr<RunningProgram> started = setup.Start();
        RunningProgram& run = *started;
        ASSERT_TRUE(run.Started());
        if (row.accepted) {
            HWND dialog = WaitForDialog(run);
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(MessageBoxesOf(run.Id(), dialog).empty());
            PressButton(dialog, kCancel);
        } else {
            ASSERT_NO_FATAL_FAILURE(ExpectBadSetupInformation(run));
        }
        ASSERT_TRUE(run.WaitForExit());
        EXPECT_EQ(0u, run.ExitCode());
        EXPECT_TRUE(setup.InstallLog().empty());
    }
}

TEST_F(SetupProgram, ComponentsSectionWithoutEntriesEndsTheDialog)
{
    struct Row {
        const char* label;
        const char* components;
    } rows[] = {
        {"no Components section", ""},
        {"empty Components section", "[Components]\r\n"},
        {"lines without '='", "[Components]\r\nAlpha\r\nBravo\r\n"},
        {"only names too long for the list", "[Components]\r\nA name of thirty-two characters!=ALPHA.DLL\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        setup.WriteIni(kApplication + std::string(row.components) + kApplet);
        std::unique_ptr<RunningProgram> started = setup.Start();
        RunningProgram& run = *started;
        ASSERT_TRUE(run.Started());
        // The dialog ends before it is ever shown.
        ASSERT_NO_FATAL_FAILURE(ExpectBadSetupInformation(run));
        ASSERT_TRUE(run.WaitForExit());
        EXPECT_EQ(0u, run.ExitCode());
        EXPECT_TRUE(setup.InstallLog().empty());
    }
}

TEST_F(SetupProgram, EveryComponentStartsSelectedAndContinueFollowsTheSelection)
{
    HWND dialog = StartWithDialog(kApplication +
                                  std::string("[Components]\r\nGamma=ALPHA.DLL\r\nalpha=BRAVO.DLL\r\n"
                                              "Beta=CHARLIE.DLL\r\n") + kApplet);
    ASSERT_TRUE(dialog);
    HWND list = GetDlgItem(dialog, kComponentList);
    HWND continueButton = GetDlgItem(dialog, kContinue);
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Beta", L"Gamma"}), ListBoxItems(list));
    EXPECT_EQ((std::vector<bool>{true, true, true}), ListBoxSelection(list));
    EXPECT_TRUE(IsWindowEnabled(continueButton));

    struct Step {
        int index;
        bool select;
        bool continueEnabled;
    } steps[] = {
        {1, false, true}, {0, false, true}, {2, false, false}, {0, true, true}, {0, false, false}, {2, true, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << (step.select ? "select " : "deselect ") << step.index);
        SetListSelection(dialog, kComponentList, step.index, step.select);
        EXPECT_EQ(step.select, ListBoxSelection(list)[step.index]);
        EXPECT_EQ(step.continueEnabled, IsWindowEnabled(continueButton) != FALSE);
    }
    PressButton(dialog, kCancel);
    ASSERT_TRUE(program->WaitForExit());
    EXPECT_EQ(0u, program->ExitCode());
    EXPECT_TRUE(setup.InstallLog().empty()) << "Cancel installs nothing";
}

TEST_F(SetupProgram, InstallsInTheListsOrderThenTheApplet)
{
    const char* const outOfOrder = "Gamma=ALPHA.DLL\r\nalpha=BRAVO.DLL\r\nBeta=CHARLIE.DLL\r\n";
    const InstallRow rows[] = {
        {"names out of order", outOfOrder, kApplet,
         {"BRAVO|Install Kelvara", "CHARLIE|Install Kelvara", "ALPHA|Install Kelvara", "APPLET|Install Kelvara"}, {}},
        {"reversed", "Beta=CHARLIE.DLL\r\nalpha=BRAVO.DLL\r\nGamma=ALPHA.DLL\r\n", kApplet,
         {"BRAVO|Install Kelvara", "CHARLIE|Install Kelvara", "ALPHA|Install Kelvara", "APPLET|Install Kelvara"}, {}},
        {"one deselected", outOfOrder, kApplet,
         {"BRAVO|Install Kelvara", "ALPHA|Install Kelvara", "APPLET|Install Kelvara"}, {}, {1}},
        {"all but the last deselected", outOfOrder, kApplet, {"ALPHA|Install Kelvara", "APPLET|Install Kelvara"},
         {}, {0, 1}},
    };
    for (const InstallRow& row : rows)
        ExpectInstall(row);
}

TEST_F(SetupProgram, FailuresNameTheComponentAndTheRestIsInstalled)
{
    const InstallRow rows[] = {
        {"every kind of failure",
         "Alpha=ALPHA.DLL\r\nBroken=REFUSING.DLL\r\nCharlie=CHARLIE.DLL\r\nMissing=NOSUCH.DLL\r\n"
         "No Entry=NOENTRY.DLL\r\nUnnamed=\r\n",
         kApplet,
         {"ALPHA|Install Kelvara", "REFUSING|Install Kelvara", "CHARLIE|Install Kelvara", "APPLET|Install Kelvara"},
         {"Broken", "Missing", "No Entry", "Unnamed"}},
        {"applet refuses", "Alpha=ALPHA.DLL\r\n", "[ControlPanel]\r\nKelvara=REFUSING.DLL\r\n",
         {"ALPHA|Install Kelvara", "REFUSING|Install Kelvara"}, {"Control Panel applet"}},
        {"no applet entry", "Alpha=ALPHA.DLL\r\n", "", {"ALPHA|Install Kelvara"}, {"Control Panel applet"}},
        {"every component fails, the applet still installs", "Broken=REFUSING.DLL\r\nMissing=NOSUCH.DLL\r\n",
         kApplet, {"REFUSING|Install Kelvara", "APPLET|Install Kelvara"}, {"Broken", "Missing"}},
        // PLANTED.DLL lies beside the program, as a library planted in a downloads
        // folder would. The program looks for the imports of its components in the
        // system directory only, so IMPORTER.DLL does not load and PLANTED.DLL's
        // DllMain, which would log "PLANTED|DllMain", never runs. Wine 8 honours
        // that search: LoadLibraryA fails (error 126) without a message of its own.
        {"an import beside the program only", "Importer=IMPORTER.DLL\r\n", kApplet, {"APPLET|Install Kelvara"},
         {"Importer"}},
    };
    for (const InstallRow& row : rows)
        ExpectInstall(row);
}

TEST_F(SetupProgram, LibraryNamesAreCutToTwelveCharacters)
{
    const InstallRow rows[] = {
        {"the first twelve name a library", "Twelve=TWELVECH.DLLX\r\n", kApplet,
         {"TWELVECH|Install Kelvara", "APPLET|Install Kelvara"}, {}},
        {"the first twelve name nothing", "Long=ALPHA.DLLBACKUP\r\n", kApplet, {"APPLET|Install Kelvara"}, {"Long"}},
        {"the applet's name cut", "Alpha=ALPHA.DLL\r\n", "[ControlPanel]\r\nKelvara=APPLET.CPL.OLD\r\n",
         {"ALPHA|Install Kelvara"}, {"Control Panel applet"}},
    };
    for (const InstallRow& row : rows)
        ExpectInstall(row);
}

}  // namespace

namespace {

// "Item 01=ALPHA.DLL" ...: 18 bytes each in the section text, terminator included.
std::string Items(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i) {
        char line[32];
        wsprintfA(line, "Item %02d=ALPHA.DLL\r\n", i);
        text += line;
    }
    return text;
}

std::vector<std::wstring> ItemNames(int count)
{
    std::vector<std::wstring> names;
    for (int i = 1; i <= count; ++i) {
        wchar_t name[16];
        wsprintfW(name, L"Item %02d", i);
        names.push_back(name);
    }
    return names;
}

std::vector<std::wstring> Plus(std::vector<std::wstring> names, const wchar_t* name)
{
    names.push_back(name);
    return names;
}

TEST_F(SetupProgram, ComponentsSectionIsReadOnlyAsFarAsItsFirst256Bytes)
{
    struct Row {
        const char* label;
        std::string components;
        std::vector<std::wstring> listed;
    } rows[] = {
        // 14 entries take 252 bytes, the final terminator 253.
        {"fits", Items(14), ItemNames(14)},
        {"the next entry is cut before its '='", Items(15), ItemNames(14)},
        {"many more entries", Items(40), ItemNames(14)},
        {"the next entry is cut after its '='", Items(13) + "Zulu=ALPHA.DLL.WITH.A.VALUE.THAT.GOES.ON\r\n",
         Plus(ItemNames(13), L"Zulu")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HWND dialog = StartWithDialog(kApplication + ("[Components]\r\n" + row.components) + kApplet);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(row.listed, ListBoxItems(GetDlgItem(dialog, kComponentList)));
        PressButton(dialog, kCancel);
        ASSERT_TRUE(program->WaitForExit());
    }
}

}  // namespace

namespace {

// A help file that does not read makes the viewer name the path it was given; the
// suite's own help file opens in the viewer's window. Either way the viewer ends
// when the setup dialog closes.
TEST_F(SetupProgram, HelpShowsKelvaraHlpBesideTheProgramUntilTheDialogCloses)
{
    struct Row {
        const char* label;
        bool realHelpFile;
    } rows[] = {{"unreadable help file", false}, {"the suite's help file", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_FALSE(HelpViewerProcess()) << "a help viewer of an earlier test is still running";
        std::string helpPath = setup.Path("KELVARA.HLP");
        if (row.realHelpFile)
            ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.HLP"), helpPath)) << "KELVARA.HLP was not built";
        else
            setup.Write("KELVARA.HLP", "not a help file");
        HWND dialog = StartWithDialog(kApplication + std::string("[Components]\r\nAlpha=ALPHA.DLL\r\n") + kApplet);
        ASSERT_TRUE(dialog);
        PressButton(dialog, kHelp);
        ASSERT_TRUE(WaitUntil([] { return HelpViewerProcess() != 0; }));
        DWORD viewer = HelpViewerProcess();
        HANDLE viewerProcess = OpenProcess(SYNCHRONIZE, FALSE, viewer);
        ASSERT_TRUE(viewerProcess);

        if (row.realHelpFile) {
            // The viewer's own window, and no complaint about the file.
            EXPECT_TRUE(WaitUntil([&] {
                for (HWND window : TopLevelWindows(viewer)) {
                    char name[64] = "";
                    GetClassNameA(window, name, sizeof name);
                    if (lstrcmpA(name, "#32770") != 0)
                        return true;
                }
                return false;
            }));
            EXPECT_TRUE(MessageBoxesOf(viewer).empty());
        } else {
            ForeignMessageBox complaint;
            EXPECT_TRUE(WaitUntil([&] {
                std::vector<ForeignMessageBox> boxes = MessageBoxesOf(viewer);
                if (!boxes.empty())
                    complaint = boxes.front();
                return !boxes.empty();
            }));
            EXPECT_NE(std::wstring::npos, complaint.text.find(WideFromAnsi(helpPath))) << Utf8(complaint.text);
            DismissMessageBox(complaint.window);
        }
        // Wine's viewer ends by itself once its complaint about an unreadable file is
        // dismissed; with the real file it stays until the dialog closes it.
        if (row.realHelpFile)
            EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(viewerProcess, 0)) << "the viewer ended on its own";

        PressButton(dialog, kCancel);
        ASSERT_TRUE(program->WaitForExit());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(viewerProcess, 30000)) << "the viewer is still open";
        CloseHandle(viewerProcess);
        EXPECT_TRUE(setup.InstallLog().empty());
    }
}

// Loads library into the running program, on a thread of the program's own.
bool LoadInto(const RunningProgram& program, const std::string& library)
{
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, program.Id());
    void* name = VirtualAllocEx(process, nullptr, library.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(GetProcAddress(GetModuleHandleA("kernel32"), "LoadLibraryA"));
    WriteProcessMemory(process, name, library.c_str(), library.size() + 1, nullptr);
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, name, 0, nullptr);
    DWORD loaded = 0;
    bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &loaded) && loaded;
    CloseHandle(thread);
    CloseHandle(process);
    return done;
}

// Help opens the contents in the viewer of each Windows, and closing the dialog
// closes it: HELPSPY.DLL shows the program the Windows and logs its calls.
TEST_F(SetupProgram, HelpAsksTheViewerOfEachWindows)
{
    ASSERT_TRUE(CopyFileTo(DistPath("KELVARA.CHM"), setup.Path("KELVARA.CHM")));
    setup.Write("KELVARA.HLP", "help");
    const std::string help = setup.Path("KELVARA.HLP"), log = setup.Path("HELP.LOG");
    SetEnvironmentVariableA("KELVARA_HELP_LOG", log.c_str());
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(kHelpSystems[i].name);
        SetEnvironmentVariableA("KELVARA_HELP_SYSTEM", std::to_string(i).c_str());
        HWND dialog = StartWithDialog(kApplication + std::string("[Components]\r\nAlpha=ALPHA.DLL\r\n") + kApplet);
        ASSERT_TRUE(dialog && LoadInto(*program, FixturePath("HELPSPY.DLL")));
        PressButton(dialog, kHelp);
        PressButton(dialog, kCancel);
        ASSERT_TRUE(program->WaitForExit());
        EXPECT_EQ(Describe(ExpectedHelpCall(kHelpSystems[i], nullptr, dialog, help, HELP_CONTENTS, 0)) + "\n" +
                      Describe(ExpectedHelpCall(kHelpSystems[i], nullptr, dialog, help, HELP_QUIT, 0)) + "\n",
                  ReadWholeFile(log));
    }
    SetEnvironmentVariableA("KELVARA_HELP_SYSTEM", nullptr);
}

}  // namespace

namespace {

TEST_F(SetupProgram, SecondCopyBringsTheFirstsActiveWindowToTheFrontAndEnds)
{
    HWND dialog = StartWithDialog(kApplication + std::string("[Components]\r\nAlpha=ALPHA.DLL\r\nBroken=REFUSING.DLL\r\n") +
                                  kApplet);
    ASSERT_TRUE(dialog);
    // A window of the test's own takes the front before each second copy starts.
    HWND front = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "in front", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(front);
    auto startSecondCopy = [&] {
        SetForegroundWindow(front);
        ASSERT_TRUE(WaitUntil([front] { return GetForegroundWindow() == front; }));
        std::unique_ptr<RunningProgram> second = setup.Start();
        ASSERT_TRUE(second->Started());
        EXPECT_TRUE(second->WaitForExit()) << "the second copy runs a dialog of its own";
        EXPECT_EQ(0u, second->ExitCode());
    };

    startSecondCopy();
    EXPECT_TRUE(WaitUntil([dialog] { return GetForegroundWindow() == dialog; }))
        << "in front: " << Utf8(WindowText(GetForegroundWindow()));
    EXPECT_TRUE(setup.InstallLog().empty()) << "the second copy installed something";

    // With a message box open over the disabled dialog, the box comes to the front.
    PressButton(dialog, kContinue);
    ForeignMessageBox failed = WaitForMessageBox(*program, dialog);
    ASSERT_TRUE(failed.window);
    startSecondCopy();
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == failed.window; }))
        << "in front: " << Utf8(WindowText(GetForegroundWindow()));
    DestroyWindow(front);

    // The first copy goes on as before.
    EXPECT_TRUE(program->Running());
    std::vector<ForeignMessageBox> boxes = DismissBoxesUntilExit(*program);
    EXPECT_EQ(std::vector<std::wstring>{InstallFailedText("Broken")}, Texts(boxes));
    EXPECT_EQ((std::vector<std::string>{"ALPHA|Install Kelvara", "REFUSING|Install Kelvara", "APPLET|Install Kelvara"}),
              setup.InstallLog());
}

// Under code page 932 the second byte of "\x95\x5c" has the value of '\'. Names in
// any script the code page spells name the directory, the program and a component.
TEST(SetupProgramPaths, NamesInAnyScriptAndTrailBytesOfABackslash)
{
    ASSERT_TRUE(SetupExeBuilt());
    struct Row {
        std::string label;
        std::string subdirectory;
        std::string programName;
        std::string component;
    };
    std::vector<Row> rows;
    if (GetACP() == 932) {
        rows = {{"program in a directory of that name", "\x95\x5c", "SETUP", "Alpha"},
                {"program of that name", "\x95\x5c", "\x95\x5c", "Alpha"},
                {"program of that name ending in it", "kvs", "S\x95\x5c", "Alpha"}};
    }
    for (const std::string& name : ScriptNames())
        rows.push_back({name, name, name, name});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SetupDirectory setup(row.subdirectory, row.programName);
        ASSERT_TRUE(setup.Prepare());
        setup.WriteIni(std::string(kApplication) + "[Components]\r\n" + row.component + "=ALPHA.DLL\r\n" + kApplet);
        std::unique_ptr<RunningProgram> program = setup.Start();
        ASSERT_TRUE(program->Started());
        HWND dialog = WaitForDialog(*program);
        ASSERT_TRUE(dialog) << "Setup.ini not found: " << Utf8(WaitForMessageBox(*program).text);
        EXPECT_EQ(std::vector<std::wstring>{WideFromAnsi(row.component)},
                  ListBoxItems(GetDlgItem(dialog, kComponentList)));
        PressButton(dialog, kContinue);
        std::vector<ForeignMessageBox> boxes = DismissBoxesUntilExit(*program);
        EXPECT_EQ(std::vector<std::wstring>{}, Texts(boxes));
        EXPECT_EQ((std::vector<std::string>{"ALPHA|Install Kelvara", "APPLET|Install Kelvara"}), setup.InstallLog());
    }
}

#ifdef _WIN64
// In the x64 tree's 64-bit prefixes the x86 SETUP.EXE (build/dist beside dist64) gets
// IsWow64Process TRUE, as on 64-bit Windows: one ownerless box sends the user to the x64
// archive, and the program ends without a trace in the registry. Seen from this 64-bit
// process HKLM\Software holds both views (the 32-bit one under Wow6432Node) and their classes.
TEST(SetupProgramX86, On64BitWindowsPointsToTheX64ArchiveAndInstallsNothing)
{
    auto snapshots = [] {
        return std::vector<RegistrySnapshot>{RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, "Software"),
                                             RegistrySnapshot::Take(HKEY_CURRENT_USER, "Software\\Classes")};
    };
    std::vector<RegistrySnapshot> before = snapshots();
    RunningProgram run(DistPath("..\\dist\\SETUP.EXE"), SystemDirectory());
    ASSERT_TRUE(run.Started());
    ForeignMessageBox box = WaitForMessageBox(run);
    // Checked before the box is answered: the installation's dialog must never get an OK.
    ASSERT_EQ(JapaneseRun() ? Wide(u8"この Kelvara は 32 ビット版 Windows 用です。\n"
                                   u8"64 ビット版 Windows では x64 用アーカイブの SETUP.EXE を実行してください。")
                            : L"This copy of Kelvara is for 32-bit Windows.\n"
                              L"On 64-bit Windows, run SETUP.EXE from the x64 archive.",
              box.text) << Utf8(box.text);
    EXPECT_EQ(L"Kelvara", box.caption);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_TRUE(DismissMessageBox(box.window));
    EXPECT_TRUE(run.WaitForExit()) << "the program goes on after the box";
    EXPECT_EQ(0u, run.ExitCode());
    std::vector<RegistrySnapshot> after = snapshots();
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ("", DescribeDifferences(CompareSnapshots(before[i], after[i]))) << before[i].Name();
}
#endif

}  // namespace
