// Pictures read back as the user sees them.
#include "pixels.h"
#include "sheet_host.h"
#include <algorithm>

namespace {

Pixels FromBits(const DWORD* bits, int width, int height)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.data.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.data.size(); ++i)
        pixels.data[i] = RGB((bits[i] >> 16) & 0xFF, (bits[i] >> 8) & 0xFF, bits[i] & 0xFF);
    return pixels;
}

}  // namespace

int Pixels::Count(COLORREF colour, const RECT* area) const
{
    RECT all = {0, 0, width, height};
    const RECT& r = area ? *area : all;
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += At(x, y) == colour;
    return count;
}

RECT Pixels::Extent(COLORREF colour, bool same, const RECT* area) const
{
    RECT all = {0, 0, width, height};
    const RECT& r = area ? *area : all;
    RECT found = {r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if ((At(x, y) == colour) == same) {
                found.left = std::min<LONG>(found.left, x);
                found.top = std::min<LONG>(found.top, y);
                found.right = std::max<LONG>(found.right, x + 1);
                found.bottom = std::max<LONG>(found.bottom, y + 1);
            }
    if (found.left >= found.right)
        found = RECT{0, 0, 0, 0};
    return found;
}

Pixels Pixels::Inside(int border) const
{
    Pixels inside;
    inside.width = width - 2 * border;
    inside.height = height - 2 * border;
    for (int y = border; y < height - border; ++y)
        for (int x = border; x < width - border; ++x)
            inside.data.push_back(At(x, y));
    return inside;
}

BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

Canvas::Canvas(int width, int height) : width_(width), height_(height)
{
    BITMAPINFO info = TopDown32(width, height);
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas()
{
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

Pixels Canvas::Read() const
{
    GdiFlush();
    return bits_ ? FromBits(static_cast<const DWORD*>(bits_), width_, height_) : Pixels();
}

Pixels CaptureClient(HWND window)
{
    RECT client = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window) {
        UpdateWindow(window);
        PumpMessages();
        GetClientRect(window, &client);
    }
    Canvas canvas(client.right, client.bottom);
    HDC dc = GetDC(window);
    BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    return canvas.Read();
}

Pixels BitmapPixels(HBITMAP bitmap)
{
    BITMAP description = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof description, &description))
        return Pixels();
    std::vector<DWORD> bits(static_cast<size_t>(description.bmWidth) * description.bmHeight);
    BITMAPINFO info = TopDown32(description.bmWidth, description.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, description.bmHeight, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return FromBits(bits.data(), description.bmWidth, description.bmHeight);
}

Pixels ClipboardBitmap()
{
    if (!OpenClipboard(nullptr))
        return Pixels();
    Pixels pixels = BitmapPixels(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    CloseClipboard();
    return pixels;
}
