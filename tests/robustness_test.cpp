// Hostile inputs: damaged copies of a resource library and of a shortcut, taken
// through the extension's pages in a real sheet and through the .doc icon handler
// and its Open entry; registry values and a settings file at and past the sizes
// the components read. Nothing may crash, hang, leak, overrun or write the files.
#include "damaged_files.h"
#include "deliverables.h"
#include "drop_data_object.h"
#include "gdi_ledger.h"
#include "handle_ledger.h"
#include "import_patch.h"
#include "message_boxes.h"
#include "pindrel_copy.h"
#include "registry_tree.h"
#include "resource.h"
#include "sheet_host.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using OpenFn = int(WINAPI*)(HWND, HINSTANCE, LPSTR, int);

const std::string kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// Every run damages the files alike.
const unsigned kSeed = 20240611;

std::vector<std::string> shellVerbs;
HINSTANCE WINAPI FakeShellExecute(HWND, const char* verb, const char*, const char*, const char*, int)
{
    shellVerbs.push_back(verb ? verb : "(null)");
    return reinterpret_cast<HINSTANCE>(static_cast<UINT_PTR>(42));
}

// The copies are run by a second copy of this program (the worker), so that a
// fault inside the system's own functions, which Wine 8 has on some of them, ends
// only the worker: the fault filter writes where it happened, and the test goes on
// with the next copy in a new worker. A fault inside PINDREL.DLL or QUORBIN.DLL
// fails the test.
const char kWorkerDir[] = "KVT_ROBUST_DIR";
const char kWorkerKind[] = "KVT_ROBUST_KIND";
const char kWorkerFrom[] = "KVT_ROBUST_FROM";
const int kFaultExit = 99;

std::string Environment(const char* name)
{
    char value[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length && length < sizeof value ? value : "";
}

size_t currentCopy = 0;
LONG WINAPI RecordFault(EXCEPTION_POINTERS* exception)
{
    char module[MAX_PATH] = "(no module)";
    HMODULE owner = nullptr;
    void* address = exception->ExceptionRecord->ExceptionAddress;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(address), &owner))
        GetModuleFileNameA(owner, module, sizeof module);
    char line[MAX_PATH + 64];
    int length = wsprintfA(line, "%u %08lx %s\n", static_cast<unsigned>(currentCopy),
                           exception->ExceptionRecord->ExceptionCode, module);
    std::string path = Environment(kWorkerDir) + "\\faults.txt";
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line, length, &written, nullptr);
    CloseHandle(file);
    TerminateProcess(GetCurrentProcess(), kFaultExit);
    return EXCEPTION_CONTINUE_SEARCH;
}

unsigned long long LastWritten(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

// The location the icon handler gives for path: the file part, "" for S_FALSE.
std::string IconLocation(HMODULE quorbin, const std::string& path, HRESULT* result)
{
    *result = E_UNEXPECTED;
    IPersistFile* file = nullptr;
    if (FAILED(CreateComponent(quorbin, kQuorbinClassId, IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return "";
    file->Load(WideFromAnsi(path).c_str(), STGM_READ);
    IExtractIconA* extract = nullptr;
    std::string location;
    if (SUCCEEDED(file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)))) {
        char buffer[MAX_PATH] = "";
        int index = 0;
        UINT flags = 0;
        *result = extract->GetIconLocation(0, buffer, sizeof buffer, &index, &flags);
        if (*result == S_OK)
            location = buffer;
        extract->Release();
    }
    file->Release();
    return location;
}

// PINDREL.DLL (a private copy, so that its settings file is the test's), QUORBIN.DLL
// with its shell and message boxes answered, both watched by ledgers, and classes
// whose icons tell a Word document from a text one.
class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pindrel.Module());
        ASSERT_TRUE(quorbin.Get());
        ASSERT_TRUE(shell.Applied());
        ASSERT_TRUE(boxes.Applied());
        open = quorbin.Export<OpenFn>("Open");
        ASSERT_TRUE(open);
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "Quorbin"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", wordClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, wordClass + "\\DefaultIcon", nullptr, "C:\\Word\\w.exe,1"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\DefaultIcon", nullptr, "C:\\Text\\t.exe,0"));
        gdi.reset(new GdiLedger(pindrel.Module()));
        handles.reset(new HandleLedger({pindrel.Module(), quorbin.Get()}));
    }
    void TearDown() override
    {
        handles.reset();
        gdi.reset();
        DeleteRegistryTree(HKEY_CLASSES_ROOT, wordClass);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, textClass);
        // The clipboard owns what Copy put there; give it back to the system.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }

    // Opens the Properties of path with flags, shows every page, and on the Icons
    // and Bitmaps pages selects each item and presses Copy.
    void DrivePages(const std::string& path, unsigned flags)
    {
        pindrel.WriteFlags(flags);
        IShellExtInit* init = pindrel.NewExtension({path});
        ASSERT_TRUE(init);
        IShellPropSheetExt* extension = nullptr;
        init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension));
        init->Release();
        ASSERT_TRUE(extension);
        PageCollector collector;
        HRESULT added = collector.AddFrom(extension);
        extension->Release();
        EXPECT_TRUE(added == S_OK || added == E_INVALIDARG) << std::hex << added;
        if (collector.pages.empty())
            return;
        SheetHost sheet;
        ASSERT_TRUE(sheet.Show(collector.pages));
        int count = sheet.PageCount();
        for (int i = 0; i < count; ++i) {
            HWND page = sheet.SelectPage(i);
            ASSERT_TRUE(page);
            if (GetDlgItem(page, IDC_ICON_LIST)) {
                // Every third file at another size: a refill from the module.
                if (currentCopy % 3 == 1)
                    ClickButton(page, IDC_SIZE_LARGE);
                ClickButton(page, IDC_COPY);
            } else if (HWND list = GetDlgItem(page, IDC_BITMAP_LIST)) {
                // One entry drawn and copied, another for each file.
                LRESULT entries = SendMessageA(list, LB_GETCOUNT, 0, 0);
                if (entries > 0) {
                    SendMessageA(list, LB_SETCURSEL, currentCopy % entries, 0);
                    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_BITMAP_LIST, LBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(list));
                }
                ClickButton(page, IDC_STRETCH);
                ClickButton(page, IDC_COPY);
            }
            PumpMessages();
        }
        sheet.Destroy();
    }

    // The icon handler and Open's classification of path: a compound file is a
    // Word document, anything else text; never a box, never a failure.
    void Classify(const std::string& path, const std::string& contents)
    {
        bool word = contents.compare(0, 8, kSignature) == 0 && contents.size() >= 8;
        HRESULT result;
        EXPECT_EQ(word ? "C:\\Word\\w.exe" : "C:\\Text\\t.exe", IconLocation(quorbin.Get(), path, &result));
        EXPECT_EQ(S_OK, result);
        shellVerbs.clear();
        std::vector<char> line(path.begin(), path.end());
        line.push_back('\0');
        EXPECT_EQ(1, open(nullptr, nullptr, line.data(), SW_SHOWNORMAL));
        ASSERT_EQ(1u, shellVerbs.size());
        EXPECT_EQ(word ? ".doc" : ".txt", shellVerbs[0]);
        EXPECT_TRUE(boxes.Boxes().empty());
    }

    // Every handle and object made during one file's run is gone again.
    void ExpectNothingLeft()
    {
        EXPECT_EQ(0u, gdi->LiveTotal()) << gdi->Describe();
        EXPECT_EQ(0u, gdi->WrongReleases());
        EXPECT_EQ(0u, handles->LiveTotal()) << handles->Describe();
    }

    // iconTest: every fourth file also with flag 0x10, whose test of the file's
    // icons is the shell's ExtractIconA.
    void RunAll(const std::vector<DamagedFile>& files, size_t from, const std::string& extension, bool iconTest,
                const std::string& target = "")
    {
        for (size_t i = from; i < files.size(); ++i) {
            currentCopy = i;
            const DamagedFile& damaged = files[i];
            SCOPED_TRACE(damaged.description);
            char name[32];
            wsprintfA(name, "d%04u.%s", static_cast<unsigned>(i), extension.c_str());
            std::string path = temp.WriteFile(name, damaged.contents);
            unsigned long long written = LastWritten(path);
            ASSERT_NE(0u, written);
            DrivePages(path, iconTest && i % 4 == 3 ? 0x37 : 39);
            Classify(path, damaged.contents);
            ExpectNothingLeft();
            EXPECT_EQ(damaged.contents, ReadWholeFile(path)) << "the damaged file was written";
            EXPECT_EQ(written, LastWritten(path)) << "the damaged file's stamp changed";
            if (!target.empty())
                EXPECT_EQ(original, ReadWholeFile(target)) << "the shortcut's target was written";
            DeleteFileA(path.c_str());
            if (HasFailure())
                return;  // one file's failures are enough to read
        }
        EXPECT_EQ(0, LiveDataObjects());
        EXPECT_EQ(S_OK, pindrel.CanUnloadNow());
    }

    PindrelCopy pindrel;
    LoadedLibrary quorbin{DistPath("QUORBIN.DLL")};
    ImportPatch shell{quorbin.Get(), "shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&FakeShellExecute)};
    MessageBoxScript boxes{quorbin.Get()};
    SavedRegistryKeys saved{HKEY_CLASSES_ROOT, {".doc", ".txt"}};
    std::string wordClass = ScratchName("KvtRobustWord");
    std::string textClass = ScratchName("KvtRobustText");
    OpenFn open = nullptr;
    TempDir temp{"kvtrob"};
    std::string original;
    std::unique_ptr<GdiLedger> gdi;
    std::unique_ptr<HandleLedger> handles;
};

// The worker: runs the copies of one kind from one index on.
TEST_F(DamagedFiles, Worker)
{
    std::string dir = Environment(kWorkerDir);
    if (dir.empty())
        GTEST_SKIP() << "run by the tests below";
    SetUnhandledExceptionFilter(RecordFault);
    size_t from = static_cast<size_t>(atoi(Environment(kWorkerFrom).c_str()));
    if (Environment(kWorkerKind) == "dll") {
        original = ReadWholeFile(FixturePath("RESLIB.DLL"));
        // Wine's ExtractIconA walks a library's resource tree without checking it
        // against the file: with flag 0x10 nearly every copy would end in that
        // one fault. The shortcuts take the icon test to an intact target instead.
        RunAll(DamageLibrary(original, kSeed), from, "dll", false);
    } else {
        std::string target = dir + "\\target.dll";
        original = ReadWholeFile(target);
        RunAll(DamageShortcut(ReadWholeFile(dir + "\\made.lnk"), kSeed), from, "lnk", true, target);
    }
}

// Runs workers until every copy has been taken through; returns the system faults
// as "index module" lines, and fails the test for anything else.
std::vector<std::string> RunWorkers(const std::string& dir, const std::string& kind, size_t count)
{
    std::vector<std::string> systemFaults;
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    SetEnvironmentVariableA(kWorkerDir, dir.c_str());
    SetEnvironmentVariableA(kWorkerKind, kind.c_str());
    // The worker's temporary files too, so that a worker's end leaves none behind.
    char temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", temp, sizeof temp);
    SetEnvironmentVariableA("TMP", dir.c_str());
    // Wine waits two seconds for the window manager each time a managed window
    // goes away, and Xvfb has none: the workers' windows are left unmanaged.
    const char x11Key[] = "Software\\Wine\\AppDefaults\\robustness_test.exe\\X11 Driver";
    SetRegistryString(HKEY_CURRENT_USER, x11Key, "Managed", "N");
    size_t from = 0;
    for (int round = 0; round < 400 && from < count; ++round) {
        SetEnvironmentVariableA(kWorkerFrom, std::to_string(from).c_str());
        std::string output = dir + "\\worker.txt";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = out;
        PROCESS_INFORMATION process = {};
        std::string line = std::string("\"") + program + "\" --gtest_filter=DamagedFiles.Worker";
        BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        CloseHandle(out);
        if (!started) {
            ADD_FAILURE() << "the worker did not start: " << GetLastError();
            break;
        }
        // A worker that hangs fails the test.
        DWORD waited = WaitForSingleObject(process.hProcess, 300000);
        DWORD code = 1;
        if (waited == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 1);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        EXPECT_NE(WAIT_TIMEOUT, waited) << "the worker hung from copy " << from << ":\n" << ReadWholeFile(output);
        if (waited == WAIT_TIMEOUT || code == 0)
            break;
        std::string faults = ReadWholeFile(dir + "\\faults.txt");
        DeleteFileA((dir + "\\faults.txt").c_str());
        if (code != static_cast<DWORD>(kFaultExit) || faults.empty()) {
            ADD_FAILURE() << "the worker failed from copy " << from << ":\n" << ReadWholeFile(output);
            break;
        }
        // "<copy> <code> <module path>"
        std::string fault = faults.substr(0, faults.find('\n'));
        size_t index = static_cast<size_t>(atoi(fault.c_str()));
        std::string module = fault.substr(fault.find(' ', fault.find(' ') + 1) + 1);
        module = module.substr(module.find_last_of('\\') + 1);
        CharUpperBuffA(&module[0], static_cast<DWORD>(module.size()));
        // An address in no module is Wine's Unix side (win32u and gdi32 copying
        // bitmap bits out of the cut mapping, seen for truncated bitmaps).
        EXPECT_TRUE(module != "PINDREL.DLL" && module != "QUORBIN.DLL") << "fault on copy " << index << ": " << fault;
        systemFaults.push_back(std::to_string(index) + " " + module);
        from = index + 1;
    }
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\robustness_test.exe");
    SetEnvironmentVariableA(kWorkerDir, nullptr);
    SetEnvironmentVariableA("TMP", temp[0] ? temp : nullptr);
    return systemFaults;
}

void ReportSystemFaults(const std::vector<std::string>& faults, const std::vector<DamagedFile>& files)
{
    // Faults inside the system's own functions (Wine 8's LoadImageA, ExtractIconA,
    // SHGetFileInfoA on damaged resources and links) are the platform's; they are
    // listed, not failed.
    for (const std::string& fault : faults) {
        size_t index = static_cast<size_t>(atoi(fault.c_str()));
        printf("  system fault on copy %s: %s\n", fault.c_str(),
               index < files.size() ? files[index].description.c_str() : "?");
    }
    printf("  %u of %u copies ended in a fault inside the system\n", static_cast<unsigned>(faults.size()),
           static_cast<unsigned>(files.size()));
}

TEST(Robustness, DamagedLibrariesNeitherCrashNorLeakNorAreWritten)
{
    std::vector<DamagedFile> files = DamageLibrary(ReadWholeFile(FixturePath("RESLIB.DLL")), kSeed);
    ASSERT_GE(files.size(), 500u);
    TempDir dir("kvtrobw");
    std::vector<std::string> faults = RunWorkers(dir.Path(), "dll", files.size());
    ReportSystemFaults(faults, files);
}

TEST(Robustness, DamagedShortcutsNeitherCrashNorLeakNorAreWritten)
{
    // The target is a private copy of the fixture, so that its contents can be
    // watched too.
    TempDir dir("kvtrobw");
    std::string target = dir / "target.dll";
    ASSERT_TRUE(CopyFileTo(FixturePath("RESLIB.DLL"), target));
    ASSERT_EQ(S_OK, CreateShortcut(dir / "made.lnk", target));
    std::vector<DamagedFile> files = DamageShortcut(ReadWholeFile(dir / "made.lnk"), kSeed);
    ASSERT_GE(files.size(), 40u);
    std::vector<std::string> faults = RunWorkers(dir.Path(), "lnk", files.size());
    ReportSystemFaults(faults, files);
}

// ---------------------------------------------------------------- registry

// The icon handler's registry reads past their buffers and with values of other
// types than text: a value that does not fit is missing; any other is read as the
// bytes it holds, up to its first terminator, unexpanded.
class HostileRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(quorbin.Get());
        for (const std::string& key : {wordClass, textClass, std::string(kDwordClass)})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, key);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ".txt");
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "Quorbin"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc\\DefaultIcon", nullptr, "C:\\Own\\doc.ico,5"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt\\DefaultIcon", nullptr, "C:\\Own\\txt.ico,-2"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, wordClass + "\\DefaultIcon", nullptr, "C:\\Word\\w.exe,1"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, textClass + "\\DefaultIcon", nullptr, "C:\\Text\\t.exe,0"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, std::string(kDwordClass) + "\\DefaultIcon", nullptr,
                                      "C:\\Dword\\d.exe,7"));
        word = temp.WriteFile("word.doc", kSignature + std::string(100, '\0'));
        text = temp.WriteFile("text.doc", "plain\r\n");
    }
    void TearDown() override
    {
        for (const std::string& key : {wordClass, textClass, std::string(kDwordClass)})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, key);
    }
    struct Location {
        HRESULT result;
        std::string file;
        int index;
    };
    Location Locate(const std::string& path)
    {
        Location location = {E_UNEXPECTED, "", -12345};
        IPersistFile* file = nullptr;
        if (FAILED(CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IPersistFile, reinterpret_cast<void**>(&file))))
            return location;
        file->Load(WideFromAnsi(path).c_str(), STGM_READ);
        IExtractIconA* extract = nullptr;
        if (SUCCEEDED(file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)))) {
            // Sentinels after the caller's buffer show any write past it.
            char buffer[MAX_PATH + 16];
            memset(buffer, 'x', sizeof buffer);
            UINT flags = 0;
            location.result = extract->GetIconLocation(0, buffer, MAX_PATH, &location.index, &flags);
            EXPECT_EQ(std::string(16, 'x'), std::string(buffer + MAX_PATH, 16)) << "written past the buffer";
            if (location.result == S_OK && memchr(buffer, '\0', MAX_PATH))
                location.file = buffer;
            extract->Release();
        }
        file->Release();
        return location;
    }

    // A class name that fits in four bytes, for a REG_DWORD.
    static constexpr const char* kDwordClass = "Kq7";
    LoadedLibrary quorbin{DistPath("QUORBIN.DLL")};
    SavedRegistryKeys saved{HKEY_CLASSES_ROOT, {".doc", ".txt", kDwordClass}};
    std::string wordClass = ScratchName("KvtHostileWord");
    std::string textClass = ScratchName("KvtHostileText");
    TempDir temp{"kvthost"};
    std::string word, text;
};

TEST_F(HostileRegistry, ClassValuesPastTheirBufferOrOfOtherTypes)
{
    // Class names of 33 characters and more exist with icons of their own, to be
    // used only if a name that does not fit were taken.
    std::string name33 = textClass + std::string(33 - textClass.size(), 'y');
    std::string name300 = textClass + std::string(300 - textClass.size(), 'y');
    SavedRegistryKeys longClasses(HKEY_CLASSES_ROOT, {name33, name300});
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, name33 + "\\DefaultIcon", nullptr, "C:\\Long\\33.ico,33"));
    struct Row {
        const char* name;
        bool word;           // the backup value under .doc, else .txt's class
        DWORD type;
        std::string stored;
        const char* file;    // expected
        int index;
    } rows[] = {
        {"text class of 33 characters", false, REG_SZ, name33 + '\0', "C:\\Own\\txt.ico", -2},
        {"text class of 33 characters without terminator", false, REG_SZ, name33, "C:\\Own\\txt.ico", -2},
        {"text class of 300 characters", false, REG_SZ, name300 + '\0', "C:\\Own\\txt.ico", -2},
        {"short class with bytes after its terminator past 32", false, REG_SZ,
         textClass + '\0' + std::string(40, 'z'), "C:\\Own\\txt.ico", -2},
        {"backup of 33 characters", true, REG_SZ, name33 + '\0', "C:\\Own\\doc.ico", 5},
        {"backup of 300 characters", true, REG_SZ, name300 + '\0', "C:\\Own\\doc.ico", 5},
        {"text class as REG_BINARY", false, REG_BINARY, textClass, "C:\\Text\\t.exe", 0},
        {"text class as REG_EXPAND_SZ", false, REG_EXPAND_SZ, textClass + '\0', "C:\\Text\\t.exe", 0},
        {"text class as REG_DWORD", false, REG_DWORD, std::string(kDwordClass) + '\0', "C:\\Dword\\d.exe", 7},
        {"backup as REG_MULTI_SZ", true, REG_MULTI_SZ, wordClass + '\0' + '\0', "C:\\Word\\w.exe", 1},
        {"backup as REG_BINARY of 40 bytes", true, REG_BINARY, std::string(40, 'b'), "C:\\Own\\doc.ico", 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryValue(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup");
        DeleteRegistryValue(HKEY_CLASSES_ROOT, ".txt", nullptr);
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, row.word ? ".doc" : ".txt",
                                     row.word ? "QuorbinBackup" : nullptr, row.type, row.stored));
        Location location = Locate(row.word ? word : text);
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(row.file, location.file);
        EXPECT_EQ(row.index, location.index);
    }
}

TEST_F(HostileRegistry, DefaultIconValuesPastTheirBufferOrOfOtherTypes)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
    struct Row {
        const char* name;
        DWORD type;
        std::string stored;
        HRESULT result;
        std::string file;
        int index;
    } rows[] = {
        {"261 characters", REG_SZ, "C:\\" + std::string(258, 'n') + '\0', S_FALSE, "", 0},
        {"261 characters without terminator", REG_SZ, "C:\\" + std::string(258, 'n'), S_FALSE, "", 0},
        {"4096 characters", REG_SZ, "C:\\" + std::string(4093, 'n') + '\0', S_FALSE, "", 0},
        {"a comma as the 259th character", REG_SZ, "C:\\" + std::string(255, 'n') + ",", S_OK,
         "C:\\" + std::string(255, 'n'), 0},
        {"REG_EXPAND_SZ, not expanded", REG_EXPAND_SZ, "%SystemRoot%\\x.dll,2" + std::string(1, '\0'), S_OK,
         "%SystemRoot%\\x.dll", 2},
        {"REG_BINARY without terminator", REG_BINARY, "C:\\b.dll,3", S_OK, "C:\\b.dll", 3},
        {"REG_DWORD", REG_DWORD, std::string("a,1\0", 4), S_OK, "a", 1},
        {"REG_MULTI_SZ: its first string", REG_MULTI_SZ, std::string("C:\\m.dll,4\0C:\\n.dll,5\0\0", 22), S_OK,
         "C:\\m.dll", 4},
        {"REG_NONE, empty", REG_NONE, "", S_OK, "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, textClass + "\\DefaultIcon", nullptr, row.type, row.stored));
        Location location = Locate(text);
        EXPECT_EQ(row.result, location.result);
        if (row.result == S_OK) {
            EXPECT_EQ(row.file, location.file);
            EXPECT_EQ(row.index, location.index);
        }
    }
}

TEST_F(HostileRegistry, NoRoomForTheIconFileWritesNothing)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
    IExtractIconA* extract = nullptr;
    ASSERT_EQ(S_OK, CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IExtractIconA,
                                    reinterpret_cast<void**>(&extract)));
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    int index = -1;
    UINT flags = 0;
    EXPECT_EQ(S_OK, extract->GetIconLocation(0, buffer, 0, &index, &flags));
    EXPECT_EQ(std::string(8, 'x'), std::string(buffer, 8));
    EXPECT_EQ(0, index);
    extract->Release();
}

// ---------------------------------------------------------------- settings file

// KELVARA.INI of random bytes and flags words no page ever wrote: the flags are
// whatever the system's profile reading gives (39 when it finds nothing), and the
// pages follow them.
TEST(HostileSettings, RandomSettingsFilesGiveThePagesOfTheFlagsRead)
{
    PindrelCopy pindrel;
    ASSERT_TRUE(pindrel.Module());
    std::string file = pindrel.Temp().WriteFile("plain.txt", "text\r\n");
    std::string section = "[" + LogonName() + "]\r\nPindrelFlags=";
    std::mt19937 random(kSeed);
    auto bytes = [&](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += static_cast<char>(random() & 0xFF);
        return text;
    };
    struct Row {
        std::string name;
        std::string contents;
    };
    std::vector<Row> rows = {
        {"empty", ""},
        {"zero", section + "0\r\n"},
        {"negative", section + "-1\r\n"},
        {"2^32 - 1", section + "4294967295\r\n"},
        {"2^32", section + "4294967296\r\n"},
        {"twenty digits", section + "99999999999999999999\r\n"},
        {"hexadecimal", section + "0x27\r\n"},
        {"digits then junk", section + "3junk\r\n"},
        {"no value", section + "\r\n"},
        {"70,000 digits", section + std::string(70000, '1') + "\r\n"},
        {"no line end", section + "2"},
    };
    for (int i = 0; i < 6; ++i)
        rows.push_back({"random bytes " + std::to_string(i), bytes(64 + (random() % 8192))});
    for (int i = 0; i < 4; ++i)
        rows.push_back({"section, then random bytes " + std::to_string(i), section + bytes(1 + random() % 64)});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(pindrel.IniPath(), pindrel.Temp().WriteFile("KELVARA.INI", row.contents));
        UINT flags = GetPrivateProfileIntA(LogonName().c_str(), "PindrelFlags", 39, pindrel.IniPath().c_str());
        // A writable text file: Touch with 0x01, Icons with 0x02 unless 0x10 asks for
        // icons it does not hold; never Bitmaps.
        size_t expected = flags == 0 ? 0 : ((flags & 0x01) ? 1 : 0) + ((flags & 0x02) && !(flags & 0x10) ? 1 : 0);
        IShellExtInit* extension = pindrel.NewExtension({file});
        ASSERT_TRUE(extension);
        SheetHost sheet;
        HRESULT result = E_UNEXPECTED;
        EXPECT_EQ(expected, ShowPages(extension, sheet, &result).size()) << "flags " << flags;
        EXPECT_EQ(S_OK, result);
        sheet.Destroy();
        extension->Release();
        EXPECT_EQ(row.contents, ReadWholeFile(pindrel.IniPath())) << "the settings file was written";
    }
}

}  // namespace
