// Driving modal windows of the test's own thread (a property sheet shown with
// PropertySheetA, a dialog box) from inside their own message loop: a thread timer
// finds the window once its loop runs and hands it to the test's function.
#pragma once
#include "sheet_host.h"
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class ModalDriver {
public:
    using Finder = std::function<bool(HWND)>;
    using Action = std::function<void(HWND)>;
    // Arms the driver: the first visible top-level window of this thread that finder
    // accepts is given to action, once. When action leaves a fatal failure behind,
    // the window is cancelled (WM_COMMAND IDCANCEL) so that the test cannot hang.
    ModalDriver(Finder finder, Action action);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool Ran() const { return ran_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static ModalDriver* current_;
    Finder finder_;
    Action action_;
    UINT_PTR timer_ = 0;
    bool ran_ = false;
};

// Finders.
bool IsPropertySheetWindow(HWND window);
// A dialog holding a control with this id of this window class ("ListBox").
ModalDriver::Finder DialogWithControl(int id, const char* className);

// Clicks item index of a list box with the mouse, as a user toggles an entry of a
// multiple-selection list (the list then notifies LBN_SELCHANGE).
void ClickListItem(HWND list, int index);
// The entries of a list box, in order.
std::vector<std::string> ListItems(HWND list);

// A template's rectangle (dialog units) converted as the dialog manager converts
// it, and a control's actual rectangle: both as left, top, width, height in client
// pixels of dialog.
RECT TemplateRectInPixels(HWND dialog, int x, int y, int width, int height);
RECT ControlRectInPixels(HWND dialog, HWND control);
