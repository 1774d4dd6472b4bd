#!/usr/bin/env python3
"""Writes the view tests' bitmap files beside this script; commit what it writes.

strip.bmp: 90 x 9, 24 bits per pixel, ten 9 x 9 cells. Cell k is filled with the colour
(20 k + 5, 250 - 20 k, 7 k + 30), except four pixels: the top-left one is grey (192, 192, 192),
the top-right one (240, 240, 240) and the bottom-left one (245, 245, 245), the button faces of
the usual colour schemes, and the bottom-right one is the cell colour with red and blue swapped.
The tests compute the same colours.

strip_cut.bmp: strip.bmp cut off after 100 bytes of pixels, a file that promises more than it
holds.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def cell_colour(k):
    return (20 * k + 5, 250 - 20 * k, 7 * k + 30)


def pixel(x, y):
    k, cx, cy = x // 9, x % 9, y
    r, g, b = cell_colour(k)
    if cx == 0 and cy == 0:
        return (192, 192, 192)
    if cx == 8 and cy == 0:
        return (240, 240, 240)
    if cx == 0 and cy == 8:
        return (245, 245, 245)
    if cx == 8 and cy == 8:
        return (b, g, r)
    return (r, g, b)


def write_bmp24(name, width, height, pixel_at):
    stride = (width * 3 + 3) // 4 * 4
    bits = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel_at(x, y)
            row += bytes((b, g, r))
        bits += row + bytes(stride - len(row))
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(bits), 0, 0, 0, 0)
    data = struct.pack('<2sIHHI', b'BM', 54 + len(bits), 0, 0, 54) + header + bits
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    write_bmp24('strip.bmp', 90, 9, pixel)
    with open(os.path.join(HERE, 'strip.bmp'), 'rb') as f:
        whole = f.read()
    with open(os.path.join(HERE, 'strip_cut.bmp'), 'wb') as f:
        f.write(whole[:54 + 100])
