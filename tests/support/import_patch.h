// Replaces a function that a loaded module imports, by rewriting the module's
// import address table; the original is put back when the patch goes away.
#pragma once
#include <windows.h>
#include <memory>
#include <vector>

class ImportPatch {
public:
    // importedDll is matched without regard to case ("user32.dll").
    ImportPatch(HMODULE module, const char* importedDll, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // False when the module does not import the function.
    bool Applied() const { return slot_ != nullptr; }
    // The function the module called before the patch.
    template <typename F> F Original() const { return reinterpret_cast<F>(original_); }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The import slot of function in module, or null.
void** FindImportSlot(HMODULE module, const char* importedDll, const char* function);

// One row of a table of patches: module's import of function from dll goes to
// replacement.
struct ImportReplacement {
    const char* dll;
    const char* function;
    const void* replacement;
};

// Patches module after every row of table (count rows) into patches, those that
// the module does not import included.
void PatchImports(HMODULE module, const ImportReplacement* table, size_t count,
                  std::vector<std::unique_ptr<ImportPatch>>& patches);
template <size_t N>
void PatchImports(HMODULE module, const ImportReplacement (&table)[N], std::vector<std::unique_ptr<ImportPatch>>& patches)
{
    PatchImports(module, table, N, patches);
}

// The module's GetVersion answers version while the patch lives (one at a time).
class VersionPatch {
public:
    VersionPatch(HMODULE module, DWORD version);
    bool Applied() const { return patch_.Applied(); }
private:
    static DWORD WINAPI Answer();
    static DWORD version_;
    ImportPatch patch_;
};
