#!/usr/bin/env python3
"""Writes the icon, cursor and bitmap files the resource scripts include.

The pictures are drawn here from simple shapes, so the repository holds no binary
images. Icons and cursors use the 16-colour palette that every Windows of the
95/98 and NT families shows; bitmaps are 24-bit.

usage: make_images.py <output directory> <set>
  set "suite":    pindrel.ico, kelvara.ico, setup.ico
  set "fixture":  the images of the test resource library
"""
import os
import struct
import sys

# The standard VGA palette, as (b, g, r).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
           (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
           (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, SILVER = 0, 1, 2, 3, 4, 5, 6, 7
GREY, LRED, LGREEN, LYELLOW, LBLUE, LMAGENTA, LCYAN, WHITE = 8, 9, 10, 11, 12, 13, 14, 15
CLEAR = None  # a transparent pixel


def dib_4bpp(size, pixel, height=None):
    """A 4-bit icon/cursor image: header, palette, XOR bits, AND mask."""
    w = size
    h = height or size
    rows_x = []
    rows_a = []
    for y in range(h - 1, -1, -1):  # bottom-up
        xor = bytearray()
        mask_bits = []
        for x in range(0, w, 2):
            a = pixel(x, y, w, h)
            b = pixel(x + 1, y, w, h) if x + 1 < w else CLEAR
            xor.append(((a or 0) << 4) | (b or 0))
            mask_bits += [a is CLEAR, b is CLEAR]
        while len(xor) % 4:
            xor.append(0)
        mask = bytearray()
        for i in range(0, w, 8):
            byte = 0
            for bit in range(8):
                if i + bit < w and mask_bits[i + bit]:
                    byte |= 0x80 >> bit
            mask.append(byte)
        while len(mask) % 4:
            mask.append(0)
        rows_x.append(bytes(xor))
        rows_a.append(bytes(mask))
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (b, g, r) in PALETTE)
    return header + palette + b''.join(rows_x) + b''.join(rows_a)


def icon_file(images, cursor=False, hotspot=(0, 0)):
    """An .ico (or .cur) file from [(size, bytes)]."""
    out = struct.pack('<HHH', 0, 2 if cursor else 1, len(images))
    offset = 6 + 16 * len(images)
    body = b''
    for size, data in images:
        planes, bits = (hotspot if cursor else (1, 4))
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, planes, bits, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def bmp_file(w, h, pixel):
    """A 24-bit .bmp file; pixel(x, y) gives (r, g, b)."""
    row_size = (w * 3 + 3) & ~3
    rows = b''
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b'\0' * (row_size - len(row))
        rows += bytes(row)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return struct.pack('<2sIHHI', b'BM', 14 + 40 + len(rows), 0, 0, 54) + info + rows


def ani_file(frames, rate=10):
    """An animated cursor (RIFF ACON) from a list of .cur file bodies."""
    def chunk(tag, data):
        pad = b'\0' if len(data) % 2 else b''
        return tag + struct.pack('<I', len(data)) + data + pad
    anih = struct.pack('<IIIIIIIII', 36, len(frames), len(frames), 0, 0, 0, 0, rate, 1)
    icons = b''.join(chunk(b'icon', f) for f in frames)
    body = b'ACON' + chunk(b'anih', anih) + chunk(b'LIST', b'fram' + icons)
    return b'RIFF' + struct.pack('<I', len(body)) + body


# --- pictures ---------------------------------------------------------------

def scaled(x, y, w, h):
    """Coordinates on a 32-unit grid whatever the image size."""
    return x * 32 // w, y * 32 // h


def page_with_pin(x, y, w, h):
    u, v = scaled(x, y, w, h)
    if (u - 22) ** 2 + (v - 8) ** 2 <= 16:
        return LRED
    if 21 <= u <= 22 and 8 <= v <= 18:
        return GREY
    if 5 <= u <= 24 and 4 <= v <= 29:
        if u in (5, 24) or v in (4, 29):
            return BLACK
        return LYELLOW if 9 <= v <= 25 and v % 4 == 1 and 8 <= u <= 20 else WHITE
    return CLEAR


def panel(x, y, w, h):
    u, v = scaled(x, y, w, h)
    if 3 <= u <= 28 and 5 <= v <= 26:
        if u in (3, 28) or v in (5, 26):
            return BLACK
        if v <= 9:
            return BLUE
        if 7 <= u <= 12 and 13 <= v <= 22:
            return LGREEN if v > 17 else GREEN
        if 16 <= u <= 24 and v in (14, 18, 22):
            return GREY
        return SILVER
    return CLEAR


def box(x, y, w, h):
    u, v = scaled(x, y, w, h)
    if 4 <= u <= 27 and 10 <= v <= 28:
        if u in (4, 27) or v in (10, 28):
            return BLACK
        return YELLOW if u < 16 else LYELLOW
    if 10 <= u <= 21 and 2 <= v <= 9 and abs(u - 15.5) <= (v - 1):
        return LBLUE
    return CLEAR


def square(colour, transparent_corner=True):
    def draw(x, y, w, h):
        u, v = scaled(x, y, w, h)
        if transparent_corner and u < 8 and v < 8:
            return CLEAR
        return colour
    return draw


def arrow(colour):
    def draw(x, y, w, h):
        u, v = scaled(x, y, w, h)
        if u <= v and v <= 20 and u <= 14:
            return colour if (u < v and v < 20) else BLACK
        return CLEAR
    return draw


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def suite(out):
    for name, draw in (('pindrel', page_with_pin), ('kelvara', panel), ('setup', box)):
        write(os.path.join(out, name + '.ico'),
              icon_file([(s, dib_4bpp(s, draw)) for s in (16, 32, 48)]))


def fixture(out):
    # Icons: red with a transparent top-left corner, green, blue; each at 16/32/48.
    for name, colour in (('red', RED), ('green', GREEN), ('blue', BLUE)):
        write(os.path.join(out, name + '.ico'),
              icon_file([(s, dib_4bpp(s, square(colour))) for s in (16, 32, 48)]))
    # Cursors (32 x 32): a magenta and a cyan arrow; an animated cursor of two frames.
    for name, colour in (('magenta', MAGENTA), ('cyan', CYAN)):
        write(os.path.join(out, name + '.cur'),
              icon_file([(32, dib_4bpp(32, arrow(colour)))], cursor=True, hotspot=(1, 1)))
    frames = [icon_file([(32, dib_4bpp(32, arrow(c)))], cursor=True, hotspot=(1, 1)) for c in (LRED, LBLUE)]
    write(os.path.join(out, 'spinner.ani'), ani_file(frames))
    # Bitmaps: solid colours with a one-pixel black border, of the sizes the tests need.
    def framed(w, h, rgb):
        return lambda x, y: (0, 0, 0) if x in (0, w - 1) or y in (0, h - 1) else rgb
    for name, (w, h, rgb) in {
        'small': (32, 32, (255, 0, 0)),
        'tiny': (8, 8, (0, 255, 0)),
        'wide': (600, 40, (0, 0, 255)),
        'huge': (600, 500, (255, 255, 0)),
        'named': (24, 16, (255, 0, 255)),
    }.items():
        write(os.path.join(out, name + '.bmp'), bmp_file(w, h, framed(w, h, rgb)))
    # Gradient: left half red, right half blue, so clipped and stretched previews differ.
    write(os.path.join(out, 'halves.bmp'),
          bmp_file(400, 30, lambda x, y: (255, 0, 0) if x < 200 else (0, 0, 255)))


if __name__ == '__main__':
    os.makedirs(sys.argv[1], exist_ok=True)
    {'suite': suite, 'fixture': fixture}[sys.argv[2]](sys.argv[1])
