// HandleLedger: replacements for the opening and closing functions at a module's
// import table.
#include "handle_ledger.h"
#include "import_patch.h"
#include <cstdio>

HandleLedger* HandleLedger::current_ = nullptr;

namespace {

void Opened(HandleKind kind, const void* handle, const char* opener)
{
    if (HandleLedger::Current() && handle)
        HandleLedger::Current()->Open(kind, handle, opener);
}

void Closed(HandleKind kind, const void* handle)
{
    if (HandleLedger::Current())
        HandleLedger::Current()->Close(kind, handle);
}

HANDLE WINAPI LedgerCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model)
{
    HANDLE file = CreateFileA(name, access, share, security, disposition, flags, model);
    if (file != INVALID_HANDLE_VALUE)
        Opened(HandleKind::File, file, "CreateFileA");
    return file;
}

BOOL WINAPI LedgerCloseHandle(HANDLE handle)
{
    BOOL closed = CloseHandle(handle);
    if (closed)
        Closed(HandleKind::File, handle);
    return closed;
}

HMODULE WINAPI LedgerLoadLibraryA(LPCSTR name)
{
    HMODULE module = LoadLibraryA(name);
    Opened(HandleKind::Module, module, "LoadLibraryA");
    return module;
}

HMODULE WINAPI LedgerLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    HMODULE module = LoadLibraryExA(name, file, flags);
    Opened(HandleKind::Module, module, "LoadLibraryExA");
    return module;
}

BOOL WINAPI LedgerFreeLibrary(HMODULE module)
{
    BOOL freed = FreeLibrary(module);
    if (freed)
        Closed(HandleKind::Module, module);
    return freed;
}

LONG WINAPI LedgerRegOpenKeyExA(HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key)
{
    LONG result = RegOpenKeyExA(root, name, options, access, key);
    if (result == ERROR_SUCCESS)
        Opened(HandleKind::Key, *key, "RegOpenKeyExA");
    return result;
}

LONG WINAPI LedgerRegOpenKeyA(HKEY root, LPCSTR name, PHKEY key)
{
    LONG result = RegOpenKeyA(root, name, key);
    if (result == ERROR_SUCCESS)
        Opened(HandleKind::Key, *key, "RegOpenKeyA");
    return result;
}

LONG WINAPI LedgerRegCreateKeyExA(HKEY root, LPCSTR name, DWORD reserved, LPSTR className, DWORD options,
                                  REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    LONG result = RegCreateKeyExA(root, name, reserved, className, options, access, security, key, disposition);
    if (result == ERROR_SUCCESS)
        Opened(HandleKind::Key, *key, "RegCreateKeyExA");
    return result;
}

LONG WINAPI LedgerRegCreateKeyA(HKEY root, LPCSTR name, PHKEY key)
{
    LONG result = RegCreateKeyA(root, name, key);
    if (result == ERROR_SUCCESS)
        Opened(HandleKind::Key, *key, "RegCreateKeyA");
    return result;
}

LONG WINAPI LedgerRegCloseKey(HKEY key)
{
    LONG result = RegCloseKey(key);
    if (result == ERROR_SUCCESS)
        Closed(HandleKind::Key, key);
    return result;
}

HGLOBAL WINAPI LedgerGlobalAlloc(UINT flags, SIZE_T size)
{
    HGLOBAL memory = GlobalAlloc(flags, size);
    Opened(HandleKind::Memory, memory, "GlobalAlloc");
    return memory;
}

HGLOBAL WINAPI LedgerGlobalFree(HGLOBAL memory)
{
    HGLOBAL result = GlobalFree(memory);
    if (!result && memory)
        Closed(HandleKind::Memory, memory);
    return result;
}

const ImportReplacement kReplacements[] = {
    {"kernel32.dll", "CreateFileA", reinterpret_cast<const void*>(&LedgerCreateFileA)},
    {"kernel32.dll", "CloseHandle", reinterpret_cast<const void*>(&LedgerCloseHandle)},
    {"kernel32.dll", "LoadLibraryA", reinterpret_cast<const void*>(&LedgerLoadLibraryA)},
    {"kernel32.dll", "LoadLibraryExA", reinterpret_cast<const void*>(&LedgerLoadLibraryExA)},
    {"kernel32.dll", "FreeLibrary", reinterpret_cast<const void*>(&LedgerFreeLibrary)},
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<const void*>(&LedgerGlobalAlloc)},
    {"kernel32.dll", "GlobalFree", reinterpret_cast<const void*>(&LedgerGlobalFree)},
    {"advapi32.dll", "RegOpenKeyExA", reinterpret_cast<const void*>(&LedgerRegOpenKeyExA)},
    {"advapi32.dll", "RegOpenKeyA", reinterpret_cast<const void*>(&LedgerRegOpenKeyA)},
    {"advapi32.dll", "RegCreateKeyExA", reinterpret_cast<const void*>(&LedgerRegCreateKeyExA)},
    {"advapi32.dll", "RegCreateKeyA", reinterpret_cast<const void*>(&LedgerRegCreateKeyA)},
    {"advapi32.dll", "RegCloseKey", reinterpret_cast<const void*>(&LedgerRegCloseKey)},
};

const char* KindName(HandleKind kind)
{
    switch (kind) {
    case HandleKind::File: return "file";
    case HandleKind::Module: return "module";
    case HandleKind::Key: return "key";
    case HandleKind::Memory: return "memory";
    }
    return "?";
}

}  // namespace

HandleLedger::HandleLedger(const std::vector<HMODULE>& modules)
{
    current_ = this;
    for (HMODULE module : modules) {
        for (const ImportReplacement& r : kReplacements) {
            std::unique_ptr<ImportPatch> patch(new ImportPatch(module, r.dll, r.function, r.replacement));
            if (patch->Applied())
                patches_.push_back(std::move(patch));
        }
    }
}

HandleLedger::~HandleLedger()
{
    patches_.clear();
    current_ = nullptr;
}

void HandleLedger::Open(HandleKind kind, const void* handle, const char* opener)
{
    live_[{kind, handle}].push_back(opener);
    ++opened_[kind];
}

void HandleLedger::Close(HandleKind kind, const void* handle)
{
    auto found = live_.find({kind, handle});
    if (found == live_.end())
        return;  // opened before the ledger, or by someone else
    found->second.pop_back();
    if (found->second.empty())
        live_.erase(found);
}

size_t HandleLedger::Live(HandleKind kind) const
{
    size_t count = 0;
    for (const auto& entry : live_)
        if (entry.first.first == kind)
            count += entry.second.size();
    return count;
}

size_t HandleLedger::LiveTotal() const
{
    size_t count = 0;
    for (const auto& entry : live_)
        count += entry.second.size();
    return count;
}

size_t HandleLedger::Opened(HandleKind kind) const
{
    auto found = opened_.find(kind);
    return found == opened_.end() ? 0 : found->second;
}

std::string HandleLedger::Describe() const
{
    std::string text;
    for (const auto& entry : live_) {
        for (const char* opener : entry.second) {
            char line[128];
            snprintf(line, sizeof line, "%s %p from %s\n", KindName(entry.first.first), entry.first.second, opener);
            text += line;
        }
    }
    return text;
}
