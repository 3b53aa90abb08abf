// The .doc icon handler of QUORBIN.DLL, created through its class factory and asked
// for icon locations as Explorer asks, on real files and real classes under
// HKEY_CLASSES_ROOT.
#include "deliverables.h"
#include "look_alikes.h"
#include "registry_tree.h"
#include "temp_files.h"
#include "text.h"
#include <gtest/gtest.h>
#include <prsht.h>
#include <shlobj.h>

namespace {

const std::string kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// name lengthened to length characters: a class name at the edge of the 32-byte
// buffer.
std::string Padded(const std::string& name, size_t length)
{
    return name + std::string(length - name.size(), 'x');
}

struct Location {
    HRESULT result;
    std::string file;
    int index;
    UINT flags;
};

class IconHandler : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(quorbin.Get());
        // The scratch classes start missing; the extension keys start empty.
        for (const std::string& name : {wordClass, textClass, longClass})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, ".txt");
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "Quorbin"));
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, textClass));
        word = temp.WriteFile("word.doc", kSignature + std::string(504, '\0'));
        text = temp.WriteFile("text.doc", "Plain text that happens to carry .doc\r\n");
    }
    void TearDown() override
    {
        for (const std::string& name : {wordClass, textClass, longClass}) {
            DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
            for (size_t length : {31, 32})
                DeleteRegistryTree(HKEY_CLASSES_ROOT, Padded(name, length));
        }
    }

    void SetIcon(const std::string& key, const std::string& location)
    {
        ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, key + "\\DefaultIcon", nullptr, location));
    }

    // A new handler given path by Load, asked once for its location, released.
    Location Locate(const std::string& path, UINT size = MAX_PATH) { return Locate(WideFromAnsi(path), size); }
    Location Locate(const std::wstring& path, UINT size = MAX_PATH)
    {
        Location location = {E_UNEXPECTED, "", 12345, 0xdeadbeef};
        IPersistFile* file = nullptr;
        HRESULT created = CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IPersistFile,
                                          reinterpret_cast<void**>(&file));
        EXPECT_EQ(S_OK, created);
        if (FAILED(created))
            return location;
        EXPECT_EQ(S_OK, file->Load(path.c_str(), STGM_READ));
        IExtractIconA* extract = nullptr;
        EXPECT_EQ(S_OK, file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)));
        if (extract) {
            char buffer[MAX_PATH + 8];
            memset(buffer, 'x', sizeof buffer);
            buffer[sizeof buffer - 1] = '\0';
            location.result = extract->GetIconLocation(0, buffer, size, &location.index, &location.flags);
            if (location.result == S_OK)
                location.file = buffer;
            extract->Release();
        }
        file->Release();
        return location;
    }

    LoadedLibrary quorbin{DistPath("QUORBIN.DLL")};
    SavedRegistryKeys saved{HKEY_CLASSES_ROOT, {".doc", ".txt"}};
    TempDir temp{"kvtico"};
    std::string wordClass = ScratchName("KvtWordClass");
    std::string textClass = ScratchName("KvtTextClass");
    std::string longClass = ScratchName("KvtLongClass");
    std::string word, text;
};

TEST_F(IconHandler, FirstEightBytesChooseTheKindOfDocument)
{
    SetIcon(wordClass, "C:\\Word\\WINWORD.EXE,1");
    SetIcon(textClass, "C:\\Windows\\notepad.exe,0");
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", wordClass));

    HANDLE held = INVALID_HANDLE_VALUE;
    struct Row {
        const char* name;
        std::string contents;
        bool exists;
        bool unshareable;
        bool word;
    } rows[] = {
        {"word document", kSignature + "rest of a Word file", true, false, true},
        {"signature alone", kSignature, true, false, true},
        {"other compound file", kSignature + std::string("\x3E\x00\x03\x00\xFE\xFF", 6) + "workbook", true, false, true},
        {"seven bytes of the signature", kSignature.substr(0, 7), true, false, false},
        {"last byte differs", kSignature.substr(0, 7) + "\xE2" + "more", true, false, false},
        {"empty file", "", true, false, false},
        {"plain text", "Dear reader,\r\n", true, false, false},
        {"missing file", "", false, false, false},
        {"compound file nobody may share", kSignature + "locked", true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = temp / (std::string(row.name) + ".doc");
        if (row.exists)
            temp.WriteFile(std::string(row.name) + ".doc", row.contents);
        if (row.unshareable)
            held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Location location = Locate(path);
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
        }
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(row.word ? "C:\\Word\\WINWORD.EXE" : "C:\\Windows\\notepad.exe", location.file);
        EXPECT_EQ(row.word ? 1 : 0, location.index);
        EXPECT_EQ(static_cast<UINT>(GIL_PERINSTANCE), location.flags);
    }
    for (const std::string& name : ScriptNames()) {
        SCOPED_TRACE(name);
        Location location = Locate(temp.WriteFile(name + ".doc", kSignature + "named"));
        EXPECT_EQ("C:\\Word\\WINWORD.EXE", location.file);
        EXPECT_EQ(1, location.index);
    }
    // A name the code page cannot spell is read through its short name, never as its
    // look-alike text file (refused without one: LoadRefusesEmptyAndOversizedPaths).
    LookAlikes files = WriteLookAlikes(temp, ".doc", kSignature, "text");
    EXPECT_EQ("C:\\Word\\WINWORD.EXE", Locate(files.chosen).file);
}

TEST_F(IconHandler, DefaultIconValueIsSplitAtItsLastComma)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", wordClass));
    struct Row {
        const char* value;
        const char* file;
        int index;
    } rows[] = {
        {"C:\\Office\\WINWORD.EXE,-3", "C:\\Office\\WINWORD.EXE", -3},
        {"C:\\Office\\WINWORD.EXE,1", "C:\\Office\\WINWORD.EXE", 1},
        {"C:\\Office\\wordicon.ico", "C:\\Office\\wordicon.ico", 0},
        {"C:\\a,b\\c,d.dll,2", "C:\\a,b\\c,d.dll", 2},
        {"C:\\My,Icons\\word.ico", "C:\\My", 0},
        {"C:\\Office\\WINWORD.EXE,  +7 icons", "C:\\Office\\WINWORD.EXE", 7},
        {"\"%SystemRoot%\\word.dll\",4", "\"%SystemRoot%\\word.dll\"", 4},
        {"", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        SetIcon(wordClass, row.value);
        Location location = Locate(word);
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(row.file, location.file);
        EXPECT_EQ(row.index, location.index);
    }
}

TEST_F(IconHandler, WordDocumentFallsBackToTheIconUnderDotDoc)
{
    SetIcon(".doc", "C:\\Fallback\\doc.ico,5");
    SetIcon(wordClass, "C:\\Word\\WINWORD.EXE,1");
    // Classes of those lengths with icons of their own, to be used only when the
    // whole name fits.
    std::string name31 = Padded(longClass, 31);
    std::string name32 = Padded(longClass, 32);
    SetIcon(name31, "C:\\Long\\thirtyone.ico,31");
    SetIcon(name32, "C:\\Long\\thirtytwo.ico,32");
    struct Row {
        const char* name;
        std::string backup;  // "" leaves the value out
        const char* file;
        int index;
    } rows[] = {
        {"backup names the class", wordClass, "C:\\Word\\WINWORD.EXE", 1},
        {"no backup", "", "C:\\Fallback\\doc.ico", 5},
        {"backup of 31 characters", name31, "C:\\Long\\thirtyone.ico", 31},
        {"backup of 32 characters", name32, "C:\\Fallback\\doc.ico", 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryValue(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup");
        if (!row.backup.empty())
            ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", row.backup));
        Location location = Locate(word);
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(row.file, location.file);
        EXPECT_EQ(row.index, location.index);
    }
    DeleteRegistryTree(HKEY_CLASSES_ROOT, name31);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, name32);

    DeleteRegistryValue(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc\\DefaultIcon");
    EXPECT_EQ(S_FALSE, Locate(word).result);
}

TEST_F(IconHandler, TextDocumentFollowsTheClassThatDotTxtNames)
{
    SetIcon(textClass, "C:\\Windows\\notepad.exe,0");
    SetIcon(".txt", "C:\\Plain\\txt.ico,-2");
    std::string name31 = Padded(textClass, 31);
    std::string name32 = Padded(textClass, 32);
    SetIcon(name31, "C:\\Long\\thirtyone.ico,31");
    SetIcon(name32, "C:\\Long\\thirtytwo.ico,32");
    struct Row {
        const char* name;
        std::string stored;  // the bytes of .txt's default value
        bool present;
        const char* file;
        int index;
    } rows[] = {
        {"class name", textClass + '\0', true, "C:\\Windows\\notepad.exe", 0},
        {"class name stored without terminator", textClass, true, "C:\\Windows\\notepad.exe", 0},
        {"no class", "", false, "C:\\Plain\\txt.ico", -2},
        {"class of 31 characters", name31 + '\0', true, "C:\\Long\\thirtyone.ico", 31},
        {"class of 31 characters without terminator", name31, true, "C:\\Long\\thirtyone.ico", 31},
        {"class of 32 characters", name32 + '\0', true, "C:\\Plain\\txt.ico", -2},
        {"class of 32 characters without terminator", name32, true, "C:\\Plain\\txt.ico", -2},
        {"class that does not exist", "KvtNoSuchClass" + std::string(1, '\0'), true, nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DeleteRegistryValue(HKEY_CLASSES_ROOT, ".txt", nullptr);
        if (row.present)
            ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, ".txt", nullptr, REG_SZ, row.stored));
        Location location = Locate(text);
        if (!row.file) {
            // The class is read but has no DefaultIcon: no location at all.
            EXPECT_EQ(S_FALSE, location.result);
            continue;
        }
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(row.file, location.file);
        EXPECT_EQ(row.index, location.index);
    }
    DeleteRegistryTree(HKEY_CLASSES_ROOT, name31);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, name32);
}

TEST_F(IconHandler, DefaultIconTextEndsAfterItsStoredLength)
{
    struct Row {
        const char* name;
        std::string stored;
        HRESULT result;
        std::string file;
    } rows[] = {
        {"stored without terminator", "C:\\Windows\\notepad.exe,3", S_OK, "C:\\Windows\\notepad.exe"},
        {"259 characters without terminator", "C:\\" + std::string(256, 'n'), S_OK, "C:\\" + std::string(256, 'n')},
        {"259 characters", "C:\\" + std::string(256, 'n') + '\0', S_OK, "C:\\" + std::string(256, 'n')},
        {"260 characters without terminator", "C:\\" + std::string(257, 'n'), S_FALSE, ""},
        {"260 characters", "C:\\" + std::string(257, 'n') + '\0', S_FALSE, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(SetRegistryBytes(HKEY_CLASSES_ROOT, textClass + "\\DefaultIcon", nullptr, REG_SZ, row.stored));
        Location location = Locate(text);
        EXPECT_EQ(row.result, location.result);
        EXPECT_EQ(row.file, location.file);
    }
}

TEST_F(IconHandler, MissingKeysGiveNoLocation)
{
    SetIcon(textClass, "C:\\Windows\\notepad.exe,0");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, ".txt");
    EXPECT_EQ(S_FALSE, Locate(text).result) << "no .txt key";
    DeleteRegistryTree(HKEY_CLASSES_ROOT, ".doc");
    SetIcon(wordClass, "C:\\Word\\WINWORD.EXE,1");
    EXPECT_EQ(S_FALSE, Locate(word).result) << "no .doc key";
}

TEST_F(IconHandler, IconFileIsCutToTheCallersBuffer)
{
    SetIcon(textClass, "C:\\Windows\\notepad.exe,4");
    for (UINT size : {1u, 2u, 8u, 23u, 24u}) {
        SCOPED_TRACE(size);
        Location location = Locate(text, size);
        EXPECT_EQ(S_OK, location.result);
        EXPECT_EQ(std::string("C:\\Windows\\notepad.exe").substr(0, size - 1), location.file);
        EXPECT_EQ(4, location.index);
    }
    if (GetACP() != CP_UTF8)
        return;
    // Under UTF-8 the cut falls before a character it would split: 表 takes three
    // bytes, 𝄞 four.
    SetIcon(textClass, u8"C:\\表\\𝄞.ico,4");
    struct Row {
        UINT size;
        const char* file;
    } rows[] = {{5, "C:\\"}, {7, u8"C:\\表"}, {9, u8"C:\\表\\"}, {11, u8"C:\\表\\"}, {12, u8"C:\\表\\𝄞"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        EXPECT_EQ(row.file, Locate(text, row.size).file);
    }
}

TEST_F(IconHandler, LoadRefusesEmptyAndOversizedPaths)
{
    SetIcon(textClass, "C:\\Windows\\notepad.exe,0");
    SetIcon(wordClass, "C:\\Word\\WINWORD.EXE,1");
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", wordClass));
    // Japanese text takes two bytes a character under code page 932 and three under
    // UTF-8: too long for the path. Under 1252 it cannot be spelled, and no such
    // file has a short name.
    std::wstring japanese(129, L'\x6587');
    struct Row {
        const char* name;
        std::wstring path;
        bool nullPath;
        HRESULT result;
    } rows[] = {
        {"null", L"", true, E_FAIL},
        {"empty", L"", false, E_FAIL},
        {"259 characters", L"C:\\" + std::wstring(256, L'p'), false, S_OK},
        {"260 characters", L"C:\\" + std::wstring(257, L'p'), false, E_FAIL},
        {"300 characters", L"C:\\" + std::wstring(297, L'p'), false, E_FAIL},
        {"129 Japanese characters", L"C:\\" + japanese, false, E_FAIL},
        {"name the code page cannot spell, of no file", L"C:\\" + Wide(u8"Māori.doc"), false,
         GetACP() == CP_UTF8 ? S_OK : E_FAIL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IPersistFile* file = nullptr;
        ASSERT_EQ(S_OK, CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IPersistFile,
                                        reinterpret_cast<void**>(&file)));
        // A Word document loaded first: a refused path must not leave it behind.
        ASSERT_EQ(S_OK, file->Load(WideFromAnsi(word).c_str(), 0));
        EXPECT_EQ(row.result, file->Load(row.nullPath ? nullptr : row.path.c_str(), 0));
        IExtractIconA* extract = nullptr;
        ASSERT_EQ(S_OK, file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)));
        char buffer[MAX_PATH] = "";
        int index = -1;
        UINT flags = 0;
        EXPECT_EQ(S_OK, extract->GetIconLocation(0, buffer, sizeof buffer, &index, &flags));
        if (row.result == E_FAIL && !row.nullPath && !row.path.empty())
            EXPECT_STREQ("C:\\Windows\\notepad.exe", buffer) << "a refused path is no path: a text document";
        extract->Release();
        file->Release();
    }
}

TEST_F(IconHandler, WithoutLoadTheFileIsText)
{
    SetIcon(textClass, "C:\\Windows\\notepad.exe,6");
    IExtractIconA* extract = nullptr;
    ASSERT_EQ(S_OK, CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IExtractIconA,
                                    reinterpret_cast<void**>(&extract)));
    char buffer[MAX_PATH] = "";
    int index = -1;
    UINT flags = 0;
    EXPECT_EQ(S_OK, extract->GetIconLocation(GIL_FORSHELL, buffer, sizeof buffer, &index, &flags));
    EXPECT_STREQ("C:\\Windows\\notepad.exe", buffer);
    EXPECT_EQ(6, index);
    EXPECT_EQ(static_cast<UINT>(GIL_PERINSTANCE), flags);
    HICON large = reinterpret_cast<HICON>(0x1234), small = reinterpret_cast<HICON>(0x5678);
    EXPECT_EQ(S_FALSE, extract->Extract(buffer, index, &large, &small, 32));
    EXPECT_EQ(reinterpret_cast<HICON>(0x1234), large);
    EXPECT_EQ(reinterpret_cast<HICON>(0x5678), small);
    EXPECT_EQ(0u, extract->Release());
}

TEST_F(IconHandler, AnswersItsTwoInterfacesAndTheRestOfPersistFile)
{
    IPersistFile* file = nullptr;
    ASSERT_EQ(S_OK, CreateComponent(quorbin.Get(), kQuorbinClassId, IID_IPersistFile,
                                    reinterpret_cast<void**>(&file)));
    void* none = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, file->QueryInterface(IID_IExtractIconW, &none));
    EXPECT_EQ(nullptr, none);
    none = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, file->QueryInterface(IID_IPersist, &none));
    EXPECT_EQ(nullptr, none);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, file->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(file), unknown);
    IExtractIconA* extract = nullptr;
    ASSERT_EQ(S_OK, file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)));
    EXPECT_NE(static_cast<void*>(file), static_cast<void*>(extract));
    IPersistFile* back = nullptr;
    ASSERT_EQ(S_OK, extract->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&back)));
    EXPECT_EQ(file, back);

    CLSID id = {};
    EXPECT_EQ(S_OK, file->GetClassID(&id));
    EXPECT_TRUE(IsEqualCLSID(kQuorbinClassId, id));
    EXPECT_EQ(E_FAIL, file->GetClassID(nullptr));
    EXPECT_EQ(E_FAIL, file->IsDirty());
    EXPECT_EQ(E_FAIL, file->Save(L"C:\\x.doc", TRUE));
    EXPECT_EQ(S_OK, file->SaveCompleted(L"C:\\x.doc"));
    LPOLESTR current = reinterpret_cast<LPOLESTR>(0xdeadbeef);
    EXPECT_EQ(E_FAIL, file->GetCurFile(&current));

    // One count for both tables: four references taken above.
    EXPECT_EQ(3u, back->Release());
    EXPECT_EQ(2u, extract->Release());
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(0u, file->Release());
    using CanUnloadNow = HRESULT(WINAPI*)();
    EXPECT_EQ(S_OK, quorbin.Export<CanUnloadNow>("DllCanUnloadNow")());
}

TEST_F(IconHandler, CplGetPageOffersNoPage)
{
    using CplGetPage = BOOL(WINAPI*)(PROPSHEETPAGEA*);
    auto getPage = quorbin.Export<CplGetPage>("CplGetPage");
    ASSERT_TRUE(getPage);
    PROPSHEETPAGEA page;
    memset(&page, 0, sizeof page);
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    PROPSHEETPAGEA before = page;
    EXPECT_FALSE(getPage(&page));
    EXPECT_EQ(0, memcmp(&before, &page, sizeof page));
}

}  // namespace
