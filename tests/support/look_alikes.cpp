// Look-alike files and the watch on a module's wide names.
#include "look_alikes.h"
#include "deliverables.h"
#include "text.h"

namespace {

ShortNames shortNames;
std::vector<std::string> opened;

DWORD WINAPI UnchangedShortName(const WCHAR* name, WCHAR* shortName, DWORD size)
{
    return lstrlenW(name) < static_cast<int>(size) ? lstrlenW(lstrcpyW(shortName, name)) : lstrlenW(name) + 1;
}

FARPROC WINAPI AnswerProcAddress(HMODULE module, const char* name)
{
    bool shortPathName = HIWORD(name) && lstrcmpA(name, "GetShortPathNameW") == 0;
    if (shortPathName && shortNames == ShortNames::Unchanged)
        return reinterpret_cast<FARPROC>(&UnchangedShortName);
    return shortPathName && shortNames == ShortNames::NotFound ? nullptr : GetProcAddress(module, name);
}

DWORD WINAPI AnswerVersion()
{
    return shortNames == ShortNames::Windows98 ? kWindows98 : GetVersion();
}

HANDLE WINAPI RecordCreateFile(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                               DWORD disposition, DWORD flags, HANDLE templateFile)
{
    opened.push_back(path);
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
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

WideNameWatch::WideNameWatch(HMODULE module, ShortNames answer) : answer_(answer)
{
    shortNames = answer;
    opened.clear();
    const ImportReplacement table[] = {
        {"kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&AnswerProcAddress)},
        {"kernel32.dll", "CreateFileA", reinterpret_cast<const void*>(&RecordCreateFile)},
        {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&AnswerVersion)},
    };
    PatchImports(module, table, patches_);
}

bool WideNameWatch::Opened(const std::string& path) const
{
    for (const std::string& each : opened) {
        if (lstrcmpiA(each.c_str(), path.c_str()) == 0)
            return true;
    }
    return false;
}
