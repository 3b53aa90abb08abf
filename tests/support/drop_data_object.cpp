// Minimal IDataObject implementations for tests.
#include "drop_data_object.h"
#include <shlobj.h>

namespace {

LONG liveObjects = 0;

class DropDataObject : public IDataObject {
public:
    DropDataObject(const std::vector<std::string>& paths, bool refuse) : paths_(paths), refuse_(refuse)
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
        size_t chars = 1;
        for (const std::string& path : paths_)
            chars += path.size() + 1;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
        if (!memory)
            return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = FALSE;
        char* p = reinterpret_cast<char*>(drop + 1);
        for (const std::string& path : paths_) {
            lstrcpyA(p, path.c_str());
            p += path.size() + 1;
        }
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
    std::vector<std::string> paths_;
    bool refuse_;
};

}  // namespace

IDataObject* CreateDropDataObject(const std::vector<std::string>& paths)
{
    return new DropDataObject(paths, false);
}

IDataObject* CreateRefusingDataObject()
{
    return new DropDataObject({}, true);
}

LONG LiveDataObjects()
{
    return liveObjects;
}
