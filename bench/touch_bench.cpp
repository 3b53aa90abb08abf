// The Touch page over large selections from the shell's own data object: its
// refresh (the Reset click) and Touch, per file, against plain loops of
// CreateFileA, GetFileTime or SetFileTime and CloseHandle over the same files.
#include "bench.h"
#include "deliverables.h"
#include "pindrel_copy.h"
#include "resource.h"
#include "shell_selection.h"
#include "sheet_host.h"
#include "temp_files.h"
#include <shellapi.h>
#include <cstdio>

namespace {

// Every file gets the same stamp, so that the refresh reads all of them: it stops
// at the first file whose stamp differs.
void SetAllStamps(const std::vector<std::string>& paths, const FILETIME& stamp)
{
    for (const std::string& path : paths) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            SetFileTime(file, nullptr, nullptr, &stamp);
            CloseHandle(file);
        }
    }
}

void ReadAllStamps(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            FILETIME creation, lastWritten;
            GetFileTime(file, &creation, nullptr, &lastWritten);
            CloseHandle(file);
        }
    }
}

FILETIME Stamp(WORD year)
{
    SYSTEMTIME st = {year, 6, 0, 15, 12, 30, 45, 0};
    FILETIME local, utc;
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

void Command(HWND page, int id)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

struct SizeResult {
    int files;
    double refresh, refreshFloor, touch, touchFloor;
    double getData, queryAll;  // profile: one GetData; DragQueryFileA of every index
    bool shown;
};

// The two costs a walk over the selection can pay per file: a GetData of the
// whole drop list, and DragQueryFileA, which counts its way to the index.
void ProfileDropList(IDataObject* data, int runs, SizeResult* result)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    result->getData = MeasureMedian(runs, [&] {
        STGMEDIUM medium = {};
        if (SUCCEEDED(data->GetData(&format, &medium)))
            ReleaseStgMedium(&medium);
    });
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    result->queryAll = MeasureMedian(runs, [&] {
        char name[MAX_PATH];
        for (UINT i = 0; i < count; ++i)
            DragQueryFileA(drop, i, name, sizeof name);
    });
    ReleaseStgMedium(&medium);
}

bool MeasureSelection(const PindrelCopy& pindrel, int count, int runs, SizeResult* result, std::string* source)
{
    TempDir temp("kvbtouch");
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char name[32];
        wsprintfA(name, "t%05d.txt", i);
        paths.push_back(temp.WriteFile(name, "x"));
    }
    SetAllStamps(paths, Stamp(1999));

    ShellSelection selection = SelectFolderItems(temp.Path(), paths);
    *source = selection.source;
    ProfileDropList(selection.data, runs, result);
    IShellExtInit* init = nullptr;
    if (FAILED(CreateComponent(pindrel.Module(), kPindrelClassId, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
        selection.data->Release();
        printf("  PINDREL.DLL gives no extension object\n");
        return false;
    }
    init->Initialize(nullptr, selection.data, nullptr);
    selection.data->Release();
    IShellPropSheetExt* extension = nullptr;
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension));
    PageCollector collector;
    if (extension) {
        collector.AddFrom(extension);
        extension->Release();
    }
    init->Release();
    SheetHost sheet;
    if (collector.pages.empty() || !sheet.Show(collector.pages)) {
        collector.DestroyAll();
        printf("  no Touch page for %d files\n", count);
        return false;
    }
    HWND page = sheet.SelectPage(0);
    PumpMessages();

    // The date the refresh shows proves it read the common stamp of every file.
    result->files = count;
    result->shown = ControlText(page, IDC_DATE) == "1999/06/15";
    Pair refresh = MeasurePair(
        runs, [&] { Command(page, IDC_RESET); }, [&] { ReadAllStamps(paths); });
    int year = 2001;
    FILETIME floorStamp = Stamp(2001);
    Pair touch = MeasurePair(
        runs,
        [&] {
            char date[16];
            wsprintfA(date, "%d/06/15", year++);
            // A new date every run, so that every run writes; typing two short
            // fields is nothing next to thousands of files.
            SetDlgItemTextA(page, IDC_DATE, date);
            SetDlgItemTextA(page, IDC_TIME, "12:30:45");
            Command(page, IDC_TOUCH);
        },
        [&] {
            SetAllStamps(paths, floorStamp);
            ReadAllStamps(paths);
        });
    char expected[16];
    wsprintfA(expected, "%d/06/15", year - 1);
    result->shown = result->shown && ControlText(page, IDC_DATE) == expected;
    result->refresh = refresh.work / count;
    result->refreshFloor = refresh.floor / count;
    result->touch = touch.work / count;
    result->touchFloor = touch.floor / count;
    sheet.Destroy();
    return true;
}

}  // namespace

bool RunTouchBench(int runs)
{
    PindrelCopy pindrel;
    if (!pindrel.Module()) {
        printf("  PINDREL.DLL does not load\n");
        return false;
    }
    pindrel.WriteFlags(0x01);
    std::vector<SizeResult> results;
    std::string source;
    for (int count : {100, 1000, 5000}) {
        SizeResult result = {};
        // Few runs at the largest size: a slow page would otherwise take minutes.
        if (!MeasureSelection(pindrel, count, count >= 5000 ? (runs > 3 ? 3 : runs) : runs, &result, &source))
            return false;
        results.push_back(result);
    }
    std::vector<Row> rows;
    std::vector<Row> profile;
    for (const SizeResult& r : results) {
        char name[64];
        wsprintfA(name, "one GetData of the drop list, %d files", r.files);
        profile.push_back({name, r.getData / r.files, 0, 0, "file"});
        wsprintfA(name, "DragQueryFileA of every index, %d files", r.files);
        profile.push_back({name, r.queryAll / r.files, 0, 0, "file"});
    }
    for (const SizeResult& r : results) {
        char name[64];
        wsprintfA(name, "Reset (refresh), %d files", r.files);
        rows.push_back({name, r.refresh, r.refreshFloor, r.files == 5000 ? 2.0 : 0, "file"});
        wsprintfA(name, "Touch (write, then refresh), %d files", r.files);
        rows.push_back({name, r.touch, r.touchFloor, r.files == 5000 ? 2.0 : 0, "file"});
    }
    PrintTable("(2) Touch page over a selection from the shell's data object, per file", rows);
    printf("  selection: %s\n", source.c_str());
    PrintTable("    profile of the selection's drop list (what one walk per index would pay), per file", profile);
    printf("  floor: refresh = CreateFileA, GetFileTime, CloseHandle per file; Touch = CreateFileA, SetFileTime,\n"
           "  CloseHandle per file, then the refresh loop (the page shows the stamps again after writing)\n");
    const SizeResult& small = results.front();
    const SizeResult& large = results.back();
    char text[160];
    snprintf(text, sizeof text, "growth: Reset per file at 5,000 / at 100 = %.2f (target at most 1.50)",
             large.refresh / small.refresh);
    PrintCheck(text, large.refresh / small.refresh <= 1.5);
    snprintf(text, sizeof text, "growth: Touch per file at 5,000 / at 100 = %.2f (target at most 1.50)",
             large.touch / small.touch);
    PrintCheck(text, large.touch / small.touch <= 1.5);
    bool shown = true;
    for (const SizeResult& r : results)
        shown = shown && r.shown;
    if (!shown)
        printf("  note: the page did not show the common stamp of the files after a refresh\n");
    return shown;
}
