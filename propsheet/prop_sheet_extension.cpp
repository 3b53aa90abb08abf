// The property-sheet extension object: selection, probes and page creation.
#include "prop_sheet_extension.h"
#include "com_server.h"
#include "mbstring.h"
#include "module.h"
#include "pages.h"
#include "resource.h"
#include "scoped.h"
#include "settings.h"
#include "wide_names.h"
#include <shellapi.h>
#include <new>

namespace {

FORMATETC DropListFormat()
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return format;
}

// The drop list of a data object, released when it goes out of scope.
class DropList {
public:
    explicit DropList(IDataObject* dataObject)
    {
        FORMATETC format = DropListFormat();
        result_ = dataObject->GetData(&format, &medium_);
    }
    ~DropList() { if (SUCCEEDED(result_)) ReleaseStgMedium(&medium_); }
    DropList(const DropList&) = delete;
    DropList& operator=(const DropList&) = delete;
    HRESULT Result() const { return result_; }
    HDROP Get() const { return static_cast<HDROP>(medium_.hGlobal); }
private:
    STGMEDIUM medium_ = {};
    HRESULT result_;
};

// Name index of a drop list as a path of the ANSI code page, with its length; 0 when
// the list has no such name or its name (of a wide list) has no exact path. The NT
// family's shell hands over wide lists, whose names DragQueryFileA would convert
// with look-alikes: those are read wide (DragQueryFileW, looked up since the
// deliverables import no wide function) and turned into paths by PathFromWide.
UINT QueryDropFile(HDROP drop, UINT index, char* buffer, UINT size)
{
    const DROPFILES* list = static_cast<const DROPFILES*>(GlobalLock(drop));
    bool wide = list && GlobalSize(drop) >= sizeof(DROPFILES) && list->fWide;
    if (list)
        GlobalUnlock(drop);
    if (!wide)
        return DragQueryFileA(drop, index, buffer, size);
    typedef UINT(WINAPI * DragQueryFileWFunction)(HDROP, UINT, WCHAR*, UINT);
    auto dragQueryFile = reinterpret_cast<DragQueryFileWFunction>(SystemFunction("shell32.dll", "DragQueryFileW"));
    WCHAR name[MAX_PATH];
    // A name that does not fit would come back cut: the name of another file.
    if (!dragQueryFile || dragQueryFile(drop, index, nullptr, 0) >= MAX_PATH ||
        !dragQueryFile(drop, index, name, MAX_PATH))
        return 0;
    return PathFromWide(name, buffer, static_cast<int>(size)) ? lstrlenA(buffer) : 0;
}

UINT CALLBACK PageCallback(HWND, UINT message, LPPROPSHEETPAGEA page)
{
    if (message == PSPCB_RELEASE && page->lParam)
        reinterpret_cast<PropSheetExtension*>(page->lParam)->PageReleased();
    return 1;
}

}  // namespace

IUnknown* NewComponentObject()
{
    return static_cast<IShellExtInit*>(new (std::nothrow) PropSheetExtension());
}

PropSheetExtension::PropSheetExtension()
    : refCount(0), dataObject(nullptr), fileName(nullptr), fileExtension(nullptr), fileCount(0),
      fileIcon(nullptr), module_(nullptr), moduleUnavailable_(false), walkDepth(0), walkList(nullptr), walkSize(0),
      walkStart(0), walkIndex(0), walkOffset(0), pageCount(0), retiredIcons(nullptr)
{
    filePath[0] = '\0';
    InterlockedIncrement(&objectCount);
}

PropSheetExtension::~PropSheetExtension()
{
    if (walkList)
        GlobalFree(walkList);
    ReleaseModule();
    if (fileIcon)
        DestroyIcon(fileIcon);
    DestroyRetiredIcons();
    InterlockedDecrement(&objectCount);
}

STDMETHODIMP PropSheetExtension::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IShellExtInit) || IsEqualIID(riid, IID_IUnknown))
        *ppv = static_cast<IShellExtInit*>(this);
    else if (IsEqualIID(riid, IID_IShellPropSheetExt))
        *ppv = static_cast<IShellPropSheetExt*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) PropSheetExtension::AddRef()
{
    return InterlockedIncrement(&refCount);
}

STDMETHODIMP_(ULONG) PropSheetExtension::Release()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count > 0)
        return count;
    if (dataObject) {
        dataObject->Release();
        dataObject = nullptr;
    }
    delete this;
    return 0;
}

STDMETHODIMP PropSheetExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* selection, HKEY)
{
    if (dataObject) {
        dataObject->Release();
        dataObject = nullptr;
    }
    if (!selection)
        return E_FAIL;
    dataObject = selection;
    dataObject->AddRef();
    // Nothing of an earlier selection stays: AddPages goes on as on a new object.
    ReleaseModule();
    moduleUnavailable_ = false;
    fileCount = 0;
    ReplaceFileIcon(nullptr);

    DropList drop(dataObject);
    if (FAILED(drop.Result())) {
        filePath[0] = '\0';
        fileName = nullptr;
        fileExtension = nullptr;
        return drop.Result();
    }
    filePath[0] = '\0';
    QueryDropFile(drop.Get(), 0, filePath, sizeof filePath);
    fileName = FileNamePart(filePath);
    char* dot = FindLastChar(filePath, '.');
    fileExtension = dot ? dot + 1 : nullptr;
    return drop.Result();
}

BOOL PropSheetExtension::ProbeSelection()
{
    if (!dataObject)
        return FALSE;
    {
        DropList drop(dataObject);
        if (FAILED(drop.Result()))
            return FALSE;
        fileCount = DragQueryFileA(drop.Get(), 0xFFFFFFFF, nullptr, 0);
        filePath[0] = '\0';
        QueryDropFile(drop.Get(), 0, filePath, sizeof filePath);
    }
    if (fileCount > 1) {
        ReleaseModule();
        moduleUnavailable_ = true;
        ReplaceFileIcon(LoadIconA(moduleInstance, MAKEINTRESOURCEA(IDI_PINDREL)));
        return TRUE;
    }
    // A file whose name has no path of the code page gets no pages.
    SHFILEINFOA info = {};
    BOOL found = filePath[0] && SHGetFileInfoA(filePath, 0, &info, sizeof info, SHGFI_ICON) != 0;
    ReplaceFileIcon(found ? info.hIcon : nullptr);
    return found;
}

void PropSheetExtension::ReplaceFileIcon(HICON icon)
{
    if (fileIcon && fileIcon != icon) {
        RetiredIcon* retired = pageCount > 0 ? new (std::nothrow) RetiredIcon{fileIcon, retiredIcons} : nullptr;
        if (retired)
            retiredIcons = retired;
        else if (pageCount == 0)
            DestroyIcon(fileIcon);
        // else it is left to the system rather than destroyed under a page.
    }
    fileIcon = icon;
}

void PropSheetExtension::DestroyRetiredIcons()
{
    while (RetiredIcon* retired = retiredIcons) {
        retiredIcons = retired->next;
        DestroyIcon(retired->icon);
        delete retired;
    }
}

void PropSheetExtension::PageReleased()
{
    if (InterlockedDecrement(&pageCount) == 0)
        DestroyRetiredIcons();
    Release();
}

bool PropSheetExtension::GetTargetPath(char* buffer, int size)
{
    if (fileExtension && lstrcmpiA(fileExtension, "lnk") == 0) {
        buffer[0] = '\0';
        // An unresolvable shortcut has no target: no icons, nothing to load.
        return SUCCEEDED(ResolveShortcut(filePath, buffer, size)) && buffer[0];
    }
    CopyBounded(buffer, size, filePath);
    return true;
}

bool PropSheetExtension::HasIcons()
{
    char path[MAX_PATH];
    if (!GetTargetPath(path, sizeof path))
        return false;
    HICON count = ExtractIconA(moduleInstance, path, 0xFFFFFFFF);
    return count != nullptr;
}

void PropSheetExtension::ReleaseModule()
{
    if (module_) {
        FreeLibrary(module_);
        module_ = nullptr;
    }
}

HMODULE PropSheetExtension::LoadModule()
{
    if (!module_ && !moduleUnavailable_) {
        char path[MAX_PATH];
        // As a data file: no code of the selected file ever runs in the shell.
        if (GetTargetPath(path, sizeof path))
            module_ = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        moduleUnavailable_ = !module_;
    }
    return module_;
}

UINT PropSheetExtension::GetSelectedFile(UINT index, char* buffer, UINT size)
{
    if (walkList)
        return QueryWalkFile(index, buffer, size);
    if (!dataObject)
        return 0;
    DropList drop(dataObject);
    if (FAILED(drop.Result()))
        return 0;
    return QueryDropFile(drop.Get(), index, buffer, size);
}

void PropSheetExtension::BeginSelectionWalk()
{
    if (walkDepth++ > 0 || !dataObject)
        return;
    DropList drop(dataObject);
    if (FAILED(drop.Result()))
        return;
    SIZE_T size = GlobalSize(drop.Get());
    const DROPFILES* source = static_cast<const DROPFILES*>(GlobalLock(drop.Get()));
    if (source && size >= sizeof(DROPFILES) && source->pFiles >= sizeof(DROPFILES) && source->pFiles < size) {
        // Two more zero characters than the list: every scan ends inside the copy.
        walkList = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2 * sizeof(WCHAR));
        if (void* copy = walkList ? GlobalLock(walkList) : nullptr) {
            CopyMemory(copy, source, size);
            walkSize = size;
            walkIndex = 0;
            walkStart = walkOffset = source->pFiles;
            GlobalUnlock(walkList);
        } else if (walkList) {
            GlobalFree(walkList);
            walkList = nullptr;
        }
    }
    if (source)
        GlobalUnlock(drop.Get());
}

void PropSheetExtension::EndSelectionWalk()
{
    if (walkDepth == 0 || --walkDepth > 0)
        return;
    if (walkList) {
        GlobalFree(walkList);
        walkList = nullptr;
    }
}

UINT PropSheetExtension::QueryWalkFile(UINT index, char* buffer, UINT size)
{
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(walkList));
    if (!drop)
        return 0;
    const BYTE* list = reinterpret_cast<const BYTE*>(drop);
    SIZE_T unit = drop->fWide ? sizeof(WCHAR) : 1;
    auto endsHere = [&](SIZE_T at) {
        return unit == 1 ? list[at] == 0 : *reinterpret_cast<const WCHAR*>(list + at) == 0;
    };
    if (index < walkIndex) {
        walkIndex = 0;
        walkOffset = walkStart;
    }
    // Names end with a zero character; an empty name ends the list.
    while (walkIndex < index && walkOffset < walkSize && !endsHere(walkOffset)) {
        while (!endsHere(walkOffset))
            walkOffset += unit;
        walkOffset += unit;
        ++walkIndex;
    }
    bool found = walkIndex == index && walkOffset < walkSize;
    // The name is read as the first of the list as seen from that name on.
    if (found)
        drop->pFiles = static_cast<DWORD>(walkOffset);
    GlobalUnlock(walkList);
    return found ? QueryDropFile(static_cast<HDROP>(walkList), 0, buffer, size) : 0;
}

BOOL PropSheetExtension::AddPage(UINT dialogId, DLGPROC dialogProc, LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    PROPSHEETPAGEA page = {};
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    page.dwFlags = PSP_USEREFPARENT | PSP_USECALLBACK;
    page.hInstance = moduleInstance;
    page.pszTemplate = MAKEINTRESOURCEA(dialogId);
    page.pfnDlgProc = dialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = PageCallback;
    page.pcRefParent = reinterpret_cast<UINT*>(&objectCount);

    AddRef();  // the page's own reference, given back by PageCallback
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
    if (!handle) {
        Release();
        return FALSE;
    }
    InterlockedIncrement(&pageCount);
    if (!addPage(handle, lParam)) {
        DestroyPropertySheetPage(handle);
        return FALSE;
    }
    return TRUE;
}

STDMETHODIMP PropSheetExtension::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    UINT flags = ReadSetting(IDS_FLAGS_KEY, kDefaultFlags);
    if (flags == 0)
        return S_OK;
    if (!ProbeSelection())
        return E_INVALIDARG;

    // One file (or folder) gets the Touch page only when its stamps can be written.
    if (flags & kFlagTouch) {
        ScopedFile file(fileCount == 1 ? OpenForStamps(filePath, true) : nullptr);
        if (fileCount != 1 || file.Valid())
            AddPage(IDD_TOUCH_PAGE, TouchPageProc, addPage, lParam);
    }
    // A folder has stamps, but no icons or resources of its own.
    DWORD attributes = fileCount == 1 ? GetFileAttributesA(filePath) : INVALID_FILE_ATTRIBUTES;
    if (fileCount != 1 || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)))
        return S_OK;

    if ((flags & kFlagIcons) && (!(flags & kFlagIconsOnlyWithIcons) || HasIcons()))
        AddPage(IDD_ICONS_PAGE, IconsPageProc, addPage, lParam);

    HMODULE module = flags & kFlagBitmaps ? LoadModule() : nullptr;
    if (module && EnumResourceNamesA(module, RT_BITMAP, reinterpret_cast<ENUMRESNAMEPROCA>(AddBitmapName), 0))
        AddPage(IDD_BITMAPS_PAGE, BitmapsPageProc, addPage, lParam);
    return S_OK;
}

STDMETHODIMP PropSheetExtension::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM)
{
    return S_OK;
}

HRESULT ResolveShortcut(const char* linkPath, char* buffer, int size)
{
    HRESULT result = CoInitialize(nullptr);
    if (FAILED(result))
        return result;
    IShellLinkA* link = nullptr;
    result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) {
        IPersistFile* file = nullptr;
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(result)) {
            WCHAR wide[MAX_PATH];
            wide[0] = 0;
            MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH);
            result = file->Load(wide, STGM_READ);
            if (SUCCEEDED(result)) {
                result = link->Resolve(nullptr, SLR_NO_UI | (1000 << 16));
                if (SUCCEEDED(result))
                    result = link->GetPath(buffer, size, nullptr, SLGP_SHORTPATH);
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return result;
}
