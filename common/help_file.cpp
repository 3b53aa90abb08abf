// Help calls on the suite's help file, in WinHelp or in HTML Help.
#include "help_file.h"
#include "file_paths.h"
#include "mbstring.h"
#include "module.h"
#include <htmlhelp.h>

namespace {

typedef HWND(WINAPI* HtmlHelpFunction)(HWND, LPCSTR, UINT, DWORD_PTR);

// The pop-up texts that the help compiler writes for the property pages fit.
const int kPopupTextSize = 1024;

// hhctrl.ocx of the system directory once this module has loaded it. It stays loaded,
// since the help windows it opens outlive the calls.
HMODULE hhctrl;

// HtmlHelpA when the .CHM file at path is to serve command: null on Windows that have
// WinHelp, when the file, the library or the function is missing, and for HELP_QUIT
// before this module has shown any HTML Help.
HtmlHelpFunction HtmlHelpViewer(const char* path, UINT command)
{
    if (!IsWindowsVistaOrLater() || SystemFunction("ntdll.dll", "wine_get_version") ||
        GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    char library[MAX_PATH];
    if (!hhctrl && command != HELP_QUIT && MakeSystemFilePath(library, sizeof library, "hhctrl.ocx"))
        hhctrl = LoadLibraryA(library);
    return hhctrl ? reinterpret_cast<HtmlHelpFunction>(GetProcAddress(hhctrl, "HtmlHelpA")) : nullptr;
}

// The pop-up `text` at the mouse pointer, in the viewer's default colours, margins
// and font.
void ShowHtmlPopup(HtmlHelpFunction htmlHelp, HWND owner, char* text)
{
    HH_POPUP popup = {};
    popup.cbStruct = sizeof popup;
    popup.pszText = text;
    GetCursorPos(&popup.pt);
    popup.clrForeground = popup.clrBackground = static_cast<COLORREF>(-1);
    SetRect(&popup.rcMargins, -1, -1, -1, -1);
    htmlHelp(owner, nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
}

// The help call on the help file at path.
bool ShowHelpAt(HWND owner, const char* path, UINT command, ULONG_PTR data)
{
    // A pop-up's text is this module's string of its context number.
    char text[kPopupTextSize] = "";
    if (command == HELP_CONTEXTPOPUP && !LoadStringA(moduleInstance, static_cast<UINT>(data), text, sizeof text) &&
        IsWindowsVistaOrLater()) {
        // Without a text only WinHelp could show it, and Windows from Vista on
        // answer WinHelp with a notice that it is not supported.
        return false;
    }
    char htmlPath[MAX_PATH];
    HtmlHelpFunction htmlHelp = CopyBounded(htmlPath, sizeof htmlPath, path) &&
                                        ReplaceExtension(htmlPath, sizeof htmlPath, "CHM")
                                    ? HtmlHelpViewer(htmlPath, command)
                                    : nullptr;
    if (htmlHelp) {
        switch (command) {
        case HELP_QUIT:
            htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
            return true;
        case HELP_CONTENTS:
            return htmlHelp(owner, htmlPath, HH_DISPLAY_TOPIC, 0) != nullptr;
        case HELP_CONTEXT:
            return htmlHelp(owner, htmlPath, HH_HELP_CONTEXT, data) != nullptr;
        case HELP_CONTEXTPOPUP:
            if (text[0]) {
                ShowHtmlPopup(htmlHelp, owner, text);
                return true;
            }
            break;
        }
    }
    return WinHelpA(owner, path, command, data);
}

}  // namespace

bool ShowHelpInDirectory(HWND owner, const char* directory, const char* fileName, UINT command, ULONG_PTR data)
{
    char path[MAX_PATH];
    return directory && MakeFilePath(path, sizeof path, directory, nullptr, fileName) &&
           ShowHelpAt(owner, path, command, data);
}

bool ShowHelpBesideModule(HWND owner, HMODULE module, const char* fileName, UINT command, ULONG_PTR data)
{
    char path[MAX_PATH];
    return MakeFilePath(path, sizeof path, nullptr, module, fileName) && ShowHelpAt(owner, path, command, data);
}
