// QUORBIN.DLL's Open entry, called as rundll32 calls it, with the shell and the
// message boxes observed at the library's import table, and once with the real
// shell starting a real program.
#include "deliverables.h"
#include "import_patch.h"
#include "look_alikes.h"
#include "message_boxes.h"
#include "open_recorder.h"
#include "registry_tree.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>

namespace {

using OpenFn = int(WINAPI*)(HWND, HINSTANCE, LPSTR, int);
using OpenWFn = int(WINAPI*)(HWND, HINSTANCE, LPWSTR, int);

const std::string kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const char kCaption[] = "Quorbin Icon Handler";

struct ShellCall {
    HWND owner;
    std::string verb;
    std::string file;
    bool noParameters;
    bool noDirectory;
    int show;
};

std::vector<ShellCall> shellCalls;
UINT_PTR shellAnswer = 42;

HINSTANCE WINAPI FakeShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                                  const char* directory, int show)
{
    shellCalls.push_back({owner, verb ? verb : "(null)", file ? file : "(null)", parameters == nullptr,
                          directory == nullptr, show});
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

class OpenCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(quorbin.Get());
        open = quorbin.Export<OpenFn>("Open");
        ASSERT_TRUE(open);
        ASSERT_TRUE(shell.Applied());
        ASSERT_TRUE(boxes.Applied());
        shellCalls.clear();
        shellAnswer = 42;
        word = temp.WriteFile("report.doc", kSignature + std::string(1024, '\x11'));
        text = temp.WriteFile("notes.doc", "Shopping list\r\n");
        shortFile = temp.WriteFile("short.doc", kSignature.substr(0, 5));
    }

    int Open(const std::string& commandLine)
    {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        // rundll32's own window and instance, ignored by the entry.
        return open(GetDesktopWindow(), GetModuleHandleA(nullptr), line.data(), SW_SHOWNORMAL);
    }

    LoadedLibrary quorbin{DistPath("QUORBIN.DLL")};
    ImportPatch shell{quorbin.Get(), "shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&FakeShellExecute)};
    MessageBoxScript boxes{quorbin.Get()};
    OpenFn open = nullptr;
    TempDir temp{"kvtopen"};
    std::string word, text, shortFile;
};

TEST_F(OpenCommand, NullCommandLineIsAnInvalidParameter)
{
    EXPECT_EQ(0, open(GetDesktopWindow(), nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_TRUE(shellCalls.empty());
    EXPECT_EQ((std::vector<RecordedBox>{{nullptr, Localized("Invalid parameter.", "パラメータが不正です。"), kCaption,
                                         MB_ICONERROR}}),
              boxes.Boxes());
}

TEST_F(OpenCommand, VerbFollowsTheFirstEightBytes)
{
    struct Row {
        const char* name;
        std::string commandLine;
        const char* verb;
    } rows[] = {
        {"Word document", word, ".doc"},
        {"text document", text, ".txt"},
        {"file shorter than the signature", shortFile, ".txt"},
        {"missing file", temp / "gone.doc", ".txt"},
        {"empty command line", "", ".txt"},
        {"quoted path of a Word document", "\"" + word + "\"", ".txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        shellCalls.clear();
        EXPECT_EQ(1, Open(row.commandLine));
        ASSERT_EQ(1u, shellCalls.size());
        const ShellCall& call = shellCalls[0];
        EXPECT_EQ(nullptr, call.owner);
        EXPECT_EQ(row.verb, call.verb);
        EXPECT_EQ(row.commandLine, call.file) << "the command line is the document, whole and unchanged";
        EXPECT_TRUE(call.noParameters);
        EXPECT_TRUE(call.noDirectory);
        EXPECT_EQ(SW_SHOWDEFAULT, call.show);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

// rundll32 on the NT family calls OpenW with the command line as the shell holds
// it: a name the code page cannot spell opens through its short name, or is refused
// with a word why; the look-alike of the other kind never stands in.
TEST_F(OpenCommand, WideEntryOpensTheChosenDocumentOrSaysWhyNot)
{
    auto openW = quorbin.Export<OpenWFn>("OpenW");
    ASSERT_TRUE(openW);
    const std::string refused = Localized(
        "The document's name holds characters that this Windows' code page cannot represent, and it has no short "
        "name to use instead.\nRename the document to open it.",
        "文書の名前に、この Windows のコード ページで表せない文字が含まれ、代わりに使える短い名前もありません。\n"
        "文書を開くには名前を変更してください。");
    for (ShortNames answer : kShortNames) {
        SCOPED_TRACE(static_cast<int>(answer));
        LookAlikes files = WriteLookAlikes(temp, ".doc", "Dear reader,\r\n", kSignature);
        ShortNameLookup lookup(quorbin.Get(), answer);
        ASSERT_TRUE(lookup.Applied());
        shellCalls.clear();
        std::wstring line = files.chosen;
        EXPECT_EQ(lookup.Finds() ? 1 : 0, openW(GetDesktopWindow(), nullptr, &line[0], SW_SHOWNORMAL));
        if (lookup.Finds()) {
            ASSERT_EQ(1u, shellCalls.size());
            EXPECT_EQ(".txt", shellCalls[0].verb);
            EXPECT_EQ(files.path, shellCalls[0].file);
        } else {
            EXPECT_TRUE(shellCalls.empty());
            ASSERT_FALSE(boxes.Boxes().empty());
            EXPECT_EQ((RecordedBox{nullptr, refused, kCaption, MB_ICONERROR}), boxes.Boxes().back());
        }
    }
    EXPECT_EQ(0, openW(nullptr, nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_EQ(Localized("Invalid parameter.", "パラメータが不正です。"), boxes.Boxes().back().text);
}

TEST_F(OpenCommand, ShellFailuresShowTheSystemsText)
{
    struct Row {
        UINT_PTR answer;
        DWORD code;  // 0: success, no box
    } rows[] = {
        {2, ERROR_FILE_NOT_FOUND},  {3, ERROR_PATH_NOT_FOUND},      {5, ERROR_ACCESS_DENIED},
        {8, ERROR_NOT_ENOUGH_MEMORY}, {26, ERROR_SHARING_VIOLATION}, {27, ERROR_NO_ASSOCIATION},
        {28, ERROR_DDE_FAIL},       {29, ERROR_DDE_FAIL},           {30, ERROR_DDE_FAIL},
        {31, ERROR_NO_ASSOCIATION}, {32, ERROR_DLL_NOT_FOUND},      {11, ERROR_BAD_FORMAT},
        {1, ERROR_INVALID_FUNCTION}, {0, ERROR_NOT_ENOUGH_MEMORY},
        {33, 0}, {42, 0}, {0x80001000u, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        shellAnswer = row.answer;
        size_t before = boxes.Boxes().size();
        EXPECT_EQ(row.code ? 0 : 1, Open(text));
        if (!row.code) {
            EXPECT_EQ(before, boxes.Boxes().size());
            continue;
        }
        ASSERT_EQ(before + 1, boxes.Boxes().size());
        EXPECT_EQ((RecordedBox{nullptr, SystemErrorText(row.code), kCaption, MB_ICONERROR}), boxes.Boxes().back());
    }
    // The mapping is visible: the shell's numbers and the codes shown differ in text.
    EXPECT_FALSE(SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_NE(SystemErrorText(26), SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_NE(SystemErrorText(ERROR_FILE_NOT_FOUND), SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
}

// The real shell: a .doc class whose ".txt" verb is the open command of the text
// class (as installation copies it) and whose ".doc" verb is a Word stand-in.
class OpenThroughTheShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(quorbin.Get());
        open = quorbin.Export<OpenFn>("Open");
        ASSERT_TRUE(open);
        for (const std::string& name : {std::string(".doc"), std::string(".txt"), docClass, textClass})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\shell\\open\\command", nullptr,
                                      recorder.Command()));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, docClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, docClass + "\\shell\\.txt\\command", nullptr,
                                      recorder.Command()));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, docClass + "\\shell\\.doc\\command", nullptr,
                                      recorder.Command("word:")));
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, docClass);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, textClass);
    }

    LoadedLibrary quorbin{DistPath("QUORBIN.DLL")};
    SavedRegistryKeys saved{HKEY_CLASSES_ROOT, {".doc", ".txt"}};
    std::string docClass = ScratchName("KvtOpenDoc");
    std::string textClass = ScratchName("KvtOpenText");
    OpenRecorder recorder;
    TempDir temp{"kvtshell"};
    OpenFn open = nullptr;
};

TEST_F(OpenThroughTheShell, StartsTheTextClassProgramWithTheDocument)
{
    std::string document = temp.MakeDir("two words") + "\\letter.doc";
    temp.WriteFile("two words\\letter.doc", "Dear reader,\r\n");
    std::vector<char> line(document.begin(), document.end());
    line.push_back('\0');
    EXPECT_EQ(1, open(nullptr, nullptr, line.data(), SW_SHOWNORMAL));
    std::string argument;
    ASSERT_TRUE(recorder.WaitForRun(&argument));
    EXPECT_EQ(document, argument);
}

TEST_F(OpenThroughTheShell, StartsTheWordVerbForACompoundFile)
{
    std::vector<std::string> names = ScriptNames();
    names.insert(names.begin(), "report");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string document = temp.WriteFile(name + ".doc", kSignature + "compound");
        std::vector<char> line(document.begin(), document.end());
        line.push_back('\0');
        EXPECT_EQ(1, open(nullptr, nullptr, line.data(), SW_SHOWNORMAL));
        std::string argument;
        ASSERT_TRUE(recorder.WaitForRun(&argument));
        EXPECT_EQ("word:" + document, argument);
    }
}

// Wine's rundll32 calls the wide entry, as Windows NT's does: a Word document whose
// name the code page cannot spell starts the Word verb, not the text verb that its
// plain-text look-alike would.
TEST_F(OpenThroughTheShell, RundllHandsTheShellsNameToTheWideEntry)
{
    LookAlikes files = WriteLookAlikes(temp, ".doc", kSignature + "compound", "plain text");
    std::wstring command = L"rundll32.exe \"" + WideFromAnsi(DistPath("QUORBIN.DLL")) + L"\",Open " + files.chosen;
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string argument;
    ASSERT_TRUE(recorder.WaitForRun(&argument));
    EXPECT_EQ("word:" + files.path, argument);
}

}  // namespace
