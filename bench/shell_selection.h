// The selection as Explorer hands it to a property-sheet extension: the data
// object of the shell's own folder for the items of one folder.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <string>
#include <vector>

struct ShellSelection {
    IDataObject* data = nullptr;  // one reference, the caller's; null on failure
    std::string source;           // which object answered, for the report
};

// A data object for every item of folder, whose CF_HDROP list must be expected
// (in any order). The desktop folder's GetUIObjectOf is tried with the items'
// absolute identifiers first, then the folder's own GetUIObjectOf (bound through
// the desktop) with their relative ones; the first whose drop list names exactly
// the expected files is used. Without one, the suite's own CF_HDROP data object.
ShellSelection SelectFolderItems(const std::string& folder, const std::vector<std::string>& expected);

// The names of a data object's CF_HDROP list; empty when it offers none.
std::vector<std::string> DropListNames(IDataObject* data);
