// Look-alike files and the answers to a module's lookup of short names.
#include "look_alikes.h"
#include "deliverables.h"
#include "text.h"

namespace {

ShortNames shortNames;

DWORD WINAPI UnchangedShortName(const WCHAR* name, WCHAR* shortName, DWORD size)
{
    lstrcpynW(shortName, name, size);
    return lstrlenW(name) + (lstrlenW(name) >= static_cast<int>(size));
}

FARPROC WINAPI AnswerProcAddress(HMODULE module, const char* name)
{
    if (!HIWORD(name) || lstrcmpA(name, "GetShortPathNameW") != 0 || shortNames == ShortNames::Real ||
        shortNames == ShortNames::Windows98)
        return GetProcAddress(module, name);
    return shortNames == ShortNames::Unchanged ? reinterpret_cast<FARPROC>(&UnchangedShortName) : nullptr;
}

}  // namespace

LookAlikes WriteLookAlikes(const TempDir& dir, const std::string& extension, const std::string& contents,
                           const std::string& twinContents)
{
    const char* name = JapaneseRun() ? u8"résumé" : u8"Māori";
    LookAlikes files = {WideFromAnsi(dir.Path()) + L"\\" + Wide(name) + WideFromAnsi(extension),
                        dir / Ansi(name) + extension,
                        dir.WriteFile((JapaneseRun() ? "resume" : "Maori") + extension, twinContents)};
    HANDLE file = CreateFileW(files.chosen.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
    WCHAR shortName[MAX_PATH];
    if (GetACP() != CP_UTF8 && GetShortPathNameW(files.chosen.c_str(), shortName, MAX_PATH))
        files.path = Utf8(shortName);  // the temporary directory's path and 8.3 names are ASCII
    return files;
}

ShortNameLookup::ShortNameLookup(HMODULE module, ShortNames answer) : answer_(answer)
{
    shortNames = answer;
    lookup_.reset(new ImportPatch(module, "kernel32.dll", "GetProcAddress",
                                  reinterpret_cast<const void*>(&AnswerProcAddress)));
    if (answer == ShortNames::Windows98)
        version_.reset(new VersionPatch(module, kWindows98));
}
