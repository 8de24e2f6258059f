#!/usr/bin/env python3
"""Draw the window icon of "Web-API DLL Test" and write it out.

The picture is a request page with a status panel holding a green and a red
light, the two outcomes the test window shows.  It is pixel art written below
as character grids, one character per pixel, '.' for transparent.

Output (next to this script):
  webapitest.ico     two 16-colour (4 bpp) BMP-style images, 32x32 and 16x16,
                     each with a 1 bpp AND transparency mask
  webapitest-32.png  the same pictures as RGBA PNGs, for the Linux side
  webapitest-16.png

Only the Python 3 standard library is used (struct, zlib).
Run:  python3 src/app/icon/make_icon.py
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour VGA palette, in the order and at the levels a 4 bpp
# Windows bitmap conventionally carries it.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0  black
    (0x80, 0x00, 0x00),  # 1  dark red
    (0x00, 0x80, 0x00),  # 2  dark green
    (0x80, 0x80, 0x00),  # 3  dark yellow
    (0x00, 0x00, 0x80),  # 4  dark blue
    (0x80, 0x00, 0x80),  # 5  dark magenta
    (0x00, 0x80, 0x80),  # 6  dark cyan
    (0xC0, 0xC0, 0xC0),  # 7  light grey
    (0x80, 0x80, 0x80),  # 8  dark grey
    (0xFF, 0x00, 0x00),  # 9  red
    (0x00, 0xFF, 0x00),  # 10 green
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]

# Grid character -> palette index ('.' is transparent).
KEY = {
    'K': 0,   # black outline
    'r': 1,   # dark red
    'g': 2,   # dark green
    'b': 4,   # dark blue
    'c': 6,   # dark cyan
    'l': 7,   # light grey
    'd': 8,   # dark grey
    'R': 9,   # red
    'G': 10,  # green
    'B': 12,  # blue
    'C': 14,  # cyan
    'W': 15,  # white
}

ICON_32 = """
................................
..KKKKKKKKKKKKKK................
..KWWWWWWWWWWWWKK...............
..KWWWWWWWWWWWWKlK..............
..KWWBBBBBBBBWWKllK.............
..KWWWWWWWWWWWWKlllK............
..KWWWWWWWWWWWWKllllK...........
..KWWbbbbbbbbWWKKKKKKK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWddddWdddddWdddWWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWdddWddddddWddWWWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWddddddWdddWddddWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWdddWddddWddddWWWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWddddWdddddWWWWWWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWdddWddWWWWWWWWWWK..........
..KWWWWWWWWWWWWWWWWWWK..........
..KWWddddWdKKKKKKKKKKKKKKKKKK...
..KWWWWWWWKddddddddddddddddddK..
..KWWdddWWKdddgggddddddrrrdddK..
..KWWWWWWWKddgGGGgddddrRRRrddK..
..KWWddddWKdgGWGGGgddrRWRRRrdK..
..KWWWWWWWKdgGGGGGgddrRRRRRrdK..
..KWWdddWWKdgGGGGGgddrRRRRRrdK..
..KWWWWWWWKddgGGGgddddrRRRrddK..
..KWWWWWWWKdddgggddddddrrrdddK..
..KKKKKKKKKddddddddddddddddddK..
..........KKKKKKKKKKKKKKKKKKK...
"""

ICON_16 = """
................
.KKKKKKK........
.KWWWWWKK.......
.KWBBBBKlK......
.KWWWWWKKKK.....
.KWddWdddWK.....
.KWWWWWWWWK.....
.KWdddWddWK.....
.KWWWWWWWWK.....
.KWddWdddWK.....
.KWWKKKKKKKKKKK.
.KWKdgGGgdrRRrdK
.KWKdGWGGdRWRRdK
.KWKdGGGGdRRRRdK
.KWKdgGGgdrRRrdK
.KKKKKKKKKKKKKK.
"""


def parse(grid, size):
    rows = [r for r in grid.strip('\n').split('\n')]
    assert len(rows) == size, (size, len(rows))
    pixels = []
    for y, row in enumerate(rows):
        assert len(row) == size, (size, y, len(row), row)
        pixels.append([None if ch == '.' else KEY[ch] for ch in row])
    return pixels


def ico_image(pixels):
    """One BMP-style icon image: header, palette, 4 bpp XOR, 1 bpp AND."""
    size = len(pixels)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, idx in enumerate(row):
            value = 0 if idx is None else idx
            if x % 2 == 0:
                line[x // 2] |= value << 4
            else:
                line[x // 2] |= value
            if idx is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path, images):
    count = len(images)
    data = [ico_image(px) for px in images]
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    for px, blob in zip(images, data):
        size = len(px)
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4,
                           len(blob), offset)
        offset += len(blob)
    out += b''.join(data)
    with open(path, 'wb') as f:
        f.write(out)


def write_png(path, pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for idx in row:
            if idx is None:
                raw += b'\0\0\0\0'
            else:
                raw += bytes(PALETTE[idx]) + b'\xff'

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    png += chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


def main():
    px32 = parse(ICON_32, 32)
    px16 = parse(ICON_16, 16)
    write_ico(os.path.join(HERE, 'webapitest.ico'), [px32, px16])
    write_png(os.path.join(HERE, 'webapitest-32.png'), px32)
    write_png(os.path.join(HERE, 'webapitest-16.png'), px16)


if __name__ == '__main__':
    main()
