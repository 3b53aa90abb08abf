// QUORBIN.DLL's Install and Uninstall: the .doc association taken over with a backup
// and given back, on the real registry and with the real setup library running
// QUORBIN.INF from beside a copy of the library. The Windows family is chosen by
// answering GetVersion at the copy's import table; message boxes are answered at it.
#include "deliverables.h"
#include "import_patch.h"
#include "message_boxes.h"
#include "open_recorder.h"
#include "registry_tree.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

using InstallFn = BOOL(WINAPI*)(HWND);

DWORD fakeVersion = kWindowsXp;

DWORD WINAPI FakeGetVersion()
{
    return fakeVersion;
}

const char kClassId[] = "{6F0C5E2A-3B7D-4C1E-9A52-8E4D1B7A2C02}";
const char kComponentKey[] = "Software\\Farrowmere\\ShellExt";
const char kComponentName[] = "Quorbin Icon Handler";
const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kCaption[] = "Quorbin Icon Handler";
const UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

RecordedBox RegistryFailed(HWND owner)
{
    return {owner, Localized("Failed to update the system registry.",
                      "レジストリの更新に失敗しました。\nセットアップを中断します。"),
            kCaption, MB_ICONERROR};
}

RecordedBox ContinueAfterError(HWND owner)
{
    return {owner, Localized("An error has occured during updating the registry.\nDo you wish to continue?",
                      "レジストリの更新中にエラーが発生しました。\n続行しますか?"),
            kCaption, kQuestion};
}

RecordedBox NotAssociated(HWND owner)
{
    return {owner, Localized(".DOC files are not associated with Quorbin.\nDo you wish to continue anyway?",
                      ".DOC ファイルは Quorbin に関連付けられていません。\n続行しますか?"),
            kCaption, kQuestion};
}

RecordedBox NoBackup(HWND owner)
{
    return {owner, Localized("Uninstall can not find the backup entry of file type association.\nDo you wish to "
                      "continue?\nIf you choose [Yes], the association will be removed.",
                      "関連付け情報のバックアップを取得することができません。\n続行しますか?\n[はい] "
                      "を選択すると、現在の関連付けが削除されます。"),
            kCaption, MB_YESNOCANCEL | MB_ICONEXCLAMATION};
}

// QUORBIN.DLL's SHChangeNotify calls: for a change of associations, what ".doc" named then.
std::vector<std::string> notices;

void WINAPI RecordChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    bool associations = event == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST && !item1 && !item2;
    notices.push_back(associations ? RegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr) : "another notice");
}

std::string InstalledLibrary()
{
    return SystemDirectory() + "\\ShellExt\\QUORBIN.DLL";
}

// A string value as a tree holds it.
RegistryValue Text(const std::string& text)
{
    return RegistryValue{REG_SZ, std::string(text.c_str(), text.size() + 1)};
}

class Association : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveComponent();
        for (const std::string& name : {std::string(".doc"), std::string(".txt"), previousClass, textClass})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
        componentValue = RegistryString(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName, &componentValueExisted);

        fakeVersion = kWindowsXp;
        ASSERT_TRUE(CopyFileTo(DistPath("QUORBIN.DLL"), temp / "QUORBIN.DLL"));
        ASSERT_TRUE(CopyFileTo(DistPath("QUORBIN.INF"), temp / "QUORBIN.INF"));
        library.reset(new LoadedLibrary(temp / "QUORBIN.DLL"));
        ASSERT_TRUE(library->Get());
        install = library->Export<InstallFn>("Install");
        uninstall = library->Export<InstallFn>("Uninstall");
        ASSERT_TRUE(install && uninstall);
        version.reset(new ImportPatch(library->Get(), "kernel32.dll", "GetVersion",
                                      reinterpret_cast<const void*>(&FakeGetVersion)));
        ASSERT_TRUE(version->Applied());
        notify.reset(new ImportPatch(library->Get(), "shell32.dll", "SHChangeNotify",
                                     reinterpret_cast<const void*>(&RecordChangeNotify)));
        notices.clear();
        NewBoxes();
        ASSERT_TRUE(boxes->Applied());
        owner = CreateWindowA("STATIC", "Install owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
    }
    void TearDown() override
    {
        boxes.reset();
        notify.reset();
        version.reset();
        library.reset();
        if (owner)
            DestroyWindow(owner);
        RemoveComponent();
        DeleteRegistryTree(HKEY_CLASSES_ROOT, previousClass);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, textClass);
        for (const std::string& name : scratch)
            DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
        if (componentValueExisted)
            SetRegistryString(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName, componentValue);
    }

    // Whatever an install may have left: the class, the server, the component's
    // entries and the installed files.
    void RemoveComponent()
    {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, "Quorbin");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClassId);
        DeleteFileA(InstalledLibrary().c_str());
        DeleteFileA((SystemDirectory() + "\\ShellExt\\QUORBIN.INF").c_str());
    }

    // A Word-like previous class with a description, an icon, verbs with subkeys and
    // a value in its "shell" key; a text class with an "open" verb.
    void MakeClasses(const std::string& textCommand = "C:\\Windows\\notepad.exe %1")
    {
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, previousClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass, nullptr, "Kvt Word Document"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\DefaultIcon", nullptr,
                                      "C:\\Word\\WINWORD.EXE,1"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell", "KvtShellValue", "kept out"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\open\\command", nullptr,
                                      "C:\\Word\\WINWORD.EXE /n \"%1\""));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\open\\ddeexec", nullptr,
                                      "[FileOpen(\"%1\")]"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\open\\ddeexec\\application",
                                      nullptr, "WinWord"));
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, previousClass + "\\shell\\open", "EditFlags", REG_BINARY,
                                     std::string("\x00\x00\x01\x00", 4)));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\print", nullptr, "&Print"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\print\\command", nullptr,
                                      "C:\\Word\\WINWORD.EXE /p \"%1\""));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass, nullptr, "Kvt Text Document"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\shell\\open\\command", nullptr, textCommand));
    }

    // A fresh script; the old one goes first, since it puts the import back.
    void NewBoxes()
    {
        boxes.reset();
        boxes.reset(new MessageBoxScript(library->Get()));
    }

    void ExpectBoxes(const std::vector<RecordedBox>& expected) { EXPECT_EQ(expected, boxes->Boxes()); }
    // count notices that associations changed since the last look, each with ".doc" as it is now.
    void ExpectNotices(size_t count)
    {
        EXPECT_EQ(std::vector<std::string>(count, Value(".doc")), notices)
            << (notify->Applied() ? "" : "QUORBIN.DLL does not import SHChangeNotify");
        notices.clear();
    }

    RegistryTree Tree(const std::string& path) { return ReadRegistryTree(HKEY_CLASSES_ROOT, path); }
    std::string Value(const std::string& path, const char* name = nullptr, bool* exists = nullptr)
    {
        return RegistryString(HKEY_CLASSES_ROOT, path, name, exists);
    }

    // Nothing of the component is registered.
    void ExpectNothingOfTheComponent()
    {
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
        bool exists = true;
        RegistryString(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName, &exists);
        EXPECT_FALSE(exists) << "component key value";
        RegistryString(HKEY_LOCAL_MACHINE, kApprovedKey, kClassId, &exists);
        EXPECT_FALSE(exists) << "approved extension";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(InstalledLibrary().c_str()));
    }

    TempDir temp{"kvtasc"};
    std::unique_ptr<LoadedLibrary> library;
    std::unique_ptr<ImportPatch> version;
    std::unique_ptr<ImportPatch> notify;
    std::unique_ptr<MessageBoxScript> boxes;
    InstallFn install = nullptr;
    InstallFn uninstall = nullptr;
    HWND owner = nullptr;
    SavedRegistryKeys saved{HKEY_CLASSES_ROOT, {".doc", ".txt", "Quorbin", std::string("CLSID\\") + kClassId}};
    std::string previousClass = ScratchName("KvtPrevDoc");
    std::string textClass = ScratchName("KvtPlainText");
    std::vector<std::string> scratch;
    std::string componentValue;
    bool componentValueExisted = false;
};

TEST_F(Association, InstallTakesOverDotDocWithABackup)
{
    MakeClasses();
    ASSERT_TRUE(install(owner));
    ExpectBoxes({});

    EXPECT_EQ("Quorbin", Value(".doc"));
    EXPECT_EQ(previousClass, Value(".doc", "QuorbinBackup"));
    EXPECT_EQ("Kvt Word Document", Value("Quorbin"));

    // "open" is copied whole as ".doc" and shown as "Microsoft Word"; other verbs as
    // they are; values of the previous "shell" key itself are not copied.
    RegistryTree word = Tree(previousClass + "\\shell\\open");
    word.values[""] = Text("Microsoft Word");
    EXPECT_EQ(word, Tree("Quorbin\\shell\\.doc")) << DescribeRegistryTree(Tree("Quorbin\\shell\\.doc"));
    EXPECT_EQ(Tree(previousClass + "\\shell\\print"), Tree("Quorbin\\shell\\print"));
    RegistryTree text = Tree(textClass + "\\shell\\open");
    text.values[""] = Text("Open As Text");
    EXPECT_EQ(text, Tree("Quorbin\\shell\\.txt"));
    bool exists = true;
    Value("Quorbin\\shell", "KvtShellValue", &exists);
    EXPECT_FALSE(exists);

    // What QUORBIN.INF registers after the registry work.
    std::string server = std::string("CLSID\\") + kClassId + "\\InProcServer32";
    EXPECT_EQ(InstalledLibrary(), Value(server));
    EXPECT_EQ("Apartment", Value(server, "ThreadingModel"));
    EXPECT_EQ(kClassId, Value("Quorbin\\shellex\\IconHandler"));
    EXPECT_EQ("%1", Value("Quorbin\\DefaultIcon"));
    EXPECT_EQ("open", Value("Quorbin\\shell"));
    EXPECT_EQ("rundll32.exe \"" + InstalledLibrary() + "\",Open %1", Value("Quorbin\\shell\\open\\command"));
    EXPECT_EQ(InstalledLibrary(), RegistryString(HKEY_LOCAL_MACHINE, kComponentKey, kComponentName));
    EXPECT_EQ(kComponentName, RegistryString(HKEY_LOCAL_MACHINE, kApprovedKey, kClassId));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(InstalledLibrary().c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((SystemDirectory() + "\\ShellExt\\QUORBIN.INF").c_str()));
}

class RoundTrip : public Association, public ::testing::WithParamInterface<DWORD> {};

LONG WINAPI DeleteNoTree(HKEY, LPCWSTR) { return ERROR_SUCCESS; }

TEST_P(RoundTrip, UninstallRestoresTheAssociationAndLeavesNothing)
{
    MakeClasses();
    // A default value stored without its terminator must come back the same.
    ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, previousClass + "\\shell\\print", nullptr, REG_SZ, "&Print"));
    fakeVersion = GetParam();
    RegistryTree doc = Tree(".doc"), txt = Tree(".txt"), previous = Tree(previousClass), text = Tree(textClass);
    // As a setup library that removes only keys without subkeys (Wine's removes the
    // whole tree): the uninstall section must name subkeys before their keys.
    ImportPatch leavesOnly(GetModuleHandleA("setupapi.dll"), "advapi32.dll", "RegDeleteTreeW",
                           reinterpret_cast<const void*>(&DeleteNoTree));
    ASSERT_TRUE(leavesOnly.Applied());

    ASSERT_TRUE(install(owner));
    ExpectNotices(1);
    EXPECT_EQ("Quorbin", Value(".doc"));
    bool exists = false;
    RegistryString(HKEY_LOCAL_MACHINE, kApprovedKey, kClassId, &exists);
    EXPECT_EQ(GetParam() == kWindowsXp, exists) << "approval is an NT entry";
    ASSERT_TRUE(uninstall(owner));
    ExpectBoxes({});
    ExpectNotices(1);

    EXPECT_EQ(doc, Tree(".doc")) << DescribeRegistryTree(Tree(".doc"));
    EXPECT_EQ(txt, Tree(".txt"));
    EXPECT_EQ(previous, Tree(previousClass));
    EXPECT_EQ(text, Tree(textClass));
    ExpectNothingOfTheComponent();
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, RoundTrip, ::testing::Values(kWindowsXp, kWindows98),
                         [](const ::testing::TestParamInfo<DWORD>& info) {
                             return std::string(info.param == kWindowsXp ? "WindowsNt" : "Windows98");
                         });

TEST_F(Association, RegisteredCommandOpensATextDocumentThroughRundll32)
{
    OpenRecorder recorder;
    MakeClasses(recorder.Command());
    ASSERT_TRUE(install(owner));
    std::string document = temp.MakeDir("my letters") + "\\to the bank.doc";
    temp.WriteFile("my letters\\to the bank.doc", "Dear Sir,\r\n");

    std::string command = Value("Quorbin\\shell\\open\\command");
    size_t marker = command.find("%1");
    ASSERT_NE(std::string::npos, marker) << command;
    command.replace(marker, 2, document);  // as the shell fills it in: unquoted
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << command;
    std::string argument;
    EXPECT_TRUE(recorder.WaitForRun(&argument));
    EXPECT_EQ(document, argument);
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST_F(Association, DotDocMissing)
{
    MakeClasses();
    DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc");
    boxes->Answer({IDYES});
    EXPECT_FALSE(install(owner));
    ExpectBoxes({ContinueAfterError(owner), RegistryFailed(owner)});
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".doc"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId)) << "no INF section ran";

    boxes->Answer({});
    EXPECT_FALSE(uninstall(owner));
    ExpectBoxes({ContinueAfterError(owner), RegistryFailed(owner), RegistryFailed(owner)});
}

TEST_F(Association, DotDocWithoutDefaultValueKeepsItsOwnVerbs)
{
    MakeClasses();
    DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc");
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc\\shell\\open\\command", nullptr, "C:\\Edit\\edit.exe %1"));
    ASSERT_TRUE(install(owner));
    ExpectBoxes({});
    EXPECT_EQ(".doc", Value(".doc", "QuorbinBackup"));
    EXPECT_EQ("C:\\Edit\\edit.exe %1", Value("Quorbin\\shell\\.doc\\command"));
    EXPECT_EQ("Microsoft Word", Value("Quorbin\\shell\\.doc"));
    bool exists = true;
    Value("Quorbin", nullptr, &exists);
    EXPECT_FALSE(exists) << "no description to copy";

    ASSERT_TRUE(uninstall(owner));
    EXPECT_EQ(".doc", Value(".doc"));
    Value(".doc", "QuorbinBackup", &exists);
    EXPECT_FALSE(exists);
    ExpectNothingOfTheComponent();
}

TEST_F(Association, DotDocNamingAMissingClassWritesNoBackup)
{
    MakeClasses();
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, ScratchName("KvtNoSuchClass")));
    boxes->Answer({IDYES});
    ASSERT_TRUE(install(owner));
    ExpectBoxes({ContinueAfterError(owner)});
    EXPECT_EQ("Quorbin", Value(".doc"));
    bool exists = true;
    Value(".doc", "QuorbinBackup", &exists);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\.txt"));

    // Without a backup the uninstall asks; No leaves ".doc" naming the removed class.
    boxes->Answer({IDNO});
    ASSERT_TRUE(uninstall(owner));
    ExpectBoxes({ContinueAfterError(owner), NoBackup(owner)});
    EXPECT_EQ("Quorbin", Value(".doc"));
    ExpectNothingOfTheComponent();
}

TEST_F(Association, PreviousClassWithoutShellStillGivesItsDescription)
{
    MakeClasses();
    DeleteRegistryTree(HKEY_CLASSES_ROOT, previousClass + "\\shell");
    boxes->Answer({IDYES});
    ASSERT_TRUE(install(owner));
    ExpectBoxes({ContinueAfterError(owner)});
    EXPECT_EQ("Kvt Word Document", Value("Quorbin"));
    EXPECT_EQ(previousClass, Value(".doc", "QuorbinBackup"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\.doc"));
}

// No takes back what this install did: over an installation, whose class ".doc"
// names, nothing goes; a first install leaves nothing.
TEST_F(Association, NoToTheQuestionTakesBackThisInstallOnly)
{
    MakeClasses();
    ASSERT_TRUE(install(owner));
    ExpectNotices(1);
    RegistryTree installedClass = Tree("Quorbin"), installedDoc = Tree(".doc");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, textClass + "\\shell");
    boxes->Answer({IDNO});
    EXPECT_FALSE(install(owner));
    ExpectBoxes({ContinueAfterError(owner)});
    ExpectNotices(0);
    EXPECT_EQ(installedClass, Tree("Quorbin")) << DescribeRegistryTree(Tree("Quorbin"));
    EXPECT_EQ(installedDoc, Tree(".doc"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
    ASSERT_TRUE(uninstall(owner));
    ExpectNotices(1);
    RemoveComponent();

    MakeClasses();
    DeleteRegistryTree(HKEY_CLASSES_ROOT, previousClass + "\\shell");
    RegistryTree doc = Tree(".doc");
    NewBoxes();
    boxes->Answer({IDNO});
    EXPECT_FALSE(install(owner));
    ExpectBoxes({ContinueAfterError(owner)});
    ExpectNotices(0);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
    EXPECT_EQ(doc, Tree(".doc"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
}

TEST_F(Association, TextVerbComesFromWhereDotTxtPoints)
{
    struct Row {
        const char* name;
        bool txtExists;
        const char* txtClass;     // null: no default value; "text": the scratch class
        bool classHasOpen;        // the scratch class has shell\open
        bool txtHasOpen;          // ".txt" itself has shell\open
        const char* copiedFrom;   // "class", "txt" or null (not copied: a question)
    } rows[] = {
        {"class with open verb", true, "text", true, false, "class"},
        {".txt missing", false, nullptr, false, false, nullptr},
        {"class without shell\\open", true, "text", false, true, nullptr},
        {".txt naming a missing class", true, "missing", false, true, "txt"},
        {".txt without a class", true, nullptr, false, true, "txt"},
        {"neither has an open verb", true, nullptr, false, false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MakeClasses();
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ".txt");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, textClass);
        if (row.txtExists)
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", "Content Type", "text/plain"));
        if (row.txtClass)
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr,
                                          std::string(row.txtClass) == "text" ? textClass : "KvtNoSuchTextClass"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass, nullptr, "Kvt Text Document"));
        if (row.classHasOpen)
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\shell\\open\\command", nullptr,
                                          "C:\\class.exe %1"));
        if (row.txtHasOpen)
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt\\shell\\open\\command", nullptr,
                                          "C:\\txt.exe %1"));
        NewBoxes();
        boxes->Answer({IDYES});
        EXPECT_TRUE(install(owner));
        if (row.copiedFrom) {
            ExpectBoxes({});
            EXPECT_EQ(std::string(row.copiedFrom) == "class" ? "C:\\class.exe %1" : "C:\\txt.exe %1",
                      Value("Quorbin\\shell\\.txt\\command"));
            EXPECT_EQ("Open As Text", Value("Quorbin\\shell\\.txt"));
        } else {
            ExpectBoxes({ContinueAfterError(owner)});
            EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\.txt"));
        }
        EXPECT_TRUE(uninstall(owner));
        RemoveComponent();
    }
}

TEST_F(Association, SecondInstallKeepsTheFirstBackupAndCopiesNoDocumentVerbs)
{
    MakeClasses();
    ASSERT_TRUE(install(owner));
    RegistryTree wordVerb = Tree("Quorbin\\shell\\.doc");
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\edit\\command", nullptr, "C:\\e.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\open\\command", nullptr, "C:\\new.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\shell\\open\\command", nullptr, "C:\\edit2.exe"));

    ASSERT_TRUE(install(owner));
    ExpectBoxes({});
    EXPECT_EQ(previousClass, Value(".doc", "QuorbinBackup"));
    EXPECT_EQ(wordVerb, Tree("Quorbin\\shell\\.doc"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\edit"));
    EXPECT_EQ("C:\\edit2.exe", Value("Quorbin\\shell\\.txt\\command")) << "the text verb is copied again";

    ASSERT_TRUE(uninstall(owner));
    EXPECT_EQ(previousClass, Value(".doc"));
    ExpectNothingOfTheComponent();
}

TEST_F(Association, VerbNameOf32CharactersEndsTheVerbCopy)
{
    MakeClasses();
    std::string longVerb = "p" + std::string(31, 'q');
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\" + longVerb + "\\command", nullptr,
                                  "C:\\long.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\alpha\\command", nullptr, "C:\\a.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, previousClass + "\\shell\\zulu\\command", nullptr, "C:\\z.exe"));
    // The verbs in the registry's own enumeration order, up to the long one.
    std::vector<std::string> before, after;
    {
        HKEY verbs = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, (previousClass + "\\shell").c_str(), 0, KEY_READ,
                                               &verbs));
        bool seen = false;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumKeyExA(verbs, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (name == longVerb)
                seen = true;
            else
                (seen ? after : before).push_back(lstrcmpiA(name, "open") == 0 ? ".doc" : name);
        }
        RegCloseKey(verbs);
        ASSERT_TRUE(seen);
    }
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty()) << "the long verb must not be the last one";

    boxes->Answer({IDYES});
    ASSERT_TRUE(install(owner));
    ExpectBoxes({ContinueAfterError(owner)});
    for (const std::string& verb : before)
        EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\" + verb)) << verb;
    for (const std::string& verb : after)
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\" + verb)) << verb;
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\" + longVerb));
}

TEST_F(Association, OversizedValuesAndLongNamesAreLeftOutOfEveryCopy)
{
    MakeClasses();
    std::string name31(31, 'n'), name32(32, 'n');
    for (const std::string& verb : {previousClass + "\\shell\\open", textClass + "\\shell\\open"}) {
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, verb, "Fits", REG_BINARY, std::string(260, '\x5A')));
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, verb, "TooBig", REG_BINARY, std::string(261, '\x5A')));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, verb, name31.c_str(), "31"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, verb, name32.c_str(), "32"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, verb + "\\" + name31, nullptr, "31"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, verb + "\\" + name32, nullptr, "32"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, verb + "\\" + name31 + "\\deeper", "TooBig",
                                      std::string(300, 'd')));
    }
    ASSERT_TRUE(install(owner));
    ExpectBoxes({});
    for (const char* copy : {"Quorbin\\shell\\.doc", "Quorbin\\shell\\.txt"}) {
        SCOPED_TRACE(copy);
        RegistryTree tree = Tree(copy);
        EXPECT_EQ(1u, tree.values.count("Fits"));
        EXPECT_EQ(0u, tree.values.count("TooBig"));
        EXPECT_EQ(1u, tree.values.count(name31));
        EXPECT_EQ(0u, tree.values.count(name32));
        EXPECT_EQ(1u, tree.subkeys.count(name31));
        EXPECT_EQ(0u, tree.subkeys.count(name32));
        EXPECT_EQ(1u, tree.subkeys[name31].subkeys.count("deeper"));
        EXPECT_TRUE(tree.subkeys[name31].subkeys["deeper"].values.empty());
        EXPECT_TRUE(tree.subkeys.count("command"));
    }
}

TEST_F(Association, UninstallAfterAnotherProgramTookDotDocOver)
{
    struct Row {
        int answer;
        BOOL result;
    } rows[] = {{IDYES, TRUE}, {IDNO, FALSE}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        MakeClasses();
        ASSERT_TRUE(install(owner));
        ExpectNotices(1);
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "KvtOtherWordProcessor"));
        RegistryTree doc = Tree(".doc");
        NewBoxes();
        boxes->Answer({row.answer});
        EXPECT_EQ(row.result, uninstall(owner));
        ExpectBoxes({NotAssociated(owner)});
        ExpectNotices(row.result);  // a notice when Uninstall went through
        // The association stays as the other program left it; the backup is the
        // component's own and goes with it.
        if (row.result)
            doc.values.erase("QuorbinBackup");
        EXPECT_EQ(doc, Tree(".doc"));
        if (row.result)
            ExpectNothingOfTheComponent();
        else
            EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin\\shell\\.doc"));
        RemoveComponent();
    }
}

TEST_F(Association, UninstallWithoutTheBackupAsks)
{
    struct Row {
        const char* name;
        std::string backup;  // "" leaves the value out
        int answer;
        BOOL result;
        bool dotDocNamesQuorbin;  // else ".doc" has no default value
        bool classRemoved;
    } rows[] = {
        {"Yes", "", IDYES, TRUE, false, true},
        {"No", "", IDNO, TRUE, true, true},
        {"Cancel", "", IDCANCEL, FALSE, true, false},
        {"backup of 32 characters, Cancel", std::string(32, 'b'), IDCANCEL, FALSE, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MakeClasses();
        ASSERT_TRUE(install(owner));
        ExpectNotices(1);
        DeleteRegistryValue(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup");
        if (!row.backup.empty())
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", row.backup));
        NewBoxes();
        boxes->Answer({row.answer});
        EXPECT_EQ(row.result, uninstall(owner));
        ExpectBoxes({NoBackup(owner)});
        ExpectNotices(row.result);  // a notice when Uninstall went through
        bool exists = true;
        std::string value = Value(".doc", nullptr, &exists);
        EXPECT_EQ(row.dotDocNamesQuorbin, exists);
        if (row.dotDocNamesQuorbin)
            EXPECT_EQ("Quorbin", value);
        EXPECT_EQ(!row.classRemoved, RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
        RemoveComponent();
    }
}

TEST_F(Association, InfErrorsAreReportedAndTheRegistryWorkTakenBack)
{
    std::string inf = temp / "QUORBIN.INF";
    std::string faulty = "[Version]\r\nSignature=\"$Chicago$\"\r\n";
    for (int line = 3; line < 12; ++line)
        faulty += "; filler\r\n";
    faulty += "[DefaultInstall\r\nAddReg=X\r\n";
    struct Row {
        const char* name;
        DWORD version;
        bool missing;
        HWND expectedOwner;
    } rows[] = {
        {"syntax error, NT family", kWindowsXp, false, nullptr},
        {"syntax error, 95 family", kWindows98, false, owner},
        {"missing INF, 95 family", kWindows98, true, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MakeClasses();
        RegistryTree doc = Tree(".doc");
        fakeVersion = row.version;
        DeleteFileA(inf.c_str());
        if (!row.missing)
            temp.WriteFile("QUORBIN.INF", faulty);
        NewBoxes();
        EXPECT_FALSE(install(owner));
        std::string text = row.missing ? SystemErrorText(ERROR_FILE_NOT_FOUND)
                                       : Localized("The INF file contains an error line.\nFile: ",
                                                   "INF ファイルにエラー行が含まれています。\nファイル : ") +
                                             inf + Localized("\nLine: 12", "\n行 : 12");
        ExpectBoxes({{row.expectedOwner, text, kCaption, MB_ICONERROR}});
        ExpectNotices(1);  // ".doc" named the class before the section ran
        EXPECT_EQ(doc, Tree(".doc")) << DescribeRegistryTree(Tree(".doc"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Quorbin"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClassId));
        RemoveComponent();
    }
}

}  // namespace
