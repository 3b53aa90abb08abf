// GetIconLocation over many .doc files through QUORBIN.DLL's class factory, as
// Explorer asks for every .doc file it shows, against a plain open, 8-byte read,
// close and the same two registry reads.
#include "bench.h"
#include "deliverables.h"
#include "registry_tree.h"
#include "temp_files.h"
#include <shlobj.h>
#include <cstdio>

namespace {

const int kFiles = 10000;
const char kWordClass[] = "KvbWord.Document";
const char kTextClass[] = "KvbTextFile";
const std::string kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// The plainest code of the same work: the file's first 8 bytes, then the
// extension key's class value and the class's DefaultIcon.
bool PlainLocation(const char* path, char* location, DWORD size)
{
    BYTE head[8] = {};
    DWORD read = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, head, sizeof head, &read, nullptr);
        CloseHandle(file);
    }
    bool word = read == 8 && memcmp(head, kSignature.data(), 8) == 0;
    char key[64];
    lstrcpyA(key, word ? ".doc" : ".txt");
    HKEY extension;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &extension) != ERROR_SUCCESS)
        return false;
    char name[32];
    DWORD length = sizeof name;
    if (RegQueryValueExA(extension, word ? "QuorbinBackup" : nullptr, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(name), &length) == ERROR_SUCCESS)
        lstrcpyA(key, name);
    RegCloseKey(extension);
    lstrcatA(key, "\\DefaultIcon");
    HKEY icon;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &icon) != ERROR_SUCCESS)
        return false;
    length = size;
    LONG result = RegQueryValueExA(icon, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(location), &length);
    RegCloseKey(icon);
    return result == ERROR_SUCCESS;
}

}  // namespace

bool RunIconLocationBench(int runs)
{
    LoadedLibrary quorbin(DistPath("QUORBIN.DLL"));
    if (!quorbin.Get()) {
        printf("  QUORBIN.DLL does not load from %s\n", DistPath("QUORBIN.DLL").c_str());
        return false;
    }
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    IClassFactory* factory = nullptr;
    auto get = quorbin.Export<GetClassObject>("DllGetClassObject");
    if (!get || FAILED(get(kQuorbinClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        printf("  QUORBIN.DLL gives no class factory\n");
        return false;
    }

    SavedRegistryKeys saved(HKEY_CLASSES_ROOT, {".doc", ".txt", kWordClass, kTextClass});
    SetRegistryString(HKEY_CLASSES_ROOT, ".doc", nullptr, "Quorbin");
    SetRegistryString(HKEY_CLASSES_ROOT, ".doc", "QuorbinBackup", kWordClass);
    SetRegistryString(HKEY_CLASSES_ROOT, ".txt", nullptr, kTextClass);
    SetRegistryString(HKEY_CLASSES_ROOT, std::string(kWordClass) + "\\DefaultIcon", nullptr,
                      "C:\\Program Files\\Office\\WINWORD.EXE,1");
    SetRegistryString(HKEY_CLASSES_ROOT, std::string(kTextClass) + "\\DefaultIcon", nullptr,
                      "C:\\windows\\system32\\notepad.exe,0");

    TempDir temp("kvbdoc");
    std::vector<std::string> paths;
    std::vector<std::wstring> widePaths;
    std::string word = kSignature + std::string(504, '\0');
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        wsprintfA(name, "d%05d.doc", i);
        paths.push_back(temp.WriteFile(name, i % 2 ? "Plain text in a .doc file\r\n" : word));
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, paths.back().c_str(), -1, wide, MAX_PATH);
        widePaths.push_back(wide);
    }

    // Both sides must find the same locations, or the comparison means nothing.
    int mismatches = 0;
    auto handlerPass = [&](bool check) {
        for (int i = 0; i < kFiles; ++i) {
            IPersistFile* file = nullptr;
            if (FAILED(factory->CreateInstance(nullptr, IID_IPersistFile, reinterpret_cast<void**>(&file))))
                continue;
            IExtractIconA* extract = nullptr;
            file->Load(widePaths[i].c_str(), STGM_READ);
            if (SUCCEEDED(file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)))) {
                char location[MAX_PATH] = "";
                int index = 0;
                UINT flags = 0;
                extract->GetIconLocation(GIL_FORSHELL, location, sizeof location, &index, &flags);
                if (check) {
                    char plain[MAX_PATH] = "";
                    PlainLocation(paths[i].c_str(), plain, sizeof plain);
                    char* comma = strrchr(plain, ',');
                    if (comma)
                        *comma = '\0';
                    mismatches += lstrcmpA(plain, location) != 0;
                }
                extract->Release();
            }
            file->Release();
        }
    };
    auto floorPass = [&]() {
        for (int i = 0; i < kFiles; ++i) {
            char location[MAX_PATH];
            PlainLocation(paths[i].c_str(), location, sizeof location);
        }
    };
    handlerPass(true);
    if (mismatches)
        printf("  note: %d of %d locations differ from the plain reading\n", mismatches, kFiles);

    Pair pair = MeasurePair(runs, [&] { handlerPass(false); }, floorPass);

    // Where the time goes: the objects made and loaded first, then asked, then
    // released, each phase timed on its own.
    std::vector<IExtractIconA*> objects(kFiles, nullptr);
    double make = MeasureMedian(runs, [&] {
        for (int i = 0; i < kFiles; ++i) {
            if (objects[i])
                objects[i]->Release();
            objects[i] = nullptr;
        }
        for (int i = 0; i < kFiles; ++i) {
            IPersistFile* file = nullptr;
            if (FAILED(factory->CreateInstance(nullptr, IID_IPersistFile, reinterpret_cast<void**>(&file))))
                continue;
            file->Load(widePaths[i].c_str(), STGM_READ);
            file->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&objects[i]));
            file->Release();
        }
    });
    double ask = MeasureMedian(runs, [&] {
        for (IExtractIconA* extract : objects) {
            char location[MAX_PATH];
            int index;
            UINT flags;
            if (extract)
                extract->GetIconLocation(GIL_FORSHELL, location, sizeof location, &index, &flags);
        }
    });
    for (IExtractIconA* extract : objects) {
        if (extract)
            extract->Release();
    }
    factory->Release();
    PrintTable("(1) GetIconLocation over 10,000 .doc files (half compound files, half text), per call",
               {{"CreateInstance + Load + GetIconLocation", pair.work / kFiles, pair.floor / kFiles, 1.2, "call"},
                {"  of which CreateInstance + Load + Release", make / kFiles, 0, 0, "call"},
                {"  of which GetIconLocation alone", ask / kFiles, pair.floor / kFiles, 0, "call"}});
    printf("  floor: CreateFileA, ReadFile 8 bytes, CloseHandle; RegOpenKeyExA/RegQueryValueExA of the extension\n"
           "  key's class and of the class's DefaultIcon\n");
    return mismatches == 0;
}
