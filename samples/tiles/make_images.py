#!/usr/bin/env python3
"""Writes the tiles sample's bitmaps beside this script; commit what it writes.

Every file is a 24-bit Windows bitmap; grey (192, 192, 192) is the button face, which the
library makes transparent when it cuts a strip into images.

bake.bmp: 64 x 16, four 16 x 16 images for the Bake button: normal, pressed, disabled, disabled
and pressed. A small wall of three brick rows over a down arrow (into the file).
antialias.bmp: 64 x 16, four images for the antialiasing button: sample grids of 2 x 2, 3 x 3 and
4 x 4 dots, and the disabled 2 x 2 grid.
bonds.bmp: 144 x 32, three 48 x 32 pictures of the patterns: stack bond, running bond, and a
custom stagger of a third of a tile.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
FACE = (192, 192, 192)
BRICK = (178, 74, 46)
MORTAR = (228, 222, 206)
DARK = (64, 64, 64)
GREY = (128, 128, 128)
LIGHT_GREY = (160, 160, 160)


def write_bmp(name, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    image = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", 54 + len(image), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + info + image)


def wall(x, y, brick, mortar):
    """A 12 x 7 wall of three brick rows in a 16 x 16 cell, at the top; None outside it."""
    if not (2 <= x < 14 and 1 <= y < 8):
        return None
    row = (y - 1) // 2 if y < 7 else 3
    if (y - 1) % 2 == 1 or y == 7:
        return mortar
    shift = 3 if row % 2 else 0
    return mortar if (x - 2 + shift) % 6 == 5 else brick


def arrow(x, y, colour):
    """A down arrow under the wall."""
    if 7 <= x <= 8 and 9 <= y <= 11:
        return colour
    if 12 <= y <= 14 and abs(x - 7.5) <= 14 - y + 0.5:
        return colour
    return None


def bake(x, y):
    cell, cx = x // 16, x % 16
    disabled = cell >= 2
    pressed = cell % 2 == 1
    c = wall(cx, y, LIGHT_GREY if disabled else BRICK, GREY if disabled else MORTAR)
    if c is None:
        c = arrow(cx, y, GREY if disabled else (40, 110, 40) if pressed else (30, 140, 30))
    return c or FACE


def dots(x, y):
    cell, cx = x // 16, x % 16
    n = [2, 3, 4, 2][cell]
    colour = GREY if cell == 3 else DARK
    step = 12 / n
    for i in range(n):
        for j in range(n):
            px, py = 2 + step * i + step / 2, 2 + step * j + step / 2
            if abs(cx + 0.5 - px) <= 1 and abs(y + 0.5 - py) <= 1:
                return colour
    return FACE


def bonds(x, y):
    cell, cx = x // 48, x % 48
    stagger = [0.0, 0.5, 1.0 / 3][cell]
    tile_w, tile_h, mortar = 16, 8, 1
    row = y // tile_h
    if y % tile_h < mortar:
        return MORTAR
    u = cx + stagger * tile_w * row
    return MORTAR if int(u) % tile_w < mortar else BRICK


write_bmp("bake.bmp", 64, 16, bake)
write_bmp("antialias.bmp", 64, 16, dots)
write_bmp("bonds.bmp", 144, 32, bonds)
