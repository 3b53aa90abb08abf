// GdiLedger: a record of the GDI and USER objects that one loaded module creates
// and releases, kept by replacing the creating and releasing functions at the
// module's import table (Wine's GetGuiResources answers 0, so a leak is found by
// counting calls instead).
//
// Created and tracked (successful calls only):
//   Icon      LoadImageA(IMAGE_ICON), CopyImage(IMAGE_ICON), CopyIcon, CreateIconIndirect
//             (fIcon TRUE), CreateIconFromResourceEx (fIcon TRUE), ImageList_GetIcon,
//             ExtractIconA (a real handle, not the count), SHGetFileInfoA(SHGFI_ICON)'s hIcon
//   Cursor    LoadImageA(IMAGE_CURSOR), CopyImage(IMAGE_CURSOR), CreateIconIndirect and
//             CreateIconFromResourceEx with fIcon FALSE
//   Bitmap    LoadImageA(IMAGE_BITMAP), CopyImage(IMAGE_BITMAP), LoadBitmapA, CreateBitmap,
//             CreateBitmapIndirect, CreateCompatibleBitmap, CreateDIBitmap, CreateDIBSection
//   Brush     CreateSolidBrush, CreateHatchBrush, CreatePatternBrush, CreateBrushIndirect
//   Pen       CreatePen, CreatePenIndirect, ExtCreatePen
//   Font      CreateFontA, CreateFontIndirectA
//   Region    CreateRectRgn, CreateRectRgnIndirect, CreateEllipticRgn
//   CreatedDc CreateDCA, CreateICA, CreateCompatibleDC
//   WindowDc  GetDC, GetWindowDC, GetDCEx
// Released: DestroyIcon (Icon), DestroyCursor (Cursor), DeleteObject (Bitmap, Brush,
// Pen, Font, Region), DeleteDC (CreatedDc), ReleaseDC (WindowDc). A release with the
// function of another kind still ends the handle's life (the system accepted it) and is
// counted in WrongReleases. SetClipboardData hands a tracked handle to the clipboard,
// which owns it from then on (HandedOver).
// Not tracked: shared handles (LoadIconA, LoadCursorA, LoadImageA with LR_SHARED), stock
// objects, the system image list, BeginPaint's context.
//
// Use: make the ledger right after loading the module and before anything of it runs,
// and let it go before the module is freed. One ledger at a time in a process; calls
// are expected on the test's thread. The replacements call the system's functions
// directly, so an ImportPatch made earlier on the same function of the same module is
// bypassed: use FailNext to make a call fail.
#pragma once
#include "ledger.h"
#include <windows.h>

enum class GdiKind { Icon, Cursor, Bitmap, Brush, Pen, Font, Region, CreatedDc, WindowDc };

// "icon", "cursor", "bitmap", ...
const char* GdiKindName(GdiKind kind);

// The core's Describe, Patched, Calls and FailNext apply to the functions above (a
// call made to fail returns null, FALSE, or 0 from SHGetFileInfoA and ReleaseDC); the
// ledger adds the releases of foreign handles, of the wrong kind, and to the clipboard.
class GdiLedger : public Ledger {
public:
    explicit GdiLedger(HMODULE module);
    ~GdiLedger();

    // Handles of a kind created through the module and not yet released.
    size_t Live(GdiKind kind) const { return Ledger::Live(static_cast<int>(kind)); }
    // Successful creations of a kind since the ledger was made.
    size_t Created(GdiKind kind) const { return Ledger::Created(static_cast<int>(kind)); }
    // Successful releases of handles the ledger never saw created: made before the
    // ledger, shared, or released twice.
    size_t ForeignReleases() const { return foreignReleases_; }
    // Releases with a function meant for another kind (DeleteObject on an icon...).
    size_t WrongReleases() const { return wrongReleases_; }
    // Tracked handles that SetClipboardData gave to the clipboard.
    size_t HandedOver() const { return handedOver_; }
    // Sets every count back to zero; live handles stay live.
    void ResetCounts();

    // Used by the replacement functions.
    static GdiLedger* Current() { return current_; }
    void Record(HANDLE handle, GdiKind kind, const char* creator);
    // released is the kind the releasing function is meant for; for DeleteObject any
    // object kind is right.
    void Forget(HANDLE handle, GdiKind released, bool anyObjectKind);
    void HandOver(HANDLE handle);

private:
    static GdiLedger* current_;
    size_t foreignReleases_ = 0;
    size_t wrongReleases_ = 0;
    size_t handedOver_ = 0;
};
