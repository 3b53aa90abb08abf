// Files whose names the ANSI code page cannot spell, each beside the file whose name
// the system's conversion makes of it ("Māori" and "Maori" under 1252, "résumé" and
// "resume" under 932), and a watch on what a module makes of them.
#pragma once
#include "import_patch.h"
#include "temp_files.h"

struct LookAlikes {
    std::wstring chosen;  // the wide path of the file the user chose
    std::string path;     // its path in the code page: its own text (UTF-8) or its short name
    std::string twin;     // the look-alike's path
};
// The chosen file (name + extension) with contents in dir, the look-alike with twinContents.
LookAlikes WriteLookAlikes(const TempDir& dir, const std::string& extension, const std::string& contents,
                           const std::string& twinContents);

// How a module's run-time lookup of GetShortPathNameW is answered. Unchanged: a drive
// that makes no short names gives the long name back; Windows98: GetVersion answers
// the 95 family.
enum class ShortNames { Real, NotFound, Unchanged, Windows98 };
const ShortNames kShortNames[] = {ShortNames::Real, ShortNames::NotFound, ShortNames::Unchanged,
                                  ShortNames::Windows98};

// Answers the module's lookup as told and records the paths it gives CreateFileA.
class WideNameWatch {
public:
    WideNameWatch(HMODULE module, ShortNames answer);
    bool Applied() const { return patches_[0]->Applied() && patches_[1]->Applied(); }
    // Is the chosen file to be found: its name spelled (UTF-8), or its short name at hand?
    bool Finds() const { return answer_ == ShortNames::Real || GetACP() == CP_UTF8; }
    bool Opened(const std::string& path) const;  // without regard to case

private:
    ShortNames answer_;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};
