// The in-process COM server frame shared by the two shell extensions: the class
// factory, the module-wide object count and the DllGetClassObject/DllCanUnloadNow
// exports. Each component supplies its class identifier and its object.
#pragma once
#include "interlocked.h"
#include <windows.h>
#include <objbase.h>

// Live factories, component objects and property pages of this module; it and every
// object's reference count change only through interlocked.h's functions.
extern LONG objectCount;

// Supplied by the component: the one class identifier DllGetClassObject answers,
// and a new component object with a reference count of 0 (null when out of memory).
extern const CLSID componentClassId;
IUnknown* NewComponentObject();

// Gives the freshly made object (reference count 0) to the caller through its own
// QueryInterface; when that fails the object is destroyed again.
HRESULT HandOutNewObject(IUnknown* object, REFIID riid, void** ppv);

class ClassFactory final : public IClassFactory {
public:
    ClassFactory();
    ~ClassFactory();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG refCount;
};
