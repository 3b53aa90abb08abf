// A private copy of PINDREL.DLL in a temporary directory, loaded for one test, so
// that its settings file KELVARA.INI (beside the module) belongs to that test alone.
#pragma once
#include "deliverables.h"
#include "sheet_host.h"
#include "temp_files.h"
#include <memory>
#include <shlobj.h>
#include <string>
#include <vector>

// A new extension object of pindrel initialised with the paths as Explorer does (E_*
// of Initialize kept in initResult); null when it cannot be created. Wide paths come
// as a wide drop list, as the NT family's shell hands them over.
template <typename Path>
IShellExtInit* NewExtension(HMODULE pindrel, const std::vector<Path>& paths, HRESULT* initResult = nullptr);

class PindrelCopy {
public:
    // dirName: the copy's directory inside a new temporary directory ("" = the
    // temporary directory itself).
    explicit PindrelCopy(const std::string& dirName = "");
    // The copy's directory name padded so that the copy's path has pathLength characters.
    explicit PindrelCopy(size_t pathLength);
    ~PindrelCopy();

    HMODULE Module() const { return library_ ? library_->Get() : nullptr; }
    const TempDir& Temp() const { return temp_; }
    std::string Dir() const { return dir_; }
    std::string Path() const { return dir_ + "\\PINDREL.DLL"; }
    std::string IniPath() const { return dir_ + "\\KELVARA.INI"; }

    // Writes the flags word for section (the user's logon name as the process sees it);
    // false when the file cannot be written.
    bool WriteFlags(unsigned flags, const std::string& section = "") const;
    // The user's flags word, missing when the file holds none.
    unsigned ReadFlags(unsigned missing) const;

    IShellExtInit* NewExtension(const std::vector<std::string>& paths, HRESULT* initResult = nullptr) const
    {
        return ::NewExtension<std::string>(Module(), paths, initResult);
    }

    HRESULT CanUnloadNow() const;

private:
    void Load(const std::string& dir);
    TempDir temp_;
    std::string dir_;
    std::unique_ptr<LoadedLibrary> library_;
};

// The user's logon name as GetUserNameA gives it.
std::string LogonName();

// Adds the extension's pages to a collector and shows them in a sheet; returns the
// tab captions ({} when no sheet could be shown because no page was added).
std::vector<std::string> ShowPages(IShellExtInit* extension, SheetHost& sheet, HRESULT* addResult = nullptr);
