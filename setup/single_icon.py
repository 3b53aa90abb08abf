#!/usr/bin/env python3
"""Writes an icon file holding only the image of one size from another icon file.

SETUP.EXE's icon group has a single 32 x 32 image.
usage: single_icon.py <source .ico> <target .ico> <size>
"""
import struct
import sys


def main():
    source, target, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
    data = open(source, 'rb').read()
    _, kind, count = struct.unpack_from('<HHH', data, 0)
    for i in range(count):
        entry = data[6 + 16 * i:22 + 16 * i]
        width, height, colours, reserved, planes, bits, length, offset = struct.unpack('<BBBBHHII', entry)
        if width % 256 == size % 256 and height % 256 == size % 256:
            image = data[offset:offset + length]
            header = struct.pack('<HHH', 0, kind, 1)
            header += struct.pack('<BBBBHHII', width, height, colours, reserved, planes, bits, length, 22)
            with open(target, 'wb') as f:
                f.write(header + image)
            return 0
    print(f'{source} has no {size} x {size} image', file=sys.stderr)
    return 1


if __name__ == '__main__':
    sys.exit(main())
