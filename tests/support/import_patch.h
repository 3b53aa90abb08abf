// Replaces a function that a loaded module imports, by rewriting the module's
// import address table; the original is put back when the patch goes away.
#pragma once
#include <windows.h>

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
