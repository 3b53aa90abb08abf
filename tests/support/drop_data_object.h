// Data objects for IShellExtInit::Initialize: one that offers a CF_HDROP list of
// paths, as the shell does for a selection, and one that offers nothing.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <string>
#include <vector>

// A new object with one reference; GetData hands out a fresh drop list each call.
IDataObject* CreateDropDataObject(const std::vector<std::string>& paths);
// The same with a wide list (fWide set), as the NT family's shell hands it over.
IDataObject* CreateDropDataObject(const std::vector<std::wstring>& paths);

// A new object with one reference whose GetData always fails with DV_E_FORMATETC.
IDataObject* CreateRefusingDataObject();

// Live objects made by the two functions above, to check that every reference the
// code under test took was given back.
LONG LiveDataObjects();
