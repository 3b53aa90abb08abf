// Where the built files are, and loading them the way their hosts do.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <string>

// build/dist and the test fixtures, as Windows paths.
std::string DistPath(const std::string& name);
std::string FixturePath(const std::string& name);

// A library loaded for one test and freed again.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    ~LoadedLibrary() { if (module_) FreeLibrary(module_); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    HMODULE Get() const { return module_; }
    template <typename F> F Export(const char* name) const
    {
        return reinterpret_cast<F>(GetProcAddress(module_, name));
    }
private:
    HMODULE module_;
};

// What GetVersion answers on Windows 98 (the high bit set), Windows XP and Windows 7.
const DWORD kWindows98 = 0xC0000A04;
const DWORD kWindowsXp = 0x0A280105;
const DWORD kWindows7 = 0x1DB10106;

// The class identifiers the INF files register.
extern const CLSID kPindrelClassId;
extern const CLSID kQuorbinClassId;

// Creates the component object of module through its class factory, as Explorer
// does; E_* from DllGetClassObject or CreateInstance.
HRESULT CreateComponent(HMODULE module, const CLSID& classId, REFIID riid, void** ppv);

// The system directory, without a trailing backslash.
std::string SystemDirectory();

// Is a module of this file name loaded in the process?
bool IsModuleLoaded(const std::string& path);
