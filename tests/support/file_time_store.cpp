// Time stamps of a module under test kept in memory.
#include "file_time_store.h"
#include "import_patch.h"

FileTimeStore* FileTimeStore::current_ = nullptr;

FileTimeStore::FileTimeStore(HMODULE module)
    : getPatch_(new ImportPatch(module, "kernel32.dll", "GetFileTime", reinterpret_cast<const void*>(&GetHook))),
      setPatch_(new ImportPatch(module, "kernel32.dll", "SetFileTime", reinterpret_cast<const void*>(&SetHook)))
{
    current_ = this;
}

FileTimeStore::~FileTimeStore()
{
    getPatch_.reset();
    setPatch_.reset();
    current_ = nullptr;
}

bool FileTimeStore::Applied() const
{
    return getPatch_->Applied() && setPatch_->Applied();
}

bool FileTimeStore::KeyOf(HANDLE file, FileKey* key)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return false;
    *key = FileKey(info.dwVolumeSerialNumber,
                   (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
    return true;
}

bool FileTimeStore::Put(const std::string& path, const FILETIME& creation, const FILETIME& lastWritten)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FileKey key;
    bool ok = KeyOf(file, &key);
    CloseHandle(file);
    if (ok)
        stamps_[key] = {creation, lastWritten};
    return ok;
}

StoredStamps FileTimeStore::Get(const std::string& path) const
{
    StoredStamps result = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return result;
    FileKey key;
    if (KeyOf(file, &key)) {
        auto found = stamps_.find(key);
        if (found != stamps_.end())
            result = found->second;
    }
    CloseHandle(file);
    return result;
}

BOOL WINAPI FileTimeStore::GetHook(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* lastWritten)
{
    FileTimeStore* self = current_;
    FileKey key;
    if (self && KeyOf(file, &key)) {
        auto found = self->stamps_.find(key);
        if (found != self->stamps_.end()) {
            if (creation)
                *creation = found->second.creation;
            if (access)
                *access = found->second.lastWritten;
            if (lastWritten)
                *lastWritten = found->second.lastWritten;
            return TRUE;
        }
    }
    return GetFileTime(file, creation, access, lastWritten);
}

BOOL WINAPI FileTimeStore::SetHook(HANDLE file, const FILETIME* creation, const FILETIME* access,
                                   const FILETIME* lastWritten)
{
    FileTimeStore* self = current_;
    FileKey key;
    if (self && KeyOf(file, &key)) {
        auto found = self->stamps_.find(key);
        if (found != self->stamps_.end()) {
            if (creation)
                found->second.creation = *creation;
            if (lastWritten)
                found->second.lastWritten = *lastWritten;
            return TRUE;
        }
    }
    return SetFileTime(file, creation, access, lastWritten);
}
