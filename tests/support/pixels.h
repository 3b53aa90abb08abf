// Pictures as the user sees them, read back from a window, the screen, a bitmap or the
// clipboard: COLORREF values row by row from the top.
#pragma once
#include <windows.h>
#include <vector>

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data;

    bool Empty() const { return data.empty(); }
    COLORREF At(int x, int y) const { return data[y * width + x]; }
    // Pixels of colour inside area (null: the whole picture).
    int Count(COLORREF colour, const RECT* area = nullptr) const;
    // The smallest rectangle holding every pixel of colour inside area; empty when none.
    RECT Bounds(COLORREF colour, const RECT* area = nullptr) const { return Extent(colour, true, area); }
    // The smallest rectangle holding every pixel that is not background; empty when none.
    RECT Drawn(COLORREF background) const { return Extent(background, false, nullptr); }
    // The picture less a frame of border pixels on each side.
    Pixels Inside(int border) const;
    bool operator==(const Pixels& other) const
    {
        return width == other.width && height == other.height && data == other.data;
    }

private:
    RECT Extent(COLORREF colour, bool same, const RECT* area) const;
};

// The header of a 32-bit top-down DIB of that size.
BITMAPINFO TopDown32(int width, int height);

// A 32-bit DIB section selected into a memory context, for grabbing and drawing.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return dc_; }
    Pixels Read() const;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

// The client area of a window as it stands on the display, read through the
// window's device context once pending paints have run; null: the whole screen.
Pixels CaptureClient(HWND window);
// The pixels and size of a bitmap (empty when it is none).
Pixels BitmapPixels(HBITMAP bitmap);
// The clipboard's CF_BITMAP (empty when there is none).
Pixels ClipboardBitmap();
