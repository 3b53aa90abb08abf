// The suite as a user meets it, in a fresh Wine prefix of one Windows family
// (tools/e2e.sh makes it): SETUP.EXE from the unpacked release archive installs
// everything, the shell's own Properties dialog and icon lookup use the extensions,
// Control Panel changes a setting, and the registered removal command takes it all
// away again.
// The tests run in the order written: installation first, removal last. Everything
// the shell does with the suite runs in other processes (shell_probe.exe, Control
// Panel, rundll32), so this program never holds one of the libraries it removes.
#include "foreign_windows.h"
#include "deliverables.h"
#include "registry_snapshot.h"
#include "registry_tree.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <prsht.h>
#include <algorithm>
#include <set>
#include <sstream>

namespace {

const char kComponentKey[] = "Software\\Farrowmere\\ShellExt";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvara";
const char kPindrelName[] = "Pindrel Property Sheet";
const char kQuorbinName[] = "Quorbin Icon Handler";
const char kDocuments[] = "C:\\Kelvara Docs";  // a space in the path on purpose
const char kWordDocument[] = "C:\\Kelvara Docs\\Quarterly report.doc";
const char kTextDocument[] = "C:\\Kelvara Docs\\Plain notes.doc";
const char kWordIcon[] = "C:\\windows\\system32\\wordpad.exe";
const char kTextIcon[] = "C:\\windows\\system32\\notepad.exe";
const int kComponentList = 15101;
const int kEnable = 20000;
const int kShowBitmaps = 20004;

bool Windows95Family()
{
    return (GetVersion() & 0x80000000) != 0;
}

std::string OwnDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self = path;
    return self.substr(0, self.find_last_of('\\'));
}

// A file of the release archive that tools/e2e.sh unpacked.
std::string ReleasePath(const std::string& name)
{
    const char* release = getenv("KELVARA_E2E_RELEASE");
    return std::string(release ? release : "(no KELVARA_E2E_RELEASE)") + "\\" + name;
}

std::string ProbePath()
{
    return OwnDirectory() + "\\shell_probe.exe";
}

std::string SamplePath()
{
    return std::string(KELVARA_SAMPLE);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> parts;
    std::istringstream stream(line);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

// Runs the probe and returns its report's lines (UTF-8).
std::vector<std::string> Probe(const std::string& command, const std::vector<std::string>& arguments)
{
    std::string report = OwnDirectory() + "\\probe-report.txt";
    DeleteFileA(report.c_str());
    std::string line = "\"" + ProbePath() + "\" " + command + " \"" + report + "\"";
    for (const std::string& argument : arguments)
        line += " \"" + argument + "\"";
    RunningProgram probe(line);
    EXPECT_TRUE(probe.Started());
    EXPECT_TRUE(probe.WaitForExit(60000)) << "the probe did not end: " << line;
    return Lines(ReadWholeFile(report));
}

std::vector<std::string> PropertiesTabs(const std::vector<std::string>& files)
{
    return Probe("properties", files);
}

// The tab texts of the suite's pages, as the resources of each language give them.
std::string TouchTab() { return JapaneseRun() ? u8"タイム スタンプ" : "Touch"; }
std::string IconsTab() { return JapaneseRun() ? u8"アイコン" : "Icons"; }
std::string BitmapsTab() { return JapaneseRun() ? u8"ビットマップ" : "Bitmaps"; }

// The tabs after the shell's own first page ("General").
std::vector<std::string> SuitePages(std::vector<std::string> tabs)
{
    if (!tabs.empty())
        tabs.erase(tabs.begin());
    return tabs;
}

// Every file below directory, by path relative to it, directories marked with a
// trailing backslash.
void ListFiles(const std::string& directory, const std::string& relative, std::set<std::string>& files)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files.insert(relative + name + "\\");
            ListFiles(directory + "\\" + name, relative + name + "\\", files);
        } else {
            files.insert(relative + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::set<std::string> SystemFiles()
{
    std::set<std::string> files;
    ListFiles(SystemDirectory(), "", files);
    return files;
}

// The prefix before the suite: a Windows with a word processor. Wine's fresh prefix
// has the "txtfile" class but no ".txt" key and nothing for ".doc"; the word
// processor's open command is the probe's recorder, so that the test sees the very
// command line the shell builds.
void PrepareAssociations()
{
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", "", "txtfile"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "txtfile\\DefaultIcon", "", std::string(kTextIcon) + ",0"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "", "Word.Document.8"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "Word.Document.8", "", "Microsoft Word Document"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "Word.Document.8\\DefaultIcon", "", std::string(kWordIcon) + ",1"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "Word.Document.8\\shell\\open\\command", "",
                                  "\"" + ProbePath() + "\" record \"%1\""));
}

// What the prefix held before SETUP.EXE ran.
struct Baseline {
    RegistrySnapshot machine;
    RegistrySnapshot users;
    RegistryTree docKey;
    std::set<std::string> systemFiles;
};
Baseline* baseline = nullptr;

// A top-level window of another process that holds a control of that id and class.
HWND WindowWithControl(DWORD processId, int id, const char* className)
{
    for (HWND window : TopLevelWindows(processId, "#32770")) {
        HWND control = GetDlgItem(window, id);
        char name[32] = "";
        if (control && GetClassNameA(control, name, sizeof name) && lstrcmpiA(name, className) == 0)
            return window;
    }
    return nullptr;
}

// Answers the questions a program asks until it ends: a restart prompt with No,
// anything else with OK. Returns the texts asked.
std::vector<std::wstring> AnswerUntilExit(const RunningProgram& program, HWND except)
{
    std::vector<std::wstring> asked;
    WaitUntil([&] {
        for (HWND window : TopLevelWindows(program.Id(), "#32770")) {
            if (window == except)
                continue;
            std::vector<ForeignMessageBox> boxes = MessageBoxesOf(program.Id(), except);
            asked.push_back(boxes.empty() ? WindowText(window) : boxes.front().text);
            PostMessageW(window, WM_COMMAND, GetDlgItem(window, IDNO) ? IDNO : IDOK, 0);
            WaitUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
        }
        return !program.Running();
    }, 120000);
    return asked;
}

std::string Describe(const std::vector<std::wstring>& texts)
{
    std::string all;
    for (const std::wstring& text : texts)
        all += "\n  " + Utf8(text);
    return all;
}

// The suite's own registry value: the installed library of a component.
std::string ComponentPath(const char* name)
{
    return ReadStringValue(HKEY_LOCAL_MACHINE, kComponentKey, name);
}

class Installation : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* family = getenv("KELVARA_E2E_FAMILY");
        ASSERT_TRUE(family && getenv("KELVARA_E2E_RELEASE")) << "run through tools/e2e.sh, which makes the fresh prefix";
        ASSERT_EQ(std::string(family) == "95", Windows95Family()) << "the prefix's version setting for " << family;
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kComponentKey)) << "the prefix is not fresh";
        PrepareAssociations();
        RemoveTree(kDocuments);
        ASSERT_TRUE(CreateDirectoryA(kDocuments, nullptr));
        // A compound file: the signature, then anything.
        const char word[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 a compound file of a word processor";
        std::string wordBytes(word, sizeof word - 1);
        HANDLE file = CreateFileA(kWordDocument, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, wordBytes.data(), static_cast<DWORD>(wordBytes.size()), &written, nullptr);
        CloseHandle(file);
        file = CreateFileA(kTextDocument, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        WriteFile(file, "Plain text saved as .doc\r\n", 26, &written, nullptr);
        CloseHandle(file);

        baseline = new Baseline;
        baseline->machine = RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, "");
        baseline->users = RegistrySnapshot::Take(HKEY_USERS, "");
        baseline->docKey = ReadRegistryTree(HKEY_CLASSES_ROOT, ".doc");
        baseline->systemFiles = SystemFiles();
    }
    void TearDown() override
    {
        delete baseline;
        baseline = nullptr;
    }
};

const ::testing::Environment* const installation = ::testing::AddGlobalTestEnvironment(new Installation);

TEST(EndToEnd, SetupInstallsBothComponentsAndTheApplet)
{
    RunningProgram setup("\"" + ReleasePath("SETUP.EXE") + "\"");
    ASSERT_TRUE(setup.Started());
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        dialog = FindProcessWindow(setup.Id(), "#32770", L"Install Kelvara");
        return dialog != nullptr || !setup.Running();
    }));
    ASSERT_TRUE(dialog) << "no \"Install Kelvara\" dialog";
    PressButton(dialog, IDOK);
    // Wine's SetupPromptReboot is a stub that asks nothing; on Windows the applet's
    // restart prompt comes here and is answered No.
    std::vector<std::wstring> asked = AnswerUntilExit(setup, dialog);
    ASSERT_FALSE(setup.Running());
    for (const std::wstring& text : asked) {
        EXPECT_EQ(std::wstring::npos, text.find(JapaneseRun() ? Wide(u8"失敗") : L"Failed")) << Utf8(text);
        EXPECT_EQ(std::wstring::npos, text.find(JapaneseRun() ? Wide(u8"エラー") : L"error")) << Utf8(text);
    }

    std::string directory = ReadStringValue(HKEY_LOCAL_MACHINE, kComponentKey, "");
    EXPECT_EQ(SystemDirectory() + "\\ShellExt\\", directory);
    struct Row {
        const char* name;
        const char* library;
    } rows[] = {{kPindrelName, "PINDREL.DLL"}, {kQuorbinName, "QUORBIN.DLL"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = ComponentPath(row.name);
        EXPECT_EQ(directory + row.library, path);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str())) << path;
    }
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((SystemDirectory() + "\\KELVARA.CPL").c_str()));
    for (const char* help : {"KELVARA.HLP", "KELVARA.CHM"})
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((directory + help).c_str())) << help;
    EXPECT_EQ("rundll32.exe " + SystemDirectory() + "\\KELVARA.CPL,Uninstall",
              ReadStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    EXPECT_EQ("Quorbin", ReadStringValue(HKEY_CLASSES_ROOT, ".doc", ""));
    EXPECT_EQ("Word.Document.8", ReadStringValue(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup"));
}

TEST(EndToEnd, ShellPropertiesDialogShowsTheSuitesPages)
{
    TempDir folder("kve");
    std::string sample = folder / "Sample.exe";
    ASSERT_TRUE(CopyFileTo(SamplePath(), sample));
    std::string text = folder.WriteFile("Readme.txt", "plain text\r\n");
    struct Row {
        const char* label;
        std::vector<std::string> files;
        std::vector<std::string> pages;
    } rows[] = {
        {"an executable with icons and bitmaps", {sample}, {TouchTab(), IconsTab(), BitmapsTab()}},
        {"a text file", {text}, {TouchTab(), IconsTab()}},
        {"several files", {sample, text}, {TouchTab()}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<std::string> tabs = PropertiesTabs(row.files);
        ASSERT_FALSE(tabs.empty()) << "no Properties dialog";
        EXPECT_EQ(row.pages, SuitePages(tabs));
    }
}

struct IconLine {
    std::string result, file, loaded;
    int index = 0;
    unsigned flags = 0;
};

std::vector<IconLine> IconLines(const std::vector<std::string>& lines)
{
    std::vector<IconLine> icons;
    for (const std::string& line : lines) {
        std::vector<std::string> parts = Split(line, '|');
        IconLine icon;
        if (parts.size() == 5) {
            icon.result = parts[0];
            icon.file = parts[1];
            icon.index = atoi(parts[2].c_str());
            icon.flags = static_cast<unsigned>(atoi(parts[3].c_str()));
            icon.loaded = parts[4];
        }
        icons.push_back(icon);
    }
    return icons;
}

TEST(EndToEnd, ShellIconLookupTellsWordDocumentsFromText)
{
    std::vector<std::string> files = {kWordDocument, kTextDocument};
    std::vector<IconLine> shell = IconLines(Probe("icons", files));
    ASSERT_EQ(2u, shell.size());
    if (shell[0].file != files[0] || shell[1].file != files[1]) {
        // A shell that asks the class's icon handler for each file.
        EXPECT_EQ(kWordIcon, shell[0].file);
        EXPECT_EQ(1, shell[0].index);
        EXPECT_EQ(kTextIcon, shell[1].file);
        EXPECT_EQ(0, shell[1].index);
        return;
    }
    // Wine 8's shell does not: for a class whose DefaultIcon is "%1" it gives the
    // file itself, index 0, without ever loading the class's shellex\IconHandler.
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_EQ("00000000", shell[i].result);
        EXPECT_EQ(0, shell[i].index);
        EXPECT_EQ("-", shell[i].loaded) << "the shell loaded the handler and still gave the file itself";
    }
    // So the handler is checked on the road the shell of Windows takes: the class of
    // ".doc", its registered icon handler, that server's library, and the object
    // created from the class identifier alone.
    ASSERT_EQ("Quorbin", ReadStringValue(HKEY_CLASSES_ROOT, ".doc", ""));
    EXPECT_EQ("%1", ReadStringValue(HKEY_CLASSES_ROOT, "Quorbin\\DefaultIcon", ""));
    std::string classId = ReadStringValue(HKEY_CLASSES_ROOT, "Quorbin\\shellex\\IconHandler", "");
    ASSERT_FALSE(classId.empty());
    EXPECT_EQ(ComponentPath(kQuorbinName),
              ReadStringValue(HKEY_CLASSES_ROOT, "CLSID\\" + classId + "\\InProcServer32", ""));
    std::vector<std::string> arguments = {classId, kWordDocument, kTextDocument};
    std::vector<IconLine> handler = IconLines(Probe("handler", arguments));
    ASSERT_EQ(2u, handler.size());
    struct Row {
        const char* label;
        const char* file;
        int index;
    } rows[] = {{"Word document: the icon of the class .doc had before", kWordIcon, 1},
                {"text document: the icon of the .txt class", kTextIcon, 0}};
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ("00000000", handler[i].result);
        EXPECT_EQ(rows[i].file, handler[i].file);
        EXPECT_EQ(rows[i].index, handler[i].index);
        EXPECT_EQ(static_cast<unsigned>(GIL_PERINSTANCE), handler[i].flags);
    }
}

// The editor window whose title starts with the document's name, or null.
HWND EditorOf(const std::string& name)
{
    std::wstring title = WideFromAnsi(name);
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindWindowA("Notepad", nullptr);
        return found && WindowText(found).compare(0, title.size(), title) == 0;
    });
    return found && WindowText(found).compare(0, title.size(), title) == 0 ? found : nullptr;
}

TEST(EndToEnd, OpenCommandRunsThroughRundll32WithTheWholePath)
{
    std::string command = ReadStringValue(HKEY_CLASSES_ROOT, "Quorbin\\shell\\open\\command", "");
    EXPECT_EQ("rundll32.exe \"" + ComponentPath(kQuorbinName) + "\",Open %1", command);
    EXPECT_EQ("open", ReadStringValue(HKEY_CLASSES_ROOT, "Quorbin\\shell", ""));

    std::string record = OwnDirectory() + "\\record.txt";
    DeleteFileA(record.c_str());
    // The Word document: rundll32 runs Open, which starts the previous class's verb,
    // here the recorder, with the document's whole path.
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = "open";
    execute.lpFile = kWordDocument;
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExA(&execute));
    ASSERT_TRUE(execute.hProcess) << "the shell started no program";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(execute.hProcess, 30000));
    CloseHandle(execute.hProcess);
    ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(record).empty(); }));
    EXPECT_EQ("\"" + ProbePath() + "\" record \"" + kWordDocument + "\"\n", ReadWholeFile(record));

    // The text document: the .txt class's editor opens it by its whole path.
    execute.lpFile = kTextDocument;
    execute.hProcess = nullptr;
    ASSERT_TRUE(ShellExecuteExA(&execute));
    if (execute.hProcess)
        CloseHandle(execute.hProcess);
    std::string name = std::string(kTextDocument).substr(std::string(kTextDocument).find_last_of('\\') + 1);
    HWND editor = EditorOf(name);
    ASSERT_TRUE(editor) << "no editor shows " << name;
    PostMessageW(editor, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([editor] { return !IsWindow(editor); }));
}

// Opens Control Panel's "Kelvara" item, clicks the given box of pindrel's settings
// page and presses OK.
void ClickOnSettingsPage(int box, bool expectChecked)
{
    RunningProgram control("\"" + SystemDirectory() + "\\control.exe\" KELVARA.CPL");
    ASSERT_TRUE(control.Started());
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : TopLevelWindows(control.Id(), "#32770")) {
            if (WindowText(window) == L"Kelvara" && SendMessageW(window, PSM_GETTABCONTROL, 0, 0))
                sheet = window;
        }
        return sheet != nullptr;
    })) << "the Kelvara sheet did not open";
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_TRUE(page);
    HWND check = GetDlgItem(page, box);
    ASSERT_TRUE(check) << "the first page is not pindrel's settings page";
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(expectChecked ? BST_CHECKED : BST_UNCHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));
    PostMessageW(GetDlgItem(sheet, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(control.WaitForExit(30000)) << "Control Panel did not end after OK";
}

TEST(EndToEnd, SettingChangedInTheAppletChangesTheNextPropertiesDialog)
{
    TempDir folder("kvs");
    std::string sample = folder / "Sample.exe";
    ASSERT_TRUE(CopyFileTo(SamplePath(), sample));
    std::vector<std::string> all = {TouchTab(), IconsTab(), BitmapsTab()};
    struct Row {
        const char* label;
        int box;
        bool checked;
        std::vector<std::string> pages;
    } rows[] = {
        {"Bitmaps cleared", kShowBitmaps, false, {TouchTab(), IconsTab()}},
        {"Bitmaps checked again", kShowBitmaps, true, all},
        {"Pindrel switched off", kEnable, false, {}},
        {"Pindrel switched on again", kEnable, true, all},
    };
    ASSERT_EQ(all, SuitePages(PropertiesTabs({sample})));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ClickOnSettingsPage(row.box, row.checked);
        EXPECT_EQ(row.pages, SuitePages(PropertiesTabs({sample})));
    }
}

// Runs the registered removal command once; the component dialog, when it comes,
// gets every entry selected and Continue pressed. Returns the entries it listed.
std::vector<std::wstring> RunUninstaller(bool* dialogShown)
{
    std::string command = ReadStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
    EXPECT_FALSE(command.empty());
    RunningProgram removal(command);
    EXPECT_TRUE(removal.Started()) << command;
    HWND dialog = nullptr;
    WaitUntil([&] {
        dialog = WindowWithControl(removal.Id(), kComponentList, "ListBox");
        return dialog != nullptr || !removal.Running();
    });
    std::vector<std::wstring> listed;
    *dialogShown = dialog != nullptr;
    if (dialog) {
        listed = ListBoxItems(GetDlgItem(dialog, kComponentList));
        for (size_t i = 0; i < listed.size(); ++i)
            SetListSelection(dialog, kComponentList, static_cast<int>(i), true);
        PressButton(dialog, IDOK);
    }
    std::vector<std::wstring> asked = AnswerUntilExit(removal, dialog);
    EXPECT_TRUE(asked.empty()) << Describe(asked);
    EXPECT_FALSE(removal.Running());
    return listed;
}

// The files the uninstall sections mark with DELFLG_IN_USE, as paths relative to the
// system directory: on Windows these go at the restart the uninstaller offers.
std::set<std::string> DeletedAtRestart()
{
    std::set<std::string> files;
    const char* section = Windows95Family() ? "DefaultUninstall" : "DefaultUninstall" KELVARA_NT_DECORATION;
    for (const char* name : {"PINDREL.INF", "QUORBIN.INF", "KELVARA.INF"}) {
        HINF inf = SetupOpenInfFileA(ReleasePath(name).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
        if (inf == INVALID_HANDLE_VALUE)
            continue;
        INFCONTEXT line;
        for (BOOL more = SetupFindFirstLineA(inf, section, "DelFiles", &line); more;
             more = SetupFindNextMatchLineA(&line, "DelFiles", &line)) {
            for (DWORD field = 1; field <= SetupGetFieldCount(&line); ++field) {
                char list[64] = "";
                if (!SetupGetStringFieldA(&line, field, list, sizeof list, nullptr))
                    continue;
                char target[MAX_PATH] = "";
                SetupGetTargetPathA(inf, nullptr, list, target, sizeof target, nullptr);
                std::string relative = target;
                relative = relative.size() > SystemDirectory().size() ? relative.substr(SystemDirectory().size() + 1) + "\\" : "";
                INFCONTEXT file;
                for (BOOL entry = SetupFindFirstLineA(inf, list, nullptr, &file); entry;
                     entry = SetupFindNextLine(&file, &file)) {
                    char fileName[64] = "";
                    INT flags = 0;
                    SetupGetStringFieldA(&file, 1, fileName, sizeof fileName, nullptr);
                    if (SetupGetIntField(&file, 4, &flags) && (flags & 1))
                        files.insert(relative + fileName);
                }
            }
        }
        SetupCloseInfFile(inf);
    }
    return files;
}

bool IsUnder(const std::string& key, const char* prefix)
{
    size_t length = strlen(prefix);
    return key.size() >= length && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, key.c_str(),
                                                  static_cast<int>(length), prefix, static_cast<int>(length)) ==
                                       CSTR_EQUAL && (key.size() == length || key[length] == '\\');
}

// What changes in a prefix whatever programs run in it, nothing of the suite:
const char* const kMachineBookkeeping[] = {
    // the display devices and modes that Wine's graphics driver registers when the
    // desktop starts (HARDWARE is rebuilt at every start anyway);
    "HARDWARE",
    "System\\CurrentControlSet\\Control\\Class",
    "System\\CurrentControlSet\\Control\\DeviceClasses",
    "System\\CurrentControlSet\\Control\\ServiceCurrent",
    "System\\CurrentControlSet\\Control\\Video",
    "System\\CurrentControlSet\\Hardware Profiles",
};
const char* const kUserBookkeeping[] = {
    "Console",                                      // Wine's console host, for the console test programs
    "Software\\Microsoft\\Notepad",                 // the editor the tests open keeps its window settings
    "Software\\Wine\\Temporary System Parameters",  // user32's copy of changed system parameters
};
bool IsBookkeeping(const std::string& root, const RegistryDifference& difference)
{
    if (root == "HKLM") {
        for (const char* prefix : kMachineBookkeeping)
            if (IsUnder(difference.key, prefix))
                return true;
        return false;
    }
    // HKEY_USERS\<user>\...: compared below the user's own key.
    size_t slash = difference.key.find('\\');
    std::string below = slash == std::string::npos ? "" : difference.key.substr(slash + 1);
    for (const char* prefix : kUserBookkeeping)
        if (IsUnder(below, prefix))
            return true;
    return false;
}

std::vector<RegistryDifference> Traces(const std::string& root, const RegistrySnapshot& before,
                                       const RegistrySnapshot& after)
{
    std::vector<RegistryDifference> traces;
    for (const RegistryDifference& difference : CompareSnapshots(before, after)) {
        if (!IsBookkeeping(root, difference))
            traces.push_back(difference);
    }
    return traces;
}

TEST(EndToEnd, UninstallerTwoRunsLeaveNoTrace)
{
    ASSERT_TRUE(baseline);
    ASSERT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the suite is not installed";

    bool dialogShown = false;
    std::vector<std::wstring> listed = RunUninstaller(&dialogShown);
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ((std::vector<std::wstring>{Wide(kPindrelName), Wide(kQuorbinName)}), listed);
    // The components are gone; the applet stays until the next run.
    EXPECT_EQ("", ComponentPath(kPindrelName));
    EXPECT_EQ("", ComponentPath(kQuorbinName));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_EQ("Word.Document.8", ReadStringValue(HKEY_CLASSES_ROOT, ".doc", ""));

    listed = RunUninstaller(&dialogShown);
    EXPECT_FALSE(dialogShown) << "the second run listed " << Describe(listed);
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kComponentKey));

    // The registry as before, value for value.
    EXPECT_EQ(baseline->docKey, ReadRegistryTree(HKEY_CLASSES_ROOT, ".doc"))
        << DescribeRegistryTree(ReadRegistryTree(HKEY_CLASSES_ROOT, ".doc"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
    std::vector<RegistryDifference> machine =
        Traces("HKLM", baseline->machine, RegistrySnapshot::Take(HKEY_LOCAL_MACHINE, ""));
    EXPECT_TRUE(machine.empty()) << "HKEY_LOCAL_MACHINE:\n" << DescribeDifferences(machine);
    std::vector<RegistryDifference> users = Traces("HKU", baseline->users, RegistrySnapshot::Take(HKEY_USERS, ""));
    EXPECT_TRUE(users.empty()) << "HKEY_USERS:\n" << DescribeDifferences(users);

    // The files. The libraries were loaded by the uninstaller's own process while
    // their sections deleted them; Windows deletes such files at the restart the
    // uninstaller offers when the section marks them DELFLG_IN_USE. Wine's setupapi
    // ignores that flag (it only skips a file it cannot delete), so what is left
    // must be exactly such marked files, and they must go once no process holds them,
    // as at a restart.
    std::set<std::string> after = SystemFiles();
    std::set<std::string> left;
    std::set_difference(after.begin(), after.end(), baseline->systemFiles.begin(), baseline->systemFiles.end(),
                        std::inserter(left, left.begin()));
    std::set<std::string> atRestart = DeletedAtRestart();
    for (const std::string& file : left) {
        SCOPED_TRACE(file);
        if (!file.empty() && file.back() == '\\')
            continue;  // directories are looked at below
        EXPECT_TRUE(atRestart.count(file)) << "left behind and not marked for deletion at the restart";
        EXPECT_TRUE(DeleteFileA((SystemDirectory() + "\\" + file).c_str())) << "still held by a process";
    }
    // An INF cannot remove a directory: the installation directory stays, empty.
    std::set<std::string> inside;
    ListFiles(SystemDirectory() + "\\ShellExt", "", inside);
    EXPECT_TRUE(inside.empty());
    std::set<std::string> gone;
    std::set_difference(baseline->systemFiles.begin(), baseline->systemFiles.end(), after.begin(), after.end(),
                        std::inserter(gone, gone.begin()));
    EXPECT_TRUE(gone.empty()) << "the removal deleted " << *gone.begin();
}

}  // namespace
