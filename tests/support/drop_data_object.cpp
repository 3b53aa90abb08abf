// Minimal IDataObject implementations for tests.
#include "drop_data_object.h"
#include <shlobj.h>

namespace {

LONG liveObjects = 0;

class DropDataObject : public IDataObject {
public:
    // names: each name with its terminator, in bytes (two a character when wide).
    DropDataObject(const std::string& names, bool wide, bool refuse) : names_(names), wide_(wide), refuse_(refuse)
    {
        InterlockedIncrement(&liveObjects);
    }
    virtual ~DropDataObject() { InterlockedDecrement(&liveObjects); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG count = InterlockedDecrement(&refs_);
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (refuse_ || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        // The list ends with an empty name: a zero character after the names.
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names_.size() + 2);
        if (!memory)
            return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = wide_;
        CopyMemory(drop + 1, names_.data(), names_.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return !refuse_ && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    LONG refs_ = 1;
    std::string names_;
    bool wide_;
    bool refuse_;
};

}  // namespace

IDataObject* CreateDropDataObject(const std::vector<std::string>& paths)
{
    std::string names;
    for (const std::string& path : paths)
        names.append(path.c_str(), path.size() + 1);
    return new DropDataObject(names, false, false);
}

IDataObject* CreateDropDataObject(const std::vector<std::wstring>& paths)
{
    std::wstring names;
    for (const std::wstring& path : paths)
        names.append(path.c_str(), path.size() + 1);
    return new DropDataObject(std::string(reinterpret_cast<const char*>(names.data()), names.size() * 2), true, false);
}

IDataObject* CreateRefusingDataObject()
{
    return new DropDataObject("", false, true);
}

LONG LiveDataObjects()
{
    return liveObjects;
}
