#!/usr/bin/env python3
"""Draws the dialog's three 16-colour pictures and the program icon as BMP/ICO files."""
# The pictures are kept as pixel text here so that they can be reviewed and redrawn;
# run this script after changing one and commit the files it writes beside it.
import os
import struct

# The 16 colours of the standard Windows palette, in palette order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# '.' is olive, the pictures' transparent colour (their bottom-left pixel).
INDEX = {'k': 0, 'm': 1, '.': 3, 's': 7, 'g': 8, 'r': 9, 'y': 11, 'b': 12, 'w': 15}

STOP = [  # 18 x 16: a red cross behind a black exclamation mark
    "..................",
    ".rr............rr.",
    ".rrr....kk....rrr.",
    "..rrr..kkkk..rrr..",
    "...rrr.kkkk.rrr...",
    "....rrrkkkkrrr....",
    ".....rrkkkkrr.....",
    "......rkkkkr......",
    ".....rrrkkrrr.....",
    "....rrr.kk.rrr....",
    "...rrr..kk..rrr...",
    "..rrr........rrr..",
    ".rrr....kk....rrr.",
    ".rr....kkkk....rr.",
    "........kk........",
    "..................",
]
CONFIRM = [  # 16 x 16: a red question mark on a yellow disc
    "................",
    ".....kkkkkk.....",
    "...kkyyyyyykk...",
    "..kyyyrrrryyyk..",
    "..kyyrryyrryyk..",
    ".kyyyrryyrryyyk.",
    ".kyyyyyyyrryyyk.",
    ".kyyyyyyrryyyyk.",
    ".kyyyyyrryyyyyk.",
    ".kyyyyyrryyyyyk.",
    "..kyyyyyyyyyyk..",
    "..kyyyyrryyyyk..",
    "...kkyyrryykk...",
    ".....kkkkkk.....",
    "................",
    "................",
]
COMMENT = [  # 16 x 16: a hand writing with a pencil on a sheet
    "................",
    ".kkkkkkkkkk.....",
    ".kwwwwwwwwk..kk.",
    ".kwggggwwwk.kyyk",
    ".kwwwwwwwwkkyyk.",
    ".kwgggggwwkyyk..",
    ".kwwwwwwwkyyk...",
    ".kwggggwkyykss..",
    ".kwwwwwkyykssss.",
    ".kwgggkyykssssk.",
    ".kwwwwkkkssssk..",
    ".kwgggwksssskk..",
    ".kwwwwwwkkkk....",
    ".kwwwwwwwwk.....",
    ".kkkkkkkkkk.....",
    "................",
]
ICON = [  # 16 x 16, drawn at twice the size: a printer with a sheet
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwggggwk....",
    "....kwwwwwwk....",
    ".kkkkkkkkkkkkkk.",
    "kssssssssssssssk",
    "ksssssssssssrrsk",
    "kssssssssssssssk",
    "kggggggggggggggk",
    "kkkkkkkkkkkkkkkk",
    "...kwwwwwwwwk...",
    "...kwggggggwk...",
    "...kwwwwwwwwk...",
    "...kkkkkkkkkk...",
    "................",
]


def indices(rows):
    width = len(rows[0])
    assert all(len(r) == width for r in rows), "ragged picture"
    return [[INDEX[c] for c in r] for r in rows]


def packed_4bit(pixels):
    """Bottom-up rows of 4-bit pixels, each row padded to 4 bytes."""
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 2835, 2835, 16, 0)


def write_bmp(path, rows):
    pixels = indices(rows)
    bits = packed_4bit(pixels)
    header = info_header(len(pixels[0]), len(pixels), len(bits)) + palette_bytes()
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        f.write(header + bits)


def write_ico(path, rows):
    small = indices(rows)
    pixels = [[p for p in row for _ in (0, 1)] for row in small for _ in (0, 1)]
    size = len(pixels)
    mask = bytearray()  # 1 = transparent (the olive pixels)
    for row in reversed(pixels):
        line = bytearray((size + 31) // 32 * 4)
        for x, p in enumerate(row):
            if p == INDEX['.']:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    # In an icon the transparent pixels are black in the colour plane.
    xor = packed_4bit([[0 if p == INDEX['.'] else p for p in row] for row in pixels])
    image = info_header(size, size * 2, len(xor) + len(mask)) + palette_bytes() + xor + bytes(mask)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16))
        f.write(image)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(here, "Stop_Image.bmp"), STOP)
    write_bmp(os.path.join(here, "Confirm_Image.bmp"), CONFIRM)
    write_bmp(os.path.join(here, "Comment_Image.bmp"), COMMENT)
    write_ico(os.path.join(here, "TallyhornClient.ico"), ICON)
