// PropSheetExtension: the object Explorer creates for a Properties dialog; it picks
// the Touch, Icons and Bitmaps pages and holds what they show.
#pragma once
#include <windows.h>
#include <shlobj.h>

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
    // The selected file loaded as a data file, when first needed, and held until
    // ReleaseModule; null when it cannot be loaded or several files are selected,
    // which is not tried again for this selection.
    HMODULE LoadModule();
    // The module held now, without loading it; null when none is.
    HMODULE LoadedModule() const { return module_; }
    bool ModuleUnavailable() const { return moduleUnavailable_; }
    // Lets a loaded module go, so that the next LoadModule loads it again; an
    // unavailable one stays unavailable.
    void ReleaseModule();
    // PSPCB_RELEASE of one of the object's pages: gives back the page's reference.
    void PageReleased();
    // The path of the index-th selected file and its length; 0 when the selection
    // cannot be read or the name has no exact path of the code page, a file that
    // the pages pass over.
    UINT GetSelectedFile(UINT index, char* buffer, UINT size);
    // A loop over the whole selection reads the drop list once: the shell renders
    // it afresh for every GetData (Wine's folders the whole list each time) and
    // DragQueryFileA counts its way through the list to the index, so one GetData
    // and one count per index would make the loop quadratic. Between the two calls
    // GetSelectedFile answers from a copy of the list read by BeginSelectionWalk,
    // starting DragQueryFileA at the name that follows the one asked before (or,
    // when that read failed, reads the selection as usual). Calls may nest.
    void BeginSelectionWalk();
    void EndSelectionWalk();

    LONG refCount;
    IDataObject* dataObject;
    char filePath[MAX_PATH];
    char* fileName;
    char* fileExtension;
    LONG fileCount;
    HICON fileIcon;

private:
    HMODULE module_;
    bool moduleUnavailable_;

    // The current walk: walkDepth 0 when there is none; walkList a private copy of
    // its drop list (null when it could not be read) of walkSize bytes whose first
    // name starts at walkStart, and the offset of the name of index walkIndex.
    LONG walkDepth;
    HGLOBAL walkList;
    SIZE_T walkSize;
    SIZE_T walkStart;
    UINT walkIndex;
    SIZE_T walkOffset;

    // Pages of the object that exist, and the icons of earlier selections that
    // their windows may still show, destroyed once no page is left.
    struct RetiredIcon {
        HICON icon;
        RetiredIcon* next;
    };
    LONG pageCount;
    RetiredIcon* retiredIcons;

    BOOL ProbeSelection();
    void ReplaceFileIcon(HICON icon);
    void DestroyRetiredIcons();
    bool HasIcons();
    // The file to load or inspect: filePath, or a shortcut's target; false when a
    // shortcut cannot be resolved.
    bool GetTargetPath(char* buffer, int size);
    UINT QueryWalkFile(UINT index, char* buffer, UINT size);
    BOOL AddPage(UINT dialogId, DLGPROC dialogProc, LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam);
};

// One walk over the selection, ended when it goes out of scope.
class SelectionWalk {
public:
    explicit SelectionWalk(PropSheetExtension* object) : object_(object) { object_->BeginSelectionWalk(); }
    ~SelectionWalk() { object_->EndSelectionWalk(); }
    SelectionWalk(const SelectionWalk&) = delete;
    SelectionWalk& operator=(const SelectionWalk&) = delete;
private:
    PropSheetExtension* object_;
};

// Resolves the shortcut linkPath into buffer (short 8.3 form).
HRESULT ResolveShortcut(const char* linkPath, char* buffer, int size);
