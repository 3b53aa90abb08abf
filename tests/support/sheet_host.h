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
    int PageCount() const;
    std::vector<std::string> TabCaptions() const;
    // Activates page index; returns its window (created on first activation).
    HWND SelectPage(int index);
    HWND CurrentPage() const;
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
