#!/usr/bin/env python3
"""Writes res/korvel.ico: a two-line display unit, 32x32 and 16x16, 16 colours.

Usage: make-icon.py [OUTPUT]   (default: res/korvel.ico beside this buildtools/ folder)

Each picture is drawn below as rows of characters: '.' is transparent, a hex
digit is an index into the standard 16-colour palette.
"""
import os
import struct
import sys

PALETTE = [  # (red, green, blue)
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# 0 black outline and screen, 7 silver case, f highlight, 8 shadow,
# a bright green characters, 2 dim green unlit cells, 9 red power lamp.
ICON_32 = [
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "00000000000000000000000000000000",
    "0fffffffffffffffffffffffffffff80",
    "0f777777777777777777777777777780",
    "0f78888888888888888888888888f780",
    "0f78000000000000000000000000f780",
    "0f780aa0aa0aa0aa0aa0aa0aa000f780",
    "0f780aa0aa0aa0aa0aa0aa0aa000f780",
    "0f780aa0aa0aa0aa0aa0aa0aa000f780",
    "0f78000000000000000000000000f780",
    "0f78000000000000000000000000f780",
    "0f780aa0aa0aa0aa0aa022022000f780",
    "0f780aa0aa0aa0aa0aa022022000f780",
    "0f780aa0aa0aa0aa0aa022022000f780",
    "0f78000000000000000000000000f780",
    "0f7ffffffffffffffffffffffffff780",
    "0f777777777777777777777777777780",
    "0f777777777777777777777777997780",
    "0f777777777777777777777777997780",
    "0f777777777777777777777777777780",
    "08888888888888888888888888888880",
    "00000000000000000000000000000000",
    "...0888880............0888880...",
    "...0000000............0000000...",
    "................................",
    "................................",
    "................................",
    "................................",
]

ICON_16 = [
    "................",
    "................",
    "0000000000000000",
    "0fffffffffffff80",
    "0f88888888888f80",
    "0f80000000000f80",
    "0f80aa0aa0aa0f80",
    "0f80aa0aa0aa0f80",
    "0f80000000000f80",
    "0f80aa0220220f80",
    "0f80aa0220220f80",
    "0f80000000000f80",
    "0fffffffffffff80",
    "0888888888888880",
    "0000000000000000",
    ".0880......0880.",
]


def check(rows, size):
    """Every picture is square and drawn only with known characters."""
    if len(rows) != size or any(len(row) != size for row in rows):
        raise ValueError("picture is not %dx%d" % (size, size))
    if any(ch not in ".0123456789abcdef" for row in rows for ch in row):
        raise ValueError("unknown colour in picture")
    return rows


def image(rows):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom row first
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, ch in enumerate(row):
            index = 0 if ch == "." else int(ch, 16)
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
            if ch == ".":
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(pictures):
    images = [image(p) for p in pictures]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for picture, data in zip(pictures, images):
        size = len(picture)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "korvel.ico")
    pictures = [check(ICON_32, 32), check(ICON_16, 16)]
    with open(target, "wb") as f:
        f.write(icon_file(pictures))


if __name__ == "__main__":
    main()
