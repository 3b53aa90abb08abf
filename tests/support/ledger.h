// The core of the ledgers of handles that loaded modules make and let go (GdiLedger,
// HandleLedger): replacement functions installed at the modules' import tables, the
// live handles with the function that made each, counts per kind, and calls made to
// fail on request. A layer names its kinds and its functions; kinds are its enum's
// values as numbers.
#pragma once
#include "import_patch.h"
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Ledger {
public:
    using KindName = const char* (*)(int kind);
    // Patches every module after every row of table (rows that a module does not
    // import are passed over); the patches go when the ledger goes.
    Ledger(const std::vector<HMODULE>& modules, const ImportReplacement* table, size_t rows, KindName kindName);
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;

    // Handles of a kind made through the modules and not yet released.
    size_t Live(int kind) const;
    size_t LiveTotal() const;
    // Successful makes of a kind since the ledger was made (or its counts reset).
    size_t Created(int kind) const;
    // One line per live handle (kind, value, making function), for failure messages.
    std::string Describe() const;

    // Whether a module imports function, so that the ledger sees its calls.
    bool Patched(const char* function) const;
    // Calls of function through the modules since the ledger was made.
    int Calls(const char* function) const;
    // The next count calls of function fail without reaching the system.
    void FailNext(const char* function, int count = 1);
    // Sets the made and call counts back to zero; live handles stay live.
    void ResetCounts();

    // Used by the replacement functions. Counts a call of function; true when the
    // call is to fail.
    bool Intercept(const char* function);
    // handle was made as kind by creator. Handles of different families are numbered
    // apart and may share values. A handle made again while it is live (a module
    // loaded twice) lives once more.
    void Record(int family, const void* handle, int kind, const char* creator);
    // Ends the latest life of handle: the kind it was made as, or -1 when the ledger
    // never saw it made (made before the ledger, shared, or released twice).
    int Forget(int family, const void* handle);

private:
    struct Life {
        int kind;
        const char* creator;
    };
    std::vector<std::unique_ptr<ImportPatch>> patches_;
    std::vector<std::string> patched_;
    std::map<std::pair<int, const void*>, std::vector<Life>> live_;
    std::map<int, size_t> created_;
    std::map<std::string, int> calls_;
    std::map<std::string, int> failures_;
    KindName kindName_;
};

// A replacement function named Hook<function> for a function that returns the handle
// it made (null on failure): it fails when told to, else calls the system's function
// and records what it made. The ledger's file defines Fails(function) and
// Made(handle, kind, creator) before using it.
#define LEDGER_MAKER(type, function, kind, parameters, arguments) \
    type WINAPI Hook##function parameters                         \
    {                                                             \
        if (Fails(#function))                                     \
            return nullptr;                                       \
        type handle = function arguments;                         \
        Made(handle, kind, #function);                            \
        return handle;                                            \
    }

// A row of a ledger's table: the module's import of function goes to Hook<function>.
#define LEDGER_ROW(dll, function) {dll, #function, reinterpret_cast<const void*>(&Hook##function)}
