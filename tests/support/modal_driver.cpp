// Modal windows driven from their own message loop.
#include "modal_driver.h"
#include <gtest/gtest.h>
#include <prsht.h>

ModalDriver* ModalDriver::current_ = nullptr;

ModalDriver::ModalDriver(Finder finder, Action action) : finder_(std::move(finder)), action_(std::move(action))
{
    current_ = this;
    // A thread timer: every message loop of this thread (the sheet's, the dialog
    // manager's) dispatches its WM_TIMER to Tick.
    timer_ = SetTimer(nullptr, 0, 20, &ModalDriver::Tick);
}

ModalDriver::~ModalDriver()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    if (current_ == this)
        current_ = nullptr;
}

namespace {

struct Search {
    const ModalDriver::Finder* finder;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    if (IsWindowVisible(window) && (*search->finder)(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    ModalDriver* self = current_;
    if (!self || self->ran_)
        return;
    Search search = {&self->finder_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), VisitWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return;
    KillTimer(nullptr, self->timer_);
    self->timer_ = 0;
    self->ran_ = true;
    self->action_(search.found);
    if (::testing::Test::HasFatalFailure() && IsWindow(search.found))
        SendMessageA(search.found, WM_COMMAND, IDCANCEL, 0);
}

bool IsPropertySheetWindow(HWND window)
{
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0 && SendMessageA(window, PSM_GETTABCONTROL, 0, 0) != 0;
}

ModalDriver::Finder DialogWithControl(int id, const char* className)
{
    std::string wanted = className;
    return [id, wanted](HWND window) {
        HWND control = GetDlgItem(window, id);
        char name[64] = "";
        if (control)
            GetClassNameA(control, name, sizeof name);
        return control && lstrcmpiA(name, wanted.c_str()) == 0;
    };
}

void ClickListItem(HWND list, int index)
{
    RECT item = {};
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(list, WM_LBUTTONUP, 0, point);
    PumpMessages();
}

std::vector<std::string> ListItems(HWND list)
{
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

RECT TemplateRectInPixels(HWND dialog, int x, int y, int width, int height)
{
    // Each number is converted on its own, as the dialog manager does.
    RECT rect = {x, y, width, height};
    MapDialogRect(dialog, &rect);
    return rect;
}

RECT ControlRectInPixels(HWND dialog, HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    RECT result = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    return result;
}
