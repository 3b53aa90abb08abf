// HandleLedger: the kernel and registry handles that loaded modules open and close,
// recorded at their import tables (Wine's GetProcessHandleCount answers 0, so a leak
// is found by counting calls instead).
//
// Tracked (successful calls only): files (CreateFileA, closed by CloseHandle),
// modules (LoadLibraryA, LoadLibraryExA; FreeLibrary), registry keys (RegOpenKeyExA,
// RegCreateKeyExA, RegOpenKeyA, RegCreateKeyA; RegCloseKey) and global memory
// (GlobalAlloc; GlobalFree). Keys opened on predefined roots count like any other.
// A module that returns a handle it already held (LoadLibrary of a loaded module)
// is counted once per successful call, as its reference count is.
//
// Use: make the ledger after loading the modules and before anything of them runs;
// one ledger at a time in a process; calls are expected on the test's thread.
#pragma once
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class HandleKind { File, Module, Key, Memory };

class HandleLedger {
public:
    explicit HandleLedger(const std::vector<HMODULE>& modules);
    ~HandleLedger();
    HandleLedger(const HandleLedger&) = delete;
    HandleLedger& operator=(const HandleLedger&) = delete;

    // Handles of a kind opened through the modules and not yet closed.
    size_t Live(HandleKind kind) const;
    size_t LiveTotal() const;
    // Successful opens of a kind since the ledger was made.
    size_t Opened(HandleKind kind) const;
    // One line per live handle, for failure messages.
    std::string Describe() const;

    static HandleLedger* Current() { return current_; }
    void Open(HandleKind kind, const void* handle, const char* opener);
    void Close(HandleKind kind, const void* handle);

private:
    static HandleLedger* current_;
    std::vector<std::unique_ptr<class ImportPatch>> patches_;
    // Module handles may be opened several times: each open is one count.
    std::map<std::pair<HandleKind, const void*>, std::vector<const char*>> live_;
    std::map<HandleKind, size_t> opened_;
};
