// A file whose name the ANSI code page cannot spell beside the file whose name the
// system's conversion makes of it ("Māori" and "Maori" under 1252, "résumé" and
// "resume" under 932), and the answers to a module's lookup of short names.
#pragma once
#include "import_patch.h"
#include "temp_files.h"

struct LookAlikes {
    std::wstring chosen;  // the wide path of the file the user chose
    std::string path;     // its path in the code page: its own text (UTF-8) or its short name
    std::string twin;     // the look-alike's path
};
LookAlikes WriteLookAlikes(const TempDir& dir, const std::string& extension, const std::string& contents,
                           const std::string& twinContents);

// How the module's lookup of GetShortPathNameW is answered. Unchanged: the long name
// comes back, as on a drive that makes no short names; Windows98: the system's
// function, with GetVersion answering the 95 family.
enum class ShortNames { Real, NotFound, Unchanged, Windows98 };
const ShortNames kShortNames[] = {ShortNames::Real, ShortNames::NotFound, ShortNames::Unchanged,
                                  ShortNames::Windows98};

// Answers the module's lookup while it lives.
class ShortNameLookup {
public:
    ShortNameLookup(HMODULE module, ShortNames answer);
    bool Applied() const { return lookup_->Applied(); }
    // Is the chosen file to be found: its name spelled (UTF-8), or its short name at hand?
    bool Finds() const { return answer_ == ShortNames::Real || GetACP() == CP_UTF8; }
private:
    ShortNames answer_;
    std::unique_ptr<ImportPatch> lookup_;
    std::unique_ptr<VersionPatch> version_;
};
