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
#include "ledger.h"
#include <windows.h>

enum class HandleKind { File, Module, Key, Memory };

// The core's LiveTotal, Describe and Calls apply to the functions above, FailNext to
// those that return their handle (LoadLibraryA, LoadLibraryExA, GlobalAlloc: null).
class HandleLedger : public Ledger {
public:
    explicit HandleLedger(const std::vector<HMODULE>& modules);
    ~HandleLedger();

    // Handles of a kind opened through the modules and not yet closed.
    size_t Live(HandleKind kind) const { return Ledger::Live(static_cast<int>(kind)); }
    // Successful opens of a kind since the ledger was made.
    size_t Opened(HandleKind kind) const { return Created(static_cast<int>(kind)); }

    static HandleLedger* Current() { return current_; }

private:
    static HandleLedger* current_;
};
