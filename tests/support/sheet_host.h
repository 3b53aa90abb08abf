// A real modeless property sheet built from pages, as Explorer builds the
// Properties dialog, with the means to drive it from a test.
#pragma once
#include <windows.h>
#include <prsht.h>
#include <shlobj.h>
#include <string>
#include <vector>

// Collects the pages an IShellPropSheetExt adds.
struct PageCollector {
    std::vector<HPROPSHEETPAGE> pages;
    bool refuse = false;  // answer FALSE, as a shell that refuses pages
    static BOOL CALLBACK Add(HPROPSHEETPAGE page, LPARAM lParam);
    HRESULT AddFrom(IShellPropSheetExt* extension);
    // Destroys pages that never reached a sheet.
    void DestroyAll();
};

// A property sheet's tab captions, in order; its page count.
std::vector<std::string> SheetTabs(HWND sheet);
int SheetPageCount(HWND sheet);
// Activates page index (creating it on first activation) and returns its window.
HWND SelectSheetPage(HWND sheet, int index);
HWND CurrentSheetPage(HWND sheet);
// PSM_PRESSBUTTON, then the messages it posted are handled.
void PressSheetButton(HWND sheet, int button);
// Wine lays out a sheet in the dialog units of its own font, which are narrower than
// those of the Japanese pages' font, so the right and bottom of a Japanese page are
// cut off; on Japanese Windows both fonts are the same. Grows the page, the tab
// control and the sheet until every control of the page is in sight.
void FitSheetToPage(HWND sheet, HWND page);

class SheetHost {
public:
    SheetHost() = default;
    ~SheetHost() { Destroy(); }
    SheetHost(const SheetHost&) = delete;
    SheetHost& operator=(const SheetHost&) = delete;

    // Shows a modeless sheet; the sheet takes the pages. False when it fails.
    bool Show(std::vector<HPROPSHEETPAGE>& pages, const char* caption = "Test",
              DWORD extraFlags = 0, HWND owner = nullptr);
    // Shows a sheet made from page structures (PSH_PROPSHEETPAGE).
    bool ShowStructures(const std::vector<PROPSHEETPAGEA>& pages, const char* caption = "Test", DWORD extraFlags = 0);
    void Destroy();

    HWND Window() const { return sheet_; }
    int PageCount() const { return SheetPageCount(sheet_); }
    std::vector<std::string> TabCaptions() const { return SheetTabs(sheet_); }
    HWND SelectPage(int index) { return SelectSheetPage(sheet_, index); }
    HWND CurrentPage() const { return CurrentSheetPage(sheet_); }
    // Presses a sheet button (PSBTN_OK, PSBTN_CANCEL, ...) and pumps; the sheet is
    // gone afterwards when the button closes it.
    void Press(int button);
    bool Closed() const { return !sheet_ || !IsWindow(sheet_); }

private:
    HWND sheet_ = nullptr;
};

// Dispatches every waiting message of this thread (posted commands, paints),
// including those for the sheet's dialog messages.
void PumpMessages(HWND dialog = nullptr);

// Sends a button click as a user's press does (WM_COMMAND with BN_CLICKED).
void ClickButton(HWND dialog, int id);
// Sets an edit control's text as typing would (the control sends EN_CHANGE).
void TypeText(HWND dialog, int id, const char* text);
std::string ControlText(HWND dialog, int id);
