// PropSheetExtension: the object Explorer creates for a Properties dialog; it picks
// the Touch, Icons and Bitmaps pages and holds what they show.
#pragma once
#include <windows.h>
#include <shlobj.h>

// module value for "cannot be loaded, or several files are selected".
#define MODULE_UNAVAILABLE (reinterpret_cast<HMODULE>(static_cast<INT_PTR>(-1)))

class PropSheetExtension final : public IShellExtInit, public IShellPropSheetExt {
public:
    PropSheetExtension();
    ~PropSheetExtension();

    // IUnknown (both tables)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY progId) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith, LPARAM lParam) override;

    // For the pages.
    BOOL LoadModule();
    UINT GetSelectedFile(UINT index, char* buffer, UINT size);

    LONG refCount;
    IDataObject* dataObject;
    char filePath[MAX_PATH];
    char* fileName;
    char* fileExtension;
    LONG fileCount;
    HMODULE module;
    HICON fileIcon;

private:
    BOOL ProbeSelection();
    bool HasIcons();
    // The file to load or inspect: filePath, or a shortcut's target; false when a
    // shortcut cannot be resolved.
    bool GetTargetPath(char* buffer, int size);
    BOOL AddPage(UINT dialogId, DLGPROC dialogProc, LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam);
};

// Resolves the shortcut linkPath into buffer (short 8.3 form).
HRESULT ResolveShortcut(const char* linkPath, char* buffer, int size);
