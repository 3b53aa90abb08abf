// Paths of the built files.
#include "deliverables.h"
#include <string>

#ifndef KELVARA_DIST
#error "KELVARA_DIST must name build/dist as a Windows path"
#endif

const CLSID kPindrelClassId = {0x6f0c5e2a, 0x3b7d, 0x4c1e, {0x9a, 0x52, 0x8e, 0x4d, 0x1b, 0x7a, 0x2c, 0x01}};
const CLSID kQuorbinClassId = {0x6f0c5e2a, 0x3b7d, 0x4c1e, {0x9a, 0x52, 0x8e, 0x4d, 0x1b, 0x7a, 0x2c, 0x02}};

std::string DistPath(const std::string& name)
{
    return std::string(KELVARA_DIST) + "\\" + name;
}

std::string FixturePath(const std::string& name)
{
    return std::string(KELVARA_FIXTURES) + "\\" + name;
}

HRESULT CreateComponent(HMODULE module, const CLSID& classId, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    if (!get)
        return E_NOTIMPL;
    IClassFactory* factory = nullptr;
    HRESULT result = get(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return result;
}

std::string SystemDirectory()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

bool IsModuleLoaded(const std::string& path)
{
    return GetModuleHandleA(path.c_str()) != nullptr;
}
