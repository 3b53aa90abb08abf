// DocumentIconHandler: the icon handler of the "Quorbin" class. A Word document
// gets the icon of the class ".doc" had before installation, any other file that
// of the ".txt" class.
#include "com_server.h"
#include "compound_file.h"
#include "mbstring.h"
#include "module.h"
#include "registry.h"
#include "resource.h"
#include "scoped.h"
#include "wide_names.h"
#include <shlobj.h>
#include <new>

namespace {

// Reads a decimal number as atoi does: leading white space, an optional sign, the
// digits up to the first non-digit; 0 when there are none.
int ParseIndex(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + static_cast<unsigned>(*text - '0');
    return negative ? -static_cast<int>(value) : static_cast<int>(value);
}

class DocumentIconHandler final : public IPersistFile, public IExtractIconA {
public:
    DocumentIconHandler() : refCount(0)
    {
        filePath[0] = '\0';
        InterlockedIncrement(&objectCount);
    }
    ~DocumentIconHandler() { InterlockedDecrement(&objectCount); }

    // IUnknown (both tables)
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refCount); }
    STDMETHODIMP_(ULONG) Release() override;

    // IPersistFile
    STDMETHODIMP GetClassID(CLSID* classId) override;
    STDMETHODIMP IsDirty() override { return E_FAIL; }
    STDMETHODIMP Load(LPCOLESTR fileName, DWORD mode) override;
    STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_FAIL; }
    STDMETHODIMP SaveCompleted(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_FAIL; }

    // IExtractIconA
    STDMETHODIMP GetIconLocation(UINT flags, PSTR iconFile, UINT iconFileSize, int* index, UINT* outFlags) override;
    // The shell extracts the icon itself from the location given.
    STDMETHODIMP Extract(PCSTR, UINT, HICON*, HICON*, UINT) override { return S_FALSE; }

private:
    LONG refCount;
    char filePath[MAX_PATH];
};

STDMETHODIMP DocumentIconHandler::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersistFile))
        *ppv = static_cast<IPersistFile*>(this);
    else if (IsEqualIID(riid, IID_IExtractIconA))
        *ppv = static_cast<IExtractIconA*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) DocumentIconHandler::Release()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count > 0)
        return count;
    delete this;
    return 0;
}

STDMETHODIMP DocumentIconHandler::GetClassID(CLSID* classId)
{
    if (!classId)
        return E_FAIL;
    *classId = componentClassId;
    return S_OK;
}

STDMETHODIMP DocumentIconHandler::Load(LPCOLESTR fileName, DWORD)
{
    if (!fileName || !fileName[0])
        return E_FAIL;
    // The code page of the "A" file functions that later open the path; a name
    // without an exact path there, or one that does not fit, leaves no file behind.
    return PathFromWide(fileName, filePath, sizeof filePath) ? S_OK : E_FAIL;
}

STDMETHODIMP DocumentIconHandler::GetIconLocation(UINT, PSTR iconFile, UINT iconFileSize, int* index,
                                                  UINT* outFlags)
{
    *outFlags = GIL_PERINSTANCE;
    bool wordDocument = IsCompoundFile(filePath);

    char keyName[64] = "";
    LoadStringA(moduleInstance, wordDocument ? IDS_DOC_EXTENSION : IDS_TXT_EXTENSION, keyName, sizeof keyName);
    {
        ScopedKey extension;
        if (!extension.Open(HKEY_CLASSES_ROOT, keyName, KEY_READ))
            return S_FALSE;
        // A Word document follows the backup of the previous class, a text
        // document the class ".txt" names now; without one the extension key's
        // own DefaultIcon is used.
        char valueName[16] = "";
        if (wordDocument)
            LoadStringA(moduleInstance, IDS_BACKUP_VALUE, valueName, sizeof valueName);
        char className[32];
        if (ReadRegistryString(extension.Get(), wordDocument ? valueName : nullptr, className, sizeof className))
            lstrcpynA(keyName, className, sizeof keyName);
    }
    AppendBounded(keyName, sizeof keyName, "\\DefaultIcon");

    ScopedKey iconKey;
    if (!iconKey.Open(HKEY_CLASSES_ROOT, keyName, KEY_QUERY_VALUE))
        return S_FALSE;
    char location[MAX_PATH];
    if (!ReadRegistryString(iconKey.Get(), nullptr, location, sizeof location))
        return S_FALSE;

    *index = 0;
    char* comma = FindLastChar(location, ',');
    if (comma) {
        *comma = '\0';
        *index = ParseIndex(comma + 1);
    }
    CopyBounded(iconFile, static_cast<int>(iconFileSize), location);
    return S_OK;
}

}  // namespace

IUnknown* NewComponentObject()
{
    return static_cast<IPersistFile*>(new (std::nothrow) DocumentIconHandler());
}
