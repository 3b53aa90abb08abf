// Private copies of PINDREL.DLL.
#include "pindrel_copy.h"
#include "drop_data_object.h"

PindrelCopy::PindrelCopy(const std::string& dirName) : temp_("pdr")
{
    Load(dirName.empty() ? temp_.Path() : temp_.MakeDir(dirName));
}

PindrelCopy::PindrelCopy(size_t pathLength) : temp_("pdr")
{
    // <temporary directory>\<padding>\PINDREL.DLL
    const size_t fixed = temp_.Path().size() + 1 + std::string("\\PINDREL.DLL").size();
    Load(pathLength > fixed ? temp_.MakeDir(std::string(pathLength - fixed, 'p')) : temp_.Path());
}

void PindrelCopy::Load(const std::string& dir)
{
    dir_ = dir;
    if (CopyFileTo(DistPath("PINDREL.DLL"), Path()))
        library_.reset(new LoadedLibrary(Path()));
}

PindrelCopy::~PindrelCopy()
{
    library_.reset();
}

bool PindrelCopy::WriteFlags(unsigned flags, const std::string& section) const
{
    char text[16];
    wsprintfA(text, "%u", flags);
    return WritePrivateProfileStringA(section.empty() ? LogonName().c_str() : section.c_str(), "PindrelFlags", text,
                                      IniPath().c_str()) != FALSE;
}

unsigned PindrelCopy::ReadFlags(unsigned missing) const
{
    return GetPrivateProfileIntA(LogonName().c_str(), "PindrelFlags", missing, IniPath().c_str());
}

template <typename Path>
IShellExtInit* NewExtension(HMODULE pindrel, const std::vector<Path>& paths, HRESULT* initResult)
{
    IShellExtInit* extension = nullptr;
    if (FAILED(CreateComponent(pindrel, kPindrelClassId, IID_IShellExtInit, reinterpret_cast<void**>(&extension))))
        return nullptr;
    IDataObject* data = CreateDropDataObject(paths);
    HRESULT result = extension->Initialize(nullptr, data, nullptr);
    data->Release();
    if (initResult)
        *initResult = result;
    return extension;
}

template IShellExtInit* NewExtension(HMODULE, const std::vector<std::string>&, HRESULT*);
template IShellExtInit* NewExtension(HMODULE, const std::vector<std::wstring>&, HRESULT*);

HRESULT PindrelCopy::CanUnloadNow() const
{
    auto canUnload = library_->Export<HRESULT(WINAPI*)()>("DllCanUnloadNow");
    return canUnload();
}

std::string LogonName()
{
    char name[256] = "";
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    return name;
}

std::vector<std::string> ShowPages(IShellExtInit* extension, SheetHost& sheet, HRESULT* addResult)
{
    IShellPropSheetExt* pages = nullptr;
    extension->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&pages));
    PageCollector collector;
    HRESULT result = pages ? collector.AddFrom(pages) : E_NOINTERFACE;
    if (pages)
        pages->Release();
    if (addResult)
        *addResult = result;
    if (collector.pages.empty())
        return {};
    sheet.Show(collector.pages);
    return sheet.TabCaptions();
}
