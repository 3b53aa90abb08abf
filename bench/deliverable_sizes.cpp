// The size of each shipped file and the functions it imports, read from the PE
// import table of the file itself.
#include "bench.h"
#include "deliverables.h"
#include "temp_files.h"
#include <cstdio>
#include <map>

namespace {

struct Imports {
    bool valid = false;
    std::map<std::string, int> perLibrary;
    int total = 0;
};

// File offset of a relative virtual address, or -1.
long long FileOffset(const std::string& image, const IMAGE_NT_HEADERS32* nt, DWORD rva)
{
    auto* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        DWORD size = section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData;
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) {
            long long offset = static_cast<long long>(rva - section->VirtualAddress) + section->PointerToRawData;
            return offset < static_cast<long long>(image.size()) ? offset : -1;
        }
    }
    return -1;
}

Imports ReadImports(const std::string& image)
{
    Imports imports;
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return imports;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
        static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) > image.size())
        return imports;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return imports;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    imports.valid = true;
    if (!directory.VirtualAddress)
        return imports;
    long long at = FileOffset(image, nt, directory.VirtualAddress);
    for (; at >= 0 && at + static_cast<long long>(sizeof(IMAGE_IMPORT_DESCRIPTOR)) <= static_cast<long long>(image.size());
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (!descriptor->Name)
            break;
        long long name = FileOffset(image, nt, descriptor->Name);
        std::string library = name >= 0 ? std::string(image.c_str() + name) : "?";
        CharLowerBuffA(&library[0], static_cast<DWORD>(library.size()));
        DWORD thunks = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        long long thunk = FileOffset(image, nt, thunks);
        int count = 0;
        while (thunk >= 0 && thunk + 4 <= static_cast<long long>(image.size()) &&
               *reinterpret_cast<const DWORD*>(image.data() + thunk) != 0) {
            ++count;
            thunk += 4;
        }
        imports.perLibrary[library] += count;
        imports.total += count;
    }
    return imports;
}

}  // namespace

bool RunDeliverableSizes()
{
    struct Target {
        const char* file;
        long long limit;  // bytes
    } targets[] = {
        {"PINDREL.DLL", 64 * 1024},
        {"QUORBIN.DLL", 32 * 1024},
        {"KELVARA.CPL", 48 * 1024},
        {"SETUP.EXE", 32 * 1024},
    };
    printf("\n(4) Deliverables in build/dist: size and imported functions\n");
    printf("  %-12s %10s %10s %8s  %-8s %s\n", "file", "bytes", "limit", "imports", "", "per library");
    bool all = true;
    for (const Target& target : targets) {
        std::string image = ReadWholeFile(DistPath(target.file));
        if (image.empty()) {
            printf("  %-12s missing\n", target.file);
            ++targetsMissed;
            all = false;
            continue;
        }
        Imports imports = ReadImports(image);
        std::string libraries;
        for (const auto& library : imports.perLibrary)
            libraries += library.first + " " + std::to_string(library.second) + ", ";
        if (!libraries.empty())
            libraries.resize(libraries.size() - 2);
        bool met = static_cast<long long>(image.size()) <= target.limit;
        ++(met ? targetsMet : targetsMissed);
        printf("  %-12s %10u %10lld %8d  %-8s %s\n", target.file, static_cast<unsigned>(image.size()), target.limit,
               imports.total, met ? "met" : "MISSED", imports.valid ? libraries.c_str() : "(no PE import table)");
    }
    fflush(stdout);
    return all;
}
