// HandleLedger: replacements for the opening and closing functions at a module's
// import table.
#include "handle_ledger.h"
#include <iterator>

HandleLedger* HandleLedger::current_ = nullptr;

namespace {

bool Fails(const char* function)
{
    return HandleLedger::Current() && HandleLedger::Current()->Intercept(function);
}

// Each kind is a family of its own: a key and a file may share a value.
void Made(const void* handle, HandleKind kind, const char* opener)
{
    if (HandleLedger::Current() && handle)
        HandleLedger::Current()->Record(static_cast<int>(kind), handle, static_cast<int>(kind), opener);
}

// Closes of handles opened before the ledger, or by someone else, are passed over.
void Closed(HandleKind kind, const void* handle)
{
    if (HandleLedger::Current())
        HandleLedger::Current()->Forget(static_cast<int>(kind), handle);
}

HANDLE WINAPI HookCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model)
{
    HANDLE file = CreateFileA(name, access, share, security, disposition, flags, model);
    if (file != INVALID_HANDLE_VALUE)
        Made(file, HandleKind::File, "CreateFileA");
    return file;
}

BOOL WINAPI HookCloseHandle(HANDLE handle)
{
    BOOL closed = CloseHandle(handle);
    if (closed)
        Closed(HandleKind::File, handle);
    return closed;
}

LEDGER_MAKER(HMODULE, LoadLibraryA, HandleKind::Module, (LPCSTR name), (name))
LEDGER_MAKER(HMODULE, LoadLibraryExA, HandleKind::Module, (LPCSTR name, HANDLE file, DWORD flags), (name, file, flags))

BOOL WINAPI HookFreeLibrary(HMODULE module)
{
    BOOL freed = FreeLibrary(module);
    if (freed)
        Closed(HandleKind::Module, module);
    return freed;
}

// A replacement named Hook<function> for a registry function that opens *key.
#define KEY_OPENER(function, parameters, arguments)    \
    LONG WINAPI Hook##function parameters              \
    {                                                  \
        LONG result = function arguments;              \
        if (result == ERROR_SUCCESS)                   \
            Made(*key, HandleKind::Key, #function);    \
        return result;                                 \
    }

KEY_OPENER(RegOpenKeyExA, (HKEY root, LPCSTR name, DWORD options, REGSAM access, PHKEY key),
           (root, name, options, access, key))
KEY_OPENER(RegOpenKeyA, (HKEY root, LPCSTR name, PHKEY key), (root, name, key))
KEY_OPENER(RegCreateKeyExA,
           (HKEY root, LPCSTR name, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
            LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition),
           (root, name, reserved, className, options, access, security, key, disposition))
KEY_OPENER(RegCreateKeyA, (HKEY root, LPCSTR name, PHKEY key), (root, name, key))

LONG WINAPI HookRegCloseKey(HKEY key)
{
    LONG result = RegCloseKey(key);
    if (result == ERROR_SUCCESS)
        Closed(HandleKind::Key, key);
    return result;
}

LEDGER_MAKER(HGLOBAL, GlobalAlloc, HandleKind::Memory, (UINT flags, SIZE_T size), (flags, size))

HGLOBAL WINAPI HookGlobalFree(HGLOBAL memory)
{
    HGLOBAL result = GlobalFree(memory);
    if (!result && memory)
        Closed(HandleKind::Memory, memory);
    return result;
}

const ImportReplacement kReplacements[] = {
    LEDGER_ROW("kernel32.dll", CreateFileA),     LEDGER_ROW("kernel32.dll", CloseHandle),
    LEDGER_ROW("kernel32.dll", LoadLibraryA),    LEDGER_ROW("kernel32.dll", LoadLibraryExA),
    LEDGER_ROW("kernel32.dll", FreeLibrary),     LEDGER_ROW("kernel32.dll", GlobalAlloc),
    LEDGER_ROW("kernel32.dll", GlobalFree),      LEDGER_ROW("advapi32.dll", RegOpenKeyExA),
    LEDGER_ROW("advapi32.dll", RegOpenKeyA),     LEDGER_ROW("advapi32.dll", RegCreateKeyExA),
    LEDGER_ROW("advapi32.dll", RegCreateKeyA),   LEDGER_ROW("advapi32.dll", RegCloseKey),
};

const char* NameOfKind(int kind)
{
    switch (static_cast<HandleKind>(kind)) {
    case HandleKind::File: return "file";
    case HandleKind::Module: return "module";
    case HandleKind::Key: return "key";
    case HandleKind::Memory: return "memory";
    }
    return "?";
}

}  // namespace

HandleLedger::HandleLedger(const std::vector<HMODULE>& modules)
    : Ledger(modules, kReplacements, std::size(kReplacements), NameOfKind)
{
    current_ = this;
}

HandleLedger::~HandleLedger()
{
    if (current_ == this)
        current_ = nullptr;
}
