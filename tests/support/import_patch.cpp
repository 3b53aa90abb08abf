// Import address table patching.
#include "import_patch.h"

namespace {

void WriteSlot(void** slot, void* value)
{
    DWORD oldProtect = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtect);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, oldProtect, &oldProtect);
}

}  // namespace

void** FindImportSlot(HMODULE module, const char* importedDll, const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), importedDll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

ImportPatch::ImportPatch(HMODULE module, const char* importedDll, const char* function, const void* replacement)
{
    slot_ = module ? FindImportSlot(module, importedDll, function) : nullptr;
    if (slot_) {
        original_ = *slot_;
        WriteSlot(slot_, const_cast<void*>(replacement));
    }
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        WriteSlot(slot_, original_);
}

void PatchImports(HMODULE module, const ImportReplacement* table, size_t count,
                  std::vector<std::unique_ptr<ImportPatch>>& patches)
{
    for (size_t i = 0; i < count; ++i)
        patches.emplace_back(new ImportPatch(module, table[i].dll, table[i].function, table[i].replacement));
}

DWORD VersionPatch::version_;

VersionPatch::VersionPatch(HMODULE module, DWORD version)
    : patch_(module, "kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&Answer))
{
    version_ = version;
}

DWORD WINAPI VersionPatch::Answer()
{
    return version_;
}
