#!/usr/bin/env python3
"""Draws the library's small images and writes them beside this script as BMP, CUR and ICO files.

Run it again after changing a picture and commit the files it writes; the build only reads them.
Every image uses the 16 colours of the standard Windows palette, 4 bits per pixel. Button images
have a light grey (192, 192, 192) background: the colour the image lists treat as transparent
(the host's button face).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette, by name.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
FACE = SILVER


class Canvas:
    """A grid of palette indices, row 0 at the top."""

    def __init__(self, width, height, fill=FACE):
        self.width, self.height = width, height
        self.px = [[fill] * width for _ in range(height)]

    def put(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.put(x, y, c)
                elif fill is not None:
                    self.put(x, y, fill)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.put(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def art(self, x0, y0, rows, colours):
        """Pixels from text rows: each character names a colour in colours; '.' leaves a pixel."""
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch != '.':
                    self.put(x0 + x, y0 + y, colours[ch])


def dib_rows_4bpp(canvas):
    """The pixel rows of a 4-bit device-independent bitmap, bottom-up, padded to 4 bytes."""
    stride = ((canvas.width * 4 + 31) // 32) * 4
    out = bytearray()
    for row in reversed(canvas.px):
        line = bytearray(stride)
        for x, c in enumerate(row):
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        out += line
    return bytes(out)


def mask_rows(canvas, transparent):
    """The 1-bit AND mask of an icon or cursor: set where the image is transparent."""
    stride = ((canvas.width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(canvas.px):
        line = bytearray(stride)
        for x, c in enumerate(row):
            if c == transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def palette_bytes():
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)


def info_header(width, height, size_image):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, size_image, 0, 0, 16, 0)


def write_bmp(name, canvas):
    bits = dib_rows_4bpp(canvas)
    offset = 14 + 40 + 64
    data = struct.pack('<2sIHHI', b'BM', offset + len(bits), 0, 0, offset)
    data += info_header(canvas.width, canvas.height, len(bits)) + palette_bytes() + bits
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def icon_image(canvas, transparent):
    """The DIB of one icon or cursor image: header (twice the height), palette, colours, mask.
    Transparent pixels are black in the colour bits, so the AND mask leaves the screen as it is."""
    solid = Canvas(canvas.width, canvas.height)
    solid.px = [[BLACK if c == transparent else c for c in row] for row in canvas.px]
    bits = dib_rows_4bpp(solid)
    mask = mask_rows(canvas, transparent)
    return info_header(canvas.width, canvas.height * 2, len(bits) + len(mask)) + palette_bytes() + bits + mask


def write_icon_file(name, kind, images):
    """images: (canvas, transparent colour, hot spot or None) for each size."""
    head = struct.pack('<HHH', 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b'', b''
    for canvas, transparent, hot in images:
        blob = icon_image(canvas, transparent)
        a, b = hot if kind == 2 else (1, 4)  # a cursor's hot spot, an icon's planes and depth
        entries += struct.pack('<BBBBHHII', canvas.width, canvas.height, 16, 0, a, b, len(blob), offset)
        offset += len(blob)
        blobs += blob
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + entries + blobs)


def strip(count, w, h):
    return Canvas(count * w, h)


# ---- 117: the bypass button, three 9 x 9 images: shown (in), hidden (out), disabled ----
def bypass_images():
    c = strip(3, 9, 9)
    eye = ['..kkkkk..', '.k.....k.', 'k..ppp..k', 'k.ppppp.k', 'k..ppp..k', '.k.....k.', '..kkkkk..']
    c.art(0, 1, eye, {'k': BLACK, 'p': BLUE})
    c.art(9, 1, ['..kkkkk..', '.k.....k.', 'k.......k', 'k.......k', 'k.......k', '.k.....k.', '..kkkkk..'],
          {'k': BLACK})
    c.art(18, 1, eye, {'k': GREY, 'p': GREY})
    return c


# ---- 107: the filter toolbar, eight 16 x 15 images ----
def toolbar_images():
    c = strip(8, 16, 15)
    # 0 accept: a green tick
    c.art(0, 3, ['............gg', '...........gg.', '..........gg..', '.g.......gg...', '.gg.....gg....',
                 '..gg...gg.....', '...gg.gg......', '....ggg.......', '.....g........'], {'g': GREEN})
    # 1 cancel: a red cross
    for d in (0, 1):
        c.line(16 + 3 + d, 3, 16 + 11 + d, 11, RED)
        c.line(16 + 11 + d, 3, 16 + 3 + d, 11, RED)
    # 2 reset: a circular arrow
    c.art(32 + 2, 2, ['....bbbbb...', '..bb.....bb.', '.b.........b', 'b...........', 'b...........',
                      'b........b..', 'b.......bbb.', '.b.....bbbbb', '..bb.....b..', '....bbbbb...'],
          {'b': NAVY})
    # 3 load: an open folder
    c.art(48 + 1, 3, ['.kkkk.........', 'kyyyyk........', 'kyyyyykkkkkkk.', 'kyyyyyyyyyyyk.', 'kyykkkkkkkkkkk',
                      'kyk.ooooooooo.', 'kk.oooooooook.', 'k.ooooooooook.', 'kkkkkkkkkkkk..'],
          {'k': BLACK, 'y': YELLOW, 'o': OLIVE})
    # 4 save: a diskette
    def diskette(x0):
        c.rect(x0 + 2, 2, x0 + 13, 13, BLACK, NAVY)
        c.rect(x0 + 4, 2, x0 + 11, 6, BLACK, WHITE)
        c.rect(x0 + 5, 9, x0 + 10, 13, BLACK, SILVER)
    diskette(64)
    # 5 save as: a diskette and three dots
    diskette(80)
    for x in (88, 91, 94):
        c.put(x, 14, BLACK)
    # 6 preview: a framed picture, sky and a hill
    def picture(x0):
        c.rect(x0 + 1, 2, x0 + 14, 12, BLACK, AQUA)
        for y in range(8, 12):
            c.line(x0 + 2, y, x0 + 13, y, GREEN)
        c.rect(x0 + 10, 4, x0 + 11, 5, YELLOW, YELLOW)
    picture(96)
    # 7 setup and preview: the picture with a tool mark
    picture(112)
    c.line(112 + 9, 14, 112 + 15, 8, RED)
    c.line(112 + 10, 14, 112 + 15, 9, RED)
    return c


# ---- 105: the time toolbar, six 16 x 15 images: previous, play, stop, next, unlock, lock ----
def time_images():
    c = strip(6, 16, 15)
    for y in range(4, 11):
        c.line(0 + 5 + abs(y - 7), y, 0 + 8, y, BLACK)  # previous: a left triangle and a bar
        c.line(16 + 5, y, 16 + 5 + 6 - 2 * abs(y - 7), y, GREEN)  # play
    c.line(0 + 10, 4, 0 + 10, 10, BLACK)
    c.rect(32 + 4, 4, 32 + 11, 11, BLACK, RED)  # stop
    for y in range(4, 11):
        c.line(48 + 7, y, 48 + 10 - abs(y - 7), y, BLACK)  # next
    c.line(48 + 5, 4, 48 + 5, 10, BLACK)
    for x0, open_ in ((64, True), (80, False)):  # padlocks
        c.rect(x0 + 4, 7, x0 + 11, 13, BLACK, YELLOW)
        c.rect(x0 + 5, 2, x0 + 10, 7, BLACK)
        if open_:
            c.line(x0 + 10, 5, x0 + 10, 7, FACE)
    return c


# ---- 106: the alpha channel fly-off, eight 16 x 15 images ----
def alpha_images():
    c = strip(8, 16, 15)
    fills = [None, RED, LIME, BLUE, WHITE, GREY, BLACK, FUCHSIA]
    for i, fill in enumerate(fills):
        x0 = i * 16
        c.rect(x0 + 2, 2, x0 + 13, 12, BLACK, fill)
        c.art(x0 + 5, 4, ['.kk.', 'k..k', 'kkkk', 'k..k', 'k..k'], {'k': WHITE if fill == BLACK else BLACK})
    return c


# ---- 118: image input options, two 16 x 15 images (out, in) ----
def input_images():
    c = strip(2, 16, 15)
    for x0, d in ((0, 0), (16, 1)):
        c.rect(x0 + 2 + d, 2 + d, x0 + 12 + d, 11 + d, BLACK, WHITE)
        for y in (5, 7, 9):
            c.line(x0 + 4 + d, y + d, x0 + 10 + d, y + d, NAVY)
    return c


# ---- 119: fields and aspect, two 16 x 15 images (out, in) ----
def fields_images():
    c = strip(2, 16, 15)
    for x0, d in ((0, 0), (16, 1)):
        c.rect(x0 + 1 + d, 3 + d, x0 + 13 + d, 11 + d, BLACK)
        for y in range(5, 11, 2):
            c.line(x0 + 3 + d, y + d, x0 + 11 + d, y + d, TEAL)
    return c


# ---- Cursor 115: the arrow with a cross, shown while a flag would be deleted on release ----
def delete_cursor():
    c = Canvas(32, 32, FUCHSIA)
    arrow = ['k', 'kk', 'kwk', 'kwwk', 'kwwwk', 'kwwwwk', 'kwwwwwk', 'kwwwwwwk', 'kwwwwwwwk', 'kwwwwwwwwk',
             'kwwwwwkkkkk', 'kwwkwwk', 'kwk.kwwk', 'kk..kwwk', 'k....kwwk', '.....kwwk', '......kk']
    c.art(0, 0, arrow, {'k': BLACK, 'w': WHITE})
    for d in (0, 1):
        c.line(14 + d, 14, 22 + d, 22, RED)
        c.line(22 + d, 14, 14 + d, 22, RED)
    return c


# ---- Icon 135: the library's dialogs, a colour ramp over three flags ----
def library_icon(size):
    c = Canvas(size, size, FUCHSIA)
    s = size / 32
    ramp = [RED, MAROON, PURPLE, NAVY, BLUE]
    top, bottom = int(6 * s), int(20 * s)
    for x in range(int(2 * s), size - int(2 * s)):
        colour = ramp[min(len(ramp) - 1, (x - int(2 * s)) * len(ramp) // (size - int(4 * s)))]
        for y in range(top, bottom):
            c.put(x, y, colour)
    c.rect(int(2 * s), top, size - int(2 * s) - 1, bottom - 1, BLACK)
    for fx in (int(2 * s), size // 2, size - int(2 * s) - 1):
        for k in range(int(5 * s)):
            c.line(fx - k, bottom + 1 + k, fx + k, bottom + 1 + k, BLACK)
    return c


def main():
    write_bmp('bypass.bmp', bypass_images())          # 117
    write_bmp('toolbar.bmp', toolbar_images())        # 107
    write_bmp('timebar.bmp', time_images())           # 105
    write_bmp('alpha.bmp', alpha_images())            # 106
    write_bmp('input.bmp', input_images())            # 118
    write_bmp('fields.bmp', fields_images())          # 119
    write_icon_file('delete.cur', 2, [(delete_cursor(), FUCHSIA, (0, 0))])  # 115
    write_icon_file('quorlib.ico', 1, [(library_icon(32), FUCHSIA, None),
                                       (library_icon(16), FUCHSIA, None)])  # 135


if __name__ == '__main__':
    main()
