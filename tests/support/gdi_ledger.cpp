// The GDI and USER object ledger: replacement functions that forward to the system
// and note every handle made and released.
#include "gdi_ledger.h"
#include <commctrl.h>
#include <shellapi.h>
#include <iterator>

GdiLedger* GdiLedger::current_ = nullptr;

namespace {

GdiLedger* Active()
{
    return GdiLedger::Current();
}

bool Fails(const char* function)
{
    return Active() && Active()->Intercept(function);
}

void Made(HANDLE handle, GdiKind kind, const char* creator)
{
    if (handle && Active())
        Active()->Record(handle, kind, creator);
}

void Gone(HANDLE handle, GdiKind kind, bool anyObjectKind = false)
{
    if (handle && Active())
        Active()->Forget(handle, kind, anyObjectKind);
}

bool KindOfImage(UINT type, GdiKind* kind)
{
    switch (type) {
    case IMAGE_ICON: *kind = GdiKind::Icon; return true;
    case IMAGE_CURSOR: *kind = GdiKind::Cursor; return true;
    case IMAGE_BITMAP: *kind = GdiKind::Bitmap; return true;
    }
    return false;
}

// A replacement named Hook<function> for a function that releases one handle of kind
// and answers nonzero when it did.
#define RELEASER(type, function, kind)       \
    BOOL WINAPI Hook##function(type handle)  \
    {                                        \
        if (Fails(#function))                \
            return FALSE;                    \
        BOOL done = function(handle);        \
        if (done)                            \
            Gone(handle, GdiKind::kind);     \
        return done;                         \
    }

// ---- user32: icons, cursors, images, window device contexts, clipboard

HANDLE WINAPI HookLoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags)
{
    if (Fails("LoadImageA"))
        return nullptr;
    HANDLE image = LoadImageA(instance, name, type, cx, cy, flags);
    GdiKind kind;
    if (!(flags & LR_SHARED) && KindOfImage(type, &kind))
        Made(image, kind, "LoadImageA");
    return image;
}

HANDLE WINAPI HookCopyImage(HANDLE source, UINT type, int cx, int cy, UINT flags)
{
    if (Fails("CopyImage"))
        return nullptr;
    HANDLE image = CopyImage(source, type, cx, cy, flags);
    GdiKind kind;
    if (image != source && KindOfImage(type, &kind))
        Made(image, kind, "CopyImage");
    return image;
}

HICON WINAPI HookCreateIconIndirect(PICONINFO info)
{
    if (Fails("CreateIconIndirect"))
        return nullptr;
    HICON icon = CreateIconIndirect(info);
    Made(icon, info && info->fIcon ? GdiKind::Icon : GdiKind::Cursor, "CreateIconIndirect");
    return icon;
}

HICON WINAPI HookCreateIconFromResourceEx(PBYTE bits, DWORD size, BOOL isIcon, DWORD version, int cx, int cy,
                                          UINT flags)
{
    if (Fails("CreateIconFromResourceEx"))
        return nullptr;
    HICON icon = CreateIconFromResourceEx(bits, size, isIcon, version, cx, cy, flags);
    if (!(flags & LR_SHARED))
        Made(icon, isIcon ? GdiKind::Icon : GdiKind::Cursor, "CreateIconFromResourceEx");
    return icon;
}

LEDGER_MAKER(HICON, CopyIcon, GdiKind::Icon, (HICON source), (source))
LEDGER_MAKER(HBITMAP, LoadBitmapA, GdiKind::Bitmap, (HINSTANCE instance, LPCSTR name), (instance, name))
RELEASER(HICON, DestroyIcon, Icon)
RELEASER(HCURSOR, DestroyCursor, Cursor)
LEDGER_MAKER(HDC, GetDC, GdiKind::WindowDc, (HWND window), (window))
LEDGER_MAKER(HDC, GetWindowDC, GdiKind::WindowDc, (HWND window), (window))
LEDGER_MAKER(HDC, GetDCEx, GdiKind::WindowDc, (HWND window, HRGN clip, DWORD flags), (window, clip, flags))

int WINAPI HookReleaseDC(HWND window, HDC dc)
{
    if (Fails("ReleaseDC"))
        return 0;
    int done = ReleaseDC(window, dc);
    if (done)
        Gone(dc, GdiKind::WindowDc);
    return done;
}

HANDLE WINAPI HookSetClipboardData(UINT format, HANDLE data)
{
    if (Fails("SetClipboardData"))
        return nullptr;
    HANDLE placed = SetClipboardData(format, data);
    if (placed && data && Active())
        Active()->HandOver(data);
    return placed;
}

// ---- comctl32 and shell32: icons made from image lists and files

LEDGER_MAKER(HICON, ImageList_GetIcon, GdiKind::Icon, (HIMAGELIST list, int index, UINT flags), (list, index, flags))

DWORD_PTR WINAPI HookSHGetFileInfoA(LPCSTR path, DWORD attributes, SHFILEINFOA* info, UINT size, UINT flags)
{
    if (Fails("SHGetFileInfoA"))
        return 0;
    DWORD_PTR result = SHGetFileInfoA(path, attributes, info, size, flags);
    if (result && info && (flags & SHGFI_ICON))
        Made(info->hIcon, GdiKind::Icon, "SHGetFileInfoA");
    return result;
}

HICON WINAPI HookExtractIconA(HINSTANCE instance, LPCSTR path, UINT index)
{
    if (Fails("ExtractIconA"))
        return nullptr;
    HICON icon = ExtractIconA(instance, path, index);
    // With index 0xFFFFFFFF the result is a count; 1 means "not a file with icons".
    if (index != 0xFFFFFFFF && reinterpret_cast<UINT_PTR>(icon) > 1)
        Made(icon, GdiKind::Icon, "ExtractIconA");
    return icon;
}

// ---- gdi32

LEDGER_MAKER(HBRUSH, CreateSolidBrush, GdiKind::Brush, (COLORREF colour), (colour))
LEDGER_MAKER(HBRUSH, CreateHatchBrush, GdiKind::Brush, (int hatch, COLORREF colour), (hatch, colour))
LEDGER_MAKER(HBRUSH, CreatePatternBrush, GdiKind::Brush, (HBITMAP bitmap), (bitmap))
LEDGER_MAKER(HBRUSH, CreateBrushIndirect, GdiKind::Brush, (const LOGBRUSH* description), (description))
LEDGER_MAKER(HPEN, CreatePen, GdiKind::Pen, (int style, int width, COLORREF colour), (style, width, colour))
LEDGER_MAKER(HPEN, CreatePenIndirect, GdiKind::Pen, (const LOGPEN* description), (description))
LEDGER_MAKER(HPEN, ExtCreatePen, GdiKind::Pen,
             (DWORD style, DWORD width, const LOGBRUSH* brush, DWORD count, const DWORD* dashes),
             (style, width, brush, count, dashes))
LEDGER_MAKER(HFONT, CreateFontIndirectA, GdiKind::Font, (const LOGFONTA* description), (description))
LEDGER_MAKER(HFONT, CreateFontA, GdiKind::Font,
             (int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
              DWORD strikeOut, DWORD charSet, DWORD precision, DWORD clip, DWORD quality, DWORD pitch, LPCSTR face),
             (height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, precision, clip,
              quality, pitch, face))
LEDGER_MAKER(HRGN, CreateRectRgn, GdiKind::Region, (int left, int top, int right, int bottom),
             (left, top, right, bottom))
LEDGER_MAKER(HRGN, CreateRectRgnIndirect, GdiKind::Region, (const RECT* rect), (rect))
LEDGER_MAKER(HRGN, CreateEllipticRgn, GdiKind::Region, (int left, int top, int right, int bottom),
             (left, top, right, bottom))
LEDGER_MAKER(HBITMAP, CreateBitmap, GdiKind::Bitmap, (int width, int height, UINT planes, UINT bits, const void* data),
             (width, height, planes, bits, data))
LEDGER_MAKER(HBITMAP, CreateBitmapIndirect, GdiKind::Bitmap, (const BITMAP* description), (description))
LEDGER_MAKER(HBITMAP, CreateCompatibleBitmap, GdiKind::Bitmap, (HDC dc, int width, int height), (dc, width, height))
LEDGER_MAKER(HBITMAP, CreateDIBitmap, GdiKind::Bitmap,
             (HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info, UINT usage),
             (dc, header, init, bits, info, usage))
LEDGER_MAKER(HBITMAP, CreateDIBSection, GdiKind::Bitmap,
             (HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset),
             (dc, info, usage, bits, section, offset))
LEDGER_MAKER(HDC, CreateDCA, GdiKind::CreatedDc, (LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode),
             (driver, device, port, mode))
LEDGER_MAKER(HDC, CreateICA, GdiKind::CreatedDc, (LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode),
             (driver, device, port, mode))
LEDGER_MAKER(HDC, CreateCompatibleDC, GdiKind::CreatedDc, (HDC dc), (dc))
RELEASER(HDC, DeleteDC, CreatedDc)

BOOL WINAPI HookDeleteObject(HGDIOBJ object)
{
    if (Fails("DeleteObject"))
        return FALSE;
    BOOL done = DeleteObject(object);
    if (done)
        Gone(object, GdiKind::Bitmap, true);
    return done;
}

const ImportReplacement kReplacements[] = {
    LEDGER_ROW("user32.dll", LoadImageA),
    LEDGER_ROW("user32.dll", CopyImage),
    LEDGER_ROW("user32.dll", CopyIcon),
    LEDGER_ROW("user32.dll", CreateIconIndirect),
    LEDGER_ROW("user32.dll", CreateIconFromResourceEx),
    LEDGER_ROW("user32.dll", LoadBitmapA),
    LEDGER_ROW("user32.dll", DestroyIcon),
    LEDGER_ROW("user32.dll", DestroyCursor),
    LEDGER_ROW("user32.dll", GetDC),
    LEDGER_ROW("user32.dll", GetWindowDC),
    LEDGER_ROW("user32.dll", GetDCEx),
    LEDGER_ROW("user32.dll", ReleaseDC),
    LEDGER_ROW("user32.dll", SetClipboardData),
    LEDGER_ROW("comctl32.dll", ImageList_GetIcon),
    LEDGER_ROW("shell32.dll", SHGetFileInfoA),
    LEDGER_ROW("shell32.dll", ExtractIconA),
    LEDGER_ROW("gdi32.dll", CreateSolidBrush),
    LEDGER_ROW("gdi32.dll", CreateHatchBrush),
    LEDGER_ROW("gdi32.dll", CreatePatternBrush),
    LEDGER_ROW("gdi32.dll", CreateBrushIndirect),
    LEDGER_ROW("gdi32.dll", CreatePen),
    LEDGER_ROW("gdi32.dll", CreatePenIndirect),
    LEDGER_ROW("gdi32.dll", ExtCreatePen),
    LEDGER_ROW("gdi32.dll", CreateFontA),
    LEDGER_ROW("gdi32.dll", CreateFontIndirectA),
    LEDGER_ROW("gdi32.dll", CreateRectRgn),
    LEDGER_ROW("gdi32.dll", CreateRectRgnIndirect),
    LEDGER_ROW("gdi32.dll", CreateEllipticRgn),
    LEDGER_ROW("gdi32.dll", CreateBitmap),
    LEDGER_ROW("gdi32.dll", CreateBitmapIndirect),
    LEDGER_ROW("gdi32.dll", CreateCompatibleBitmap),
    LEDGER_ROW("gdi32.dll", CreateDIBitmap),
    LEDGER_ROW("gdi32.dll", CreateDIBSection),
    LEDGER_ROW("gdi32.dll", CreateDCA),
    LEDGER_ROW("gdi32.dll", CreateICA),
    LEDGER_ROW("gdi32.dll", CreateCompatibleDC),
    LEDGER_ROW("gdi32.dll", DeleteDC),
    LEDGER_ROW("gdi32.dll", DeleteObject),
};

bool IsUserKind(GdiKind kind)
{
    return kind == GdiKind::Icon || kind == GdiKind::Cursor;
}

bool IsObjectKind(GdiKind kind)
{
    return !IsUserKind(kind) && kind != GdiKind::CreatedDc && kind != GdiKind::WindowDc;
}

const char* NameOfKind(int kind)
{
    return GdiKindName(static_cast<GdiKind>(kind));
}

}  // namespace

const char* GdiKindName(GdiKind kind)
{
    switch (kind) {
    case GdiKind::Icon: return "icon";
    case GdiKind::Cursor: return "cursor";
    case GdiKind::Bitmap: return "bitmap";
    case GdiKind::Brush: return "brush";
    case GdiKind::Pen: return "pen";
    case GdiKind::Font: return "font";
    case GdiKind::Region: return "region";
    case GdiKind::CreatedDc: return "created DC";
    case GdiKind::WindowDc: return "window DC";
    }
    return "?";
}

GdiLedger::GdiLedger(HMODULE module) : Ledger({module}, kReplacements, std::size(kReplacements), NameOfKind)
{
    current_ = this;
}

GdiLedger::~GdiLedger()
{
    if (current_ == this)
        current_ = nullptr;
}

void GdiLedger::ResetCounts()
{
    Ledger::ResetCounts();
    foreignReleases_ = wrongReleases_ = handedOver_ = 0;
}

// USER handles (icons, cursors) and GDI handles are numbered apart and may share
// values, so each lives under its own family.
void GdiLedger::Record(HANDLE handle, GdiKind kind, const char* creator)
{
    Ledger::Record(IsUserKind(kind), handle, static_cast<int>(kind), creator);
}

void GdiLedger::Forget(HANDLE handle, GdiKind released, bool anyObjectKind)
{
    int found = Ledger::Forget(IsUserKind(released), handle);
    if (found < 0) {
        ++foreignReleases_;
        return;
    }
    GdiKind kind = static_cast<GdiKind>(found);
    if (anyObjectKind ? !IsObjectKind(kind) : kind != released)
        ++wrongReleases_;
}

void GdiLedger::HandOver(HANDLE handle)
{
    if (Ledger::Forget(false, handle) >= 0)
        ++handedOver_;
}
