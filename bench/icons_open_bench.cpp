// Opening the Properties of a module with many icon groups (Wine's own
// shell32.dll): AddPages, then the Icons page's initialisation, against
// enumerating the icon groups and loading each once, plus (for the tab click)
// the same tab click to an empty page of the Icons page's template.
#include "bench.h"
#include "deliverables.h"
#include "pindrel_copy.h"
#include "resource.h"
#include "import_patch.h"
#include "sheet_host.h"
#include "temp_files.h"
#include <algorithm>
#include <cstdio>

namespace {

struct GroupCount {
    HMODULE module;
    int groups;
};

BOOL CALLBACK LoadGroup(HMODULE module, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto* count = reinterpret_cast<GroupCount*>(param);
    HICON icon = static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    if (icon)
        DestroyIcon(icon);
    ++count->groups;
    return TRUE;
}

// The plainest code: the module as a data file (as the extension loads it), its
// icon groups enumerated and each loaded once at the page's first size.
int LoadEveryGroup(const std::string& path)
{
    GroupCount count = {LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), 0};
    if (!count.module)
        return 0;
    EnumResourceNamesA(count.module, RT_GROUP_ICON, LoadGroup, reinterpret_cast<LONG_PTR>(&count));
    FreeLibrary(count.module);
    return count.groups;
}

// A page of the Icons page's own template that does nothing: what the sheet
// spends on creating the page and its controls, whatever the page does.
INT_PTR CALLBACK EmptyPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

HPROPSHEETPAGE NewEmptyIconsPage(HINSTANCE module)
{
    PROPSHEETPAGEA page = {};
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    page.hInstance = module;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_ICONS_PAGE);
    page.pfnDlgProc = EmptyPageProc;
    return CreatePropertySheetPageA(&page);
}

IShellPropSheetExt* NewExtension(const PindrelCopy& pindrel, const std::string& path)
{
    IShellExtInit* init = pindrel.NewExtension({path});
    if (!init)
        return nullptr;
    IShellPropSheetExt* extension = nullptr;
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension));
    init->Release();
    return extension;
}

// A profile of the tab click: time spent in some of PINDREL.DLL's imported
// functions, measured at its import table (nested calls count in both).
struct Spent {
    const char* name;
    double seconds;
    int calls;
};
Spent spent[] = {{"LoadImageA", 0, 0},  {"SendDlgItemMessageA", 0, 0}, {"SendMessageA", 0, 0},
                 {"DrawIconEx", 0, 0},  {"EnumResourceNamesA", 0, 0},  {"LoadLibraryExA", 0, 0}};
void* originals[6];

template <int I, typename R, typename... A> R WINAPI Timed(A... args)
{
    double start = Now();
    R result = reinterpret_cast<R(WINAPI*)(A...)>(originals[I])(args...);
    spent[I].seconds += Now() - start;
    ++spent[I].calls;
    return result;
}

struct Profile {
    explicit Profile(HMODULE module)
    {
        const void* replacements[] = {
            reinterpret_cast<const void*>(&Timed<0, HANDLE, HINSTANCE, LPCSTR, UINT, int, int, UINT>),
            reinterpret_cast<const void*>(&Timed<1, LRESULT, HWND, int, UINT, WPARAM, LPARAM>),
            reinterpret_cast<const void*>(&Timed<2, LRESULT, HWND, UINT, WPARAM, LPARAM>),
            reinterpret_cast<const void*>(&Timed<3, BOOL, HDC, int, int, HICON, int, int, UINT, HBRUSH, UINT>),
            reinterpret_cast<const void*>(&Timed<4, BOOL, HMODULE, LPCSTR, ENUMRESNAMEPROCA, LONG_PTR>),
            reinterpret_cast<const void*>(&Timed<5, HMODULE, LPCSTR, HANDLE, DWORD>),
        };
        const char* libraries[] = {"user32.dll", "user32.dll", "user32.dll", "user32.dll", "kernel32.dll",
                                   "kernel32.dll"};
        for (int i = 0; i < 6; ++i) {
            spent[i].seconds = 0;
            spent[i].calls = 0;
            patches[i] = new ImportPatch(module, libraries[i], spent[i].name, replacements[i]);
            originals[i] = patches[i]->Original<void*>();
        }
    }
    ~Profile()
    {
        for (ImportPatch* patch : patches)
            delete patch;
    }
    ImportPatch* patches[6];
};

}  // namespace

bool RunIconsOpenBench(int runs)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string path = std::string(system) + "\\shell32.dll";
    PindrelCopy pindrel;
    if (!pindrel.Module()) {
        printf("  PINDREL.DLL does not load\n");
        return false;
    }
    int groups = LoadEveryGroup(path);

    // AddPages alone, with the default flags (Touch, Icons, Bitmaps).
    double addPages = 0;
    auto addOnly = [&] {
        IShellPropSheetExt* extension = NewExtension(pindrel, path);
        if (!extension)
            return;
        PageCollector collector;
        double start = Now();
        collector.AddFrom(extension);
        addPages = Now() - start;
        collector.DestroyAll();
        extension->Release();
    };
    // The Icons page's initialisation: the sheet shows the Touch page first, as
    // Explorer shows its own first page; then the Icons tab is clicked. With
    // empty, the Icons page is swapped for an empty one before the sheet shows.
    int pages = 0;
    bool filled = false;
    auto openIconsOf = [&](const std::string& path, bool empty) -> double {
        IShellPropSheetExt* extension = NewExtension(pindrel, path);
        if (!extension)
            return 0;
        PageCollector collector;
        collector.AddFrom(extension);
        extension->Release();
        pages = static_cast<int>(collector.pages.size());
        if (empty && pages > 1) {
            DestroyPropertySheetPage(collector.pages[1]);
            collector.pages[1] = NewEmptyIconsPage(pindrel.Module());
        }
        SheetHost sheet;
        if (!sheet.Show(collector.pages))
            return 0;
        sheet.SelectPage(0);
        double start = Now();
        HWND icons = sheet.SelectPage(1);
        double elapsed = Now() - start;
        if (!empty)
            filled = SendDlgItemMessageA(icons, IDC_ICON_LIST, LB_GETCOUNT, 0, 0) == groups;
        return elapsed;
    };
    auto openIcons = [&] { return openIconsOf(path, false); };

    // What a page costs whatever the module: the same tab click for a plain text
    // file, whose only icon is the shell's.
    TempDir temp("kvbicons");
    std::string text = temp.WriteFile("plain.txt", "text\r\n");
    std::vector<double> plain;
    for (int i = 0; i < runs; ++i)
        plain.push_back(openIconsOf(text, false));
    std::vector<double> adds, inits;
    std::vector<double> loads, emptyPages, floors;
    for (int i = 0; i < runs; ++i) {
        addOnly();
        adds.push_back(addPages);
        inits.push_back(openIcons());
        emptyPages.push_back(openIconsOf(path, true));
        double start = Now();
        LoadEveryGroup(path);
        loads.push_back(Now() - start);
        floors.push_back(emptyPages.back() + loads.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    double add = median(adds), init = median(inits), floor = median(floors), fixed = median(plain);
    double load = median(loads), emptyPage = median(emptyPages);
    double profiled;
    {
        Profile profile(pindrel.Module());
        profiled = openIcons();
    }
    char title[160];
    snprintf(title, sizeof title, "(3) Properties of %s (%d icon groups, %d pages), per opening", path.c_str(),
             groups, pages);
    PrintTable(title, {{"AddPages", add, load, 0, "open"},
                       {"Icons page initialisation (tab click)", init, floor, 1.2, "open"},
                       {"AddPages + Icons page initialisation", add + init, floor, 1.2, "open"},
                       {"  the same tab click for a plain text file", fixed, 0, 0, "open"}});
    printf("  floor of AddPages: LoadLibraryExA as a data file, EnumResourceNamesA(RT_GROUP_ICON), LoadImageA of\n"
           "  each group at 32 x 32 and DestroyIcon, FreeLibrary (%.2f ms)\n"
           "  floor of the tab click and of both: the same tab click to an empty page of PINDREL.DLL's dialog %d\n"
           "  (the Icons page's template, a dialog procedure that does nothing) in the same sheet (%.2f ms),\n"
           "  plus the loading above\n",
           load * 1e3, IDD_ICONS_PAGE, emptyPage * 1e3);
    printf("  profile of one tab click (%.2f ms), time inside PINDREL.DLL's calls of:\n", profiled * 1e3);
    for (const Spent& entry : spent)
        printf("    %-22s %8.2f ms in %5d calls\n", entry.name, entry.seconds * 1e3, entry.calls);
    if (!filled)
        printf("  note: the icon list did not hold one item per icon group\n");
    return filled;
}
