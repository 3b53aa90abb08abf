// Creation and last-written stamps answered at a module's import table from memory.
// Wine keeps no creation stamp of its own (it reads back as the last-written one and
// SetFileTime drops it), so behaviour that needs the two to differ is tested
// against this store: GetFileTime and SetFileTime of the module are replaced, and
// for files put into the store they read and write the store only. Other files
// reach the real functions.
#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <utility>

struct StoredStamps {
    FILETIME creation;
    FILETIME lastWritten;
};

class FileTimeStore {
public:
    explicit FileTimeStore(HMODULE module);
    ~FileTimeStore();
    FileTimeStore(const FileTimeStore&) = delete;
    FileTimeStore& operator=(const FileTimeStore&) = delete;

    bool Applied() const;
    // Puts an existing file into the store with these stamps; false when the file
    // cannot be opened.
    bool Put(const std::string& path, const FILETIME& creation, const FILETIME& lastWritten);
    // The stamps stored for path now.
    StoredStamps Get(const std::string& path) const;

private:
    using FileKey = std::pair<DWORD, unsigned long long>;  // volume serial, file index
    static bool KeyOf(HANDLE file, FileKey* key);
    static BOOL WINAPI GetHook(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* lastWritten);
    static BOOL WINAPI SetHook(HANDLE file, const FILETIME* creation, const FILETIME* access,
                               const FILETIME* lastWritten);
    static FileTimeStore* current_;
    std::unique_ptr<class ImportPatch> getPatch_;
    std::unique_ptr<class ImportPatch> setPatch_;
    std::map<FileKey, StoredStamps> stamps_;
};
