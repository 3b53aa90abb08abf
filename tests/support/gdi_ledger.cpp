// The GDI and USER object ledger: replacement functions that forward to the system
// and note every handle made and released.
#include "gdi_ledger.h"
#include "import_patch.h"
#include <commctrl.h>
#include <shellapi.h>
#include <cstdio>

GdiLedger* GdiLedger::current_ = nullptr;

namespace {

GdiLedger* Ledger()
{
    return GdiLedger::Current();
}

bool Fails(const char* function)
{
    return Ledger() && Ledger()->Intercept(function);
}

void Made(HANDLE handle, GdiKind kind, const char* creator)
{
    if (handle && Ledger())
        Ledger()->Record(handle, kind, creator);
}

void Gone(HANDLE handle, GdiKind kind, bool anyObjectKind = false)
{
    if (handle && Ledger())
        Ledger()->Forget(handle, kind, anyObjectKind);
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

HICON WINAPI HookCopyIcon(HICON source)
{
    if (Fails("CopyIcon"))
        return nullptr;
    HICON icon = CopyIcon(source);
    Made(icon, GdiKind::Icon, "CopyIcon");
    return icon;
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

HBITMAP WINAPI HookLoadBitmapA(HINSTANCE instance, LPCSTR name)
{
    if (Fails("LoadBitmapA"))
        return nullptr;
    HBITMAP bitmap = LoadBitmapA(instance, name);
    Made(bitmap, GdiKind::Bitmap, "LoadBitmapA");
    return bitmap;
}

BOOL WINAPI HookDestroyIcon(HICON icon)
{
    if (Fails("DestroyIcon"))
        return FALSE;
    BOOL done = DestroyIcon(icon);
    if (done)
        Gone(icon, GdiKind::Icon);
    return done;
}

BOOL WINAPI HookDestroyCursor(HCURSOR cursor)
{
    if (Fails("DestroyCursor"))
        return FALSE;
    BOOL done = DestroyCursor(cursor);
    if (done)
        Gone(cursor, GdiKind::Cursor);
    return done;
}

HDC WINAPI HookGetDC(HWND window)
{
    if (Fails("GetDC"))
        return nullptr;
    HDC dc = GetDC(window);
    Made(dc, GdiKind::WindowDc, "GetDC");
    return dc;
}

HDC WINAPI HookGetWindowDC(HWND window)
{
    if (Fails("GetWindowDC"))
        return nullptr;
    HDC dc = GetWindowDC(window);
    Made(dc, GdiKind::WindowDc, "GetWindowDC");
    return dc;
}

HDC WINAPI HookGetDCEx(HWND window, HRGN clip, DWORD flags)
{
    if (Fails("GetDCEx"))
        return nullptr;
    HDC dc = GetDCEx(window, clip, flags);
    Made(dc, GdiKind::WindowDc, "GetDCEx");
    return dc;
}

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
    if (placed && data && Ledger())
        Ledger()->HandOver(data);
    return placed;
}

// ---- comctl32 and shell32: icons made from image lists and files

HICON WINAPI HookImageListGetIcon(HIMAGELIST list, int index, UINT flags)
{
    if (Fails("ImageList_GetIcon"))
        return nullptr;
    HICON icon = ImageList_GetIcon(list, index, flags);
    Made(icon, GdiKind::Icon, "ImageList_GetIcon");
    return icon;
}

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

HBRUSH WINAPI HookCreateSolidBrush(COLORREF colour)
{
    if (Fails("CreateSolidBrush"))
        return nullptr;
    HBRUSH brush = CreateSolidBrush(colour);
    Made(brush, GdiKind::Brush, "CreateSolidBrush");
    return brush;
}

HBRUSH WINAPI HookCreateHatchBrush(int hatch, COLORREF colour)
{
    if (Fails("CreateHatchBrush"))
        return nullptr;
    HBRUSH brush = CreateHatchBrush(hatch, colour);
    Made(brush, GdiKind::Brush, "CreateHatchBrush");
    return brush;
}

HBRUSH WINAPI HookCreatePatternBrush(HBITMAP bitmap)
{
    if (Fails("CreatePatternBrush"))
        return nullptr;
    HBRUSH brush = CreatePatternBrush(bitmap);
    Made(brush, GdiKind::Brush, "CreatePatternBrush");
    return brush;
}

HBRUSH WINAPI HookCreateBrushIndirect(const LOGBRUSH* description)
{
    if (Fails("CreateBrushIndirect"))
        return nullptr;
    HBRUSH brush = CreateBrushIndirect(description);
    Made(brush, GdiKind::Brush, "CreateBrushIndirect");
    return brush;
}

HPEN WINAPI HookCreatePen(int style, int width, COLORREF colour)
{
    if (Fails("CreatePen"))
        return nullptr;
    HPEN pen = CreatePen(style, width, colour);
    Made(pen, GdiKind::Pen, "CreatePen");
    return pen;
}

HPEN WINAPI HookCreatePenIndirect(const LOGPEN* description)
{
    if (Fails("CreatePenIndirect"))
        return nullptr;
    HPEN pen = CreatePenIndirect(description);
    Made(pen, GdiKind::Pen, "CreatePenIndirect");
    return pen;
}

HPEN WINAPI HookExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD count, const DWORD* dashes)
{
    if (Fails("ExtCreatePen"))
        return nullptr;
    HPEN pen = ExtCreatePen(style, width, brush, count, dashes);
    Made(pen, GdiKind::Pen, "ExtCreatePen");
    return pen;
}

HFONT WINAPI HookCreateFontIndirectA(const LOGFONTA* description)
{
    if (Fails("CreateFontIndirectA"))
        return nullptr;
    HFONT font = CreateFontIndirectA(description);
    Made(font, GdiKind::Font, "CreateFontIndirectA");
    return font;
}

HFONT WINAPI HookCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                             DWORD underline, DWORD strikeOut, DWORD charSet, DWORD precision, DWORD clip,
                             DWORD quality, DWORD pitch, LPCSTR face)
{
    if (Fails("CreateFontA"))
        return nullptr;
    HFONT font = CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             precision, clip, quality, pitch, face);
    Made(font, GdiKind::Font, "CreateFontA");
    return font;
}

HRGN WINAPI HookCreateRectRgn(int left, int top, int right, int bottom)
{
    if (Fails("CreateRectRgn"))
        return nullptr;
    HRGN region = CreateRectRgn(left, top, right, bottom);
    Made(region, GdiKind::Region, "CreateRectRgn");
    return region;
}

HRGN WINAPI HookCreateRectRgnIndirect(const RECT* rect)
{
    if (Fails("CreateRectRgnIndirect"))
        return nullptr;
    HRGN region = CreateRectRgnIndirect(rect);
    Made(region, GdiKind::Region, "CreateRectRgnIndirect");
    return region;
}

HRGN WINAPI HookCreateEllipticRgn(int left, int top, int right, int bottom)
{
    if (Fails("CreateEllipticRgn"))
        return nullptr;
    HRGN region = CreateEllipticRgn(left, top, right, bottom);
    Made(region, GdiKind::Region, "CreateEllipticRgn");
    return region;
}

HBITMAP WINAPI HookCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data)
{
    if (Fails("CreateBitmap"))
        return nullptr;
    HBITMAP bitmap = CreateBitmap(width, height, planes, bits, data);
    Made(bitmap, GdiKind::Bitmap, "CreateBitmap");
    return bitmap;
}

HBITMAP WINAPI HookCreateBitmapIndirect(const BITMAP* description)
{
    if (Fails("CreateBitmapIndirect"))
        return nullptr;
    HBITMAP bitmap = CreateBitmapIndirect(description);
    Made(bitmap, GdiKind::Bitmap, "CreateBitmapIndirect");
    return bitmap;
}

HBITMAP WINAPI HookCreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (Fails("CreateCompatibleBitmap"))
        return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    Made(bitmap, GdiKind::Bitmap, "CreateCompatibleBitmap");
    return bitmap;
}

HBITMAP WINAPI HookCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                  const BITMAPINFO* info, UINT usage)
{
    if (Fails("CreateDIBitmap"))
        return nullptr;
    HBITMAP bitmap = CreateDIBitmap(dc, header, init, bits, info, usage);
    Made(bitmap, GdiKind::Bitmap, "CreateDIBitmap");
    return bitmap;
}

HBITMAP WINAPI HookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset)
{
    if (Fails("CreateDIBSection"))
        return nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, info, usage, bits, section, offset);
    Made(bitmap, GdiKind::Bitmap, "CreateDIBSection");
    return bitmap;
}

HDC WINAPI HookCreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode)
{
    if (Fails("CreateDCA"))
        return nullptr;
    HDC dc = CreateDCA(driver, device, port, mode);
    Made(dc, GdiKind::CreatedDc, "CreateDCA");
    return dc;
}

HDC WINAPI HookCreateICA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode)
{
    if (Fails("CreateICA"))
        return nullptr;
    HDC dc = CreateICA(driver, device, port, mode);
    Made(dc, GdiKind::CreatedDc, "CreateICA");
    return dc;
}

HDC WINAPI HookCreateCompatibleDC(HDC dc)
{
    if (Fails("CreateCompatibleDC"))
        return nullptr;
    HDC memory = CreateCompatibleDC(dc);
    Made(memory, GdiKind::CreatedDc, "CreateCompatibleDC");
    return memory;
}

BOOL WINAPI HookDeleteDC(HDC dc)
{
    if (Fails("DeleteDC"))
        return FALSE;
    BOOL done = DeleteDC(dc);
    if (done)
        Gone(dc, GdiKind::CreatedDc);
    return done;
}

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
    {"user32.dll", "LoadImageA", reinterpret_cast<const void*>(HookLoadImageA)},
    {"user32.dll", "CopyImage", reinterpret_cast<const void*>(HookCopyImage)},
    {"user32.dll", "CopyIcon", reinterpret_cast<const void*>(HookCopyIcon)},
    {"user32.dll", "CreateIconIndirect", reinterpret_cast<const void*>(HookCreateIconIndirect)},
    {"user32.dll", "CreateIconFromResourceEx", reinterpret_cast<const void*>(HookCreateIconFromResourceEx)},
    {"user32.dll", "LoadBitmapA", reinterpret_cast<const void*>(HookLoadBitmapA)},
    {"user32.dll", "DestroyIcon", reinterpret_cast<const void*>(HookDestroyIcon)},
    {"user32.dll", "DestroyCursor", reinterpret_cast<const void*>(HookDestroyCursor)},
    {"user32.dll", "GetDC", reinterpret_cast<const void*>(HookGetDC)},
    {"user32.dll", "GetWindowDC", reinterpret_cast<const void*>(HookGetWindowDC)},
    {"user32.dll", "GetDCEx", reinterpret_cast<const void*>(HookGetDCEx)},
    {"user32.dll", "ReleaseDC", reinterpret_cast<const void*>(HookReleaseDC)},
    {"user32.dll", "SetClipboardData", reinterpret_cast<const void*>(HookSetClipboardData)},
    {"comctl32.dll", "ImageList_GetIcon", reinterpret_cast<const void*>(HookImageListGetIcon)},
    {"shell32.dll", "SHGetFileInfoA", reinterpret_cast<const void*>(HookSHGetFileInfoA)},
    {"shell32.dll", "ExtractIconA", reinterpret_cast<const void*>(HookExtractIconA)},
    {"gdi32.dll", "CreateSolidBrush", reinterpret_cast<const void*>(HookCreateSolidBrush)},
    {"gdi32.dll", "CreateHatchBrush", reinterpret_cast<const void*>(HookCreateHatchBrush)},
    {"gdi32.dll", "CreatePatternBrush", reinterpret_cast<const void*>(HookCreatePatternBrush)},
    {"gdi32.dll", "CreateBrushIndirect", reinterpret_cast<const void*>(HookCreateBrushIndirect)},
    {"gdi32.dll", "CreatePen", reinterpret_cast<const void*>(HookCreatePen)},
    {"gdi32.dll", "CreatePenIndirect", reinterpret_cast<const void*>(HookCreatePenIndirect)},
    {"gdi32.dll", "ExtCreatePen", reinterpret_cast<const void*>(HookExtCreatePen)},
    {"gdi32.dll", "CreateFontA", reinterpret_cast<const void*>(HookCreateFontA)},
    {"gdi32.dll", "CreateFontIndirectA", reinterpret_cast<const void*>(HookCreateFontIndirectA)},
    {"gdi32.dll", "CreateRectRgn", reinterpret_cast<const void*>(HookCreateRectRgn)},
    {"gdi32.dll", "CreateRectRgnIndirect", reinterpret_cast<const void*>(HookCreateRectRgnIndirect)},
    {"gdi32.dll", "CreateEllipticRgn", reinterpret_cast<const void*>(HookCreateEllipticRgn)},
    {"gdi32.dll", "CreateBitmap", reinterpret_cast<const void*>(HookCreateBitmap)},
    {"gdi32.dll", "CreateBitmapIndirect", reinterpret_cast<const void*>(HookCreateBitmapIndirect)},
    {"gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<const void*>(HookCreateCompatibleBitmap)},
    {"gdi32.dll", "CreateDIBitmap", reinterpret_cast<const void*>(HookCreateDIBitmap)},
    {"gdi32.dll", "CreateDIBSection", reinterpret_cast<const void*>(HookCreateDIBSection)},
    {"gdi32.dll", "CreateDCA", reinterpret_cast<const void*>(HookCreateDCA)},
    {"gdi32.dll", "CreateICA", reinterpret_cast<const void*>(HookCreateICA)},
    {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<const void*>(HookCreateCompatibleDC)},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<const void*>(HookDeleteDC)},
    {"gdi32.dll", "DeleteObject", reinterpret_cast<const void*>(HookDeleteObject)},
};

bool IsUserKind(GdiKind kind)
{
    return kind == GdiKind::Icon || kind == GdiKind::Cursor;
}

bool IsObjectKind(GdiKind kind)
{
    return !IsUserKind(kind) && kind != GdiKind::CreatedDc && kind != GdiKind::WindowDc;
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

GdiLedger::GdiLedger(HMODULE module)
{
    current_ = this;
    for (const ImportReplacement& replacement : kReplacements) {
        std::unique_ptr<ImportPatch> patch(
            new ImportPatch(module, replacement.dll, replacement.function, replacement.replacement));
        if (!patch->Applied())
            continue;
        patchedNames_.push_back(replacement.function);
        patches_.push_back(std::move(patch));
    }
}

GdiLedger::~GdiLedger()
{
    patches_.clear();
    if (current_ == this)
        current_ = nullptr;
}

GdiLedger::Key GdiLedger::KeyOf(HANDLE handle, GdiKind kind)
{
    return Key(IsUserKind(kind), handle);
}

size_t GdiLedger::Live(GdiKind kind) const
{
    size_t count = 0;
    for (const auto& entry : live_)
        count += entry.second.kind == kind;
    return count;
}

size_t GdiLedger::Created(GdiKind kind) const
{
    auto found = created_.find(kind);
    return found == created_.end() ? 0 : found->second;
}

std::string GdiLedger::Describe() const
{
    std::string text;
    for (const auto& entry : live_) {
        char line[128];
        snprintf(line, sizeof line, "%s %p from %s\n", GdiKindName(entry.second.kind), entry.first.second,
                 entry.second.creator);
        text += line;
    }
    return text.empty() ? "nothing live\n" : text;
}

bool GdiLedger::Patched(const char* function) const
{
    for (const std::string& name : patchedNames_)
        if (name == function)
            return true;
    return false;
}

int GdiLedger::Calls(const char* function) const
{
    auto found = calls_.find(function);
    return found == calls_.end() ? 0 : found->second;
}

void GdiLedger::FailNext(const char* function, int count)
{
    failures_[function] = count;
}

void GdiLedger::ResetCounts()
{
    created_.clear();
    calls_.clear();
    foreignReleases_ = wrongReleases_ = handedOver_ = 0;
}

bool GdiLedger::Intercept(const char* function)
{
    ++calls_[function];
    auto found = failures_.find(function);
    if (found == failures_.end() || found->second <= 0)
        return false;
    --found->second;
    return true;
}

void GdiLedger::Record(HANDLE handle, GdiKind kind, const char* creator)
{
    live_[KeyOf(handle, kind)] = Entry{kind, creator};
    ++created_[kind];
}

void GdiLedger::Forget(HANDLE handle, GdiKind released, bool anyObjectKind)
{
    auto found = live_.find(KeyOf(handle, released));
    if (found == live_.end()) {
        ++foreignReleases_;
        return;
    }
    GdiKind kind = found->second.kind;
    bool right = anyObjectKind ? IsObjectKind(kind) : kind == released;
    if (!right)
        ++wrongReleases_;
    live_.erase(found);
}

void GdiLedger::HandOver(HANDLE handle)
{
    auto found = live_.find(Key(false, handle));
    if (found == live_.end())
        return;
    live_.erase(found);
    ++handedOver_;
}
