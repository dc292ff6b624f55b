#!/usr/bin/env python3
"""Draws the skin gallery's own bitmaps into skin/gallery/bitmaps/*.bmp (committed, so a
Windows build needs no script), small and in a look of their own, so that the gallery does
not depend on the main program's resources. Standard library only:
`python3 skin/gallery/draw_gallery_bitmaps.py`."""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bitmaps")
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def write_bmp(name, pixels, palette=None, key=None):
    """pixels: rows top to bottom of (r, g, b); with a palette an 8-bit indexed file. A
    button bitmap's first pixel (the bottom-left one, rows are stored bottom up) must be a
    key pixel, as LR_LOADTRANSPARENT recolours the palette entry of that pixel."""
    h, w = len(pixels), len(pixels[0])
    if key is not None and pixels[h - 1][0] != key:
        raise ValueError("%s: the first pixel is not the key colour" % name)
    if palette is None:
        stride = (w * 3 + 3) & ~3
        body = b"".join(bytes(c for r, g, b in row for c in (b, g, r)).ljust(stride, b"\0")
                        for row in reversed(pixels))
        bits, colours, table = 24, 0, b""
    else:
        index = {c: i for i, c in enumerate(palette)}
        stride = (w + 3) & ~3
        body = b"".join(bytes(index[c] for c in row).ljust(stride, b"\0") for row in reversed(pixels))
        bits, colours = 8, len(palette)
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(body), 2835, 2835, colours, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header + info + table + body)


def background():
    """A third of the gallery's size; the gallery stretches it."""
    w, h = 176, 128
    top, bottom, body = (20, 70, 64), (36, 118, 104), (240, 245, 243)
    px = [[body] * w for _ in range(h)]
    for y in range(24):
        for x in range(w):
            px[y][x] = mix(top, bottom, y / 23)
    for x in range(w):
        px[24][x] = (120, 200, 170)
    write_bmp("background.bmp", px)


def face(w, h, top, bottom, border):
    """A rounded face on the black key colour; black does not occur inside."""
    r = 4
    px = [[BLACK] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            d = math.hypot(max(r - x, x - (w - 1 - r), 0), max(r - y, y - (h - 1 - r), 0))
            if d <= r:
                edge = d > r - 1 or x in (0, w - 1) or y in (0, h - 1)
                px[y][x] = border if edge else mix(top, bottom, y / (h - 1))
    return px


def glyph(w, h, inside, ink, back):
    """A glyph on the white key colour, or on a backdrop with its corners cut in white."""
    px = [[ink if inside(x, y) else (back or WHITE) for x in range(w)] for y in range(h)]
    for row, run in enumerate((2, 1)):
        for x in range(run):
            for yy in (row, h - 1 - row):
                px[yy][x] = px[yy][w - 1 - x] = WHITE
    return px


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    background()
    write_bmp("action_idle.bmp", face(84, 24, (252, 253, 252), (222, 236, 230), (130, 170, 155)), key=BLACK)
    write_bmp("action_active.bmp", face(84, 24, (110, 210, 175), (30, 140, 110), (20, 95, 75)), key=BLACK)

    hover, ink = (40, 150, 120), (248, 248, 248)
    cross = lambda x, y: 5 <= x <= 12 and 4 <= y <= 11 and abs(x - 5 - (y - 4)) <= 0.5 or \
        5 <= x <= 12 and 4 <= y <= 11 and abs(x - 5 + y - 4 - 7) <= 0.5
    minus = lambda x, y: 5 <= x <= 12 and 9 <= y <= 10
    ring = lambda x, y: 3.5 <= math.hypot(x - 8, y - 8) <= 5.2 and not (x > 8 and y < 7)
    qmark = lambda x, y: (3.2 <= math.hypot(x - 8, y - 6) <= 4.6 and not (y > 6 and x < 8)) \
        or (x in (7, 8) and (9 <= y <= 10 or y == 13))
    palette = [WHITE, ink, (190, 60, 50)]
    write_bmp("close_idle.bmp", glyph(18, 16, cross, ink, None), palette, WHITE)
    write_bmp("close_active.bmp", glyph(18, 16, cross, ink, (190, 60, 50)), palette, WHITE)
    for name, inside in (("minimize", minus), ("update", ring), ("help", qmark)):
        write_bmp("%s_idle.bmp" % name, glyph(18, 16, inside, ink, None), key=WHITE)
        write_bmp("%s_active.bmp" % name, glyph(18, 16, inside, ink, hover), key=WHITE)
