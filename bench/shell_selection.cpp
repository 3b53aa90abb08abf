// Data objects from the shell's folders, checked against the files they should name.
#include "shell_selection.h"
#include "drop_data_object.h"
#include <shlobj.h>
#include <shellapi.h>
#include <algorithm>
#include <cstdio>

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    for (std::string& name : names)
        CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    std::sort(names.begin(), names.end());
    return names;
}

bool Names(IDataObject* data, const std::vector<std::string>& expected, const char* source)
{
    std::vector<std::string> names = DropListNames(data);
    if (Sorted(names) == Sorted(expected))
        return true;
    printf("  note: %s gives a drop list of %u names", source, static_cast<unsigned>(names.size()));
    if (!names.empty())
        printf(" (first \"%s\")", names[0].c_str());
    printf(", not the %u files of the folder\n", static_cast<unsigned>(expected.size()));
    return false;
}

// Child identifiers of every item of folder, relative to it.
std::vector<LPITEMIDLIST> ChildItems(IShellFolder* folder)
{
    std::vector<LPITEMIDLIST> items;
    IEnumIDList* list = nullptr;
    if (folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &list) != S_OK || !list)
        return items;
    LPITEMIDLIST item = nullptr;
    while (list->Next(1, &item, nullptr) == S_OK)
        items.push_back(item);
    list->Release();
    return items;
}

void FreeItems(std::vector<LPITEMIDLIST>& items)
{
    for (LPITEMIDLIST item : items)
        CoTaskMemFree(item);
    items.clear();
}

}  // namespace

std::vector<std::string> DropListNames(IDataObject* data)
{
    std::vector<std::string> names;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return names;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char name[MAX_PATH] = "";
        DragQueryFileA(drop, i, name, sizeof name);
        names.push_back(name);
    }
    ReleaseStgMedium(&medium);
    return names;
}

ShellSelection SelectFolderItems(const std::string& folder, const std::vector<std::string>& expected)
{
    ShellSelection selection;
    IShellFolder* desktop = nullptr;
    LPITEMIDLIST folderItem = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &folderItem, nullptr))) {
        IShellFolder* parent = nullptr;
        if (SUCCEEDED(desktop->BindToObject(folderItem, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&parent)))) {
            std::vector<LPITEMIDLIST> children = ChildItems(parent);
            // The desktop asked for absolute identifiers, as for a search result.
            std::vector<LPITEMIDLIST> absolute;
            for (LPITEMIDLIST child : children)
                absolute.push_back(ILCombine(folderItem, child));
            IDataObject* data = nullptr;
            if (!absolute.empty() &&
                SUCCEEDED(desktop->GetUIObjectOf(nullptr, static_cast<UINT>(absolute.size()),
                                                 const_cast<LPCITEMIDLIST*>(absolute.data()), IID_IDataObject,
                                                 nullptr, reinterpret_cast<void**>(&data))) && data) {
                if (Names(data, expected, "the desktop folder's GetUIObjectOf (absolute items)")) {
                    selection.data = data;
                    selection.source = "desktop IShellFolder::GetUIObjectOf, absolute items";
                } else {
                    data->Release();
                }
            }
            for (LPITEMIDLIST item : absolute)
                ILFree(item);
            data = nullptr;
            if (!selection.data && !children.empty() &&
                SUCCEEDED(parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                                const_cast<LPCITEMIDLIST*>(children.data()), IID_IDataObject,
                                                nullptr, reinterpret_cast<void**>(&data))) && data) {
                if (Names(data, expected, "the folder's GetUIObjectOf (bound through the desktop)")) {
                    selection.data = data;
                    selection.source = "folder IShellFolder (from the desktop's BindToObject)::GetUIObjectOf";
                } else {
                    data->Release();
                }
            }
            FreeItems(children);
            parent->Release();
        }
        CoTaskMemFree(folderItem);
    }
    if (desktop)
        desktop->Release();
    if (!selection.data) {
        selection.data = CreateDropDataObject(expected);
        selection.source = "the suite's own CF_HDROP data object (the shell gave none)";
    }
    return selection;
}
