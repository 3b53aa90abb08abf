// COM server frame: class factory and module lifetime.
#include "com_server.h"
#include <new>

LONG objectCount = 0;

HRESULT HandOutNewObject(IUnknown* object, REFIID riid, void** ppv)
{
    HRESULT result = object->QueryInterface(riid, ppv);
    if (FAILED(result)) {
        // The object holds no reference yet: one round trip destroys it.
        object->AddRef();
        object->Release();
    }
    return result;
}

ClassFactory::ClassFactory() : refCount(0)
{
    InterlockedIncrement(&objectCount);
}

ClassFactory::~ClassFactory()
{
    InterlockedDecrement(&objectCount);
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    return InterlockedIncrement(&refCount);
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count > 0)
        return count;
    delete this;
    return 0;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* object = NewComponentObject();
    if (!object)
        return E_OUTOFMEMORY;
    return HandOutNewObject(object, riid, ppv);
}

STDMETHODIMP ClassFactory::LockServer(BOOL)
{
    return S_OK;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, componentClassId))
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory();
    if (!factory)
        return E_OUTOFMEMORY;
    return HandOutNewObject(factory, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return objectCount == 0 ? S_OK : S_FALSE;
}
