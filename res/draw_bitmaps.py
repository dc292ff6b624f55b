#!/usr/bin/env python3
"""Draws the main program's skin into res/bitmaps/*.bmp (committed, so a Windows build
needs no script). Standard library only: run it with `python3 res/draw_bitmaps.py`."""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bitmaps")
MAGENTA = (255, 0, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def write_bmp(name, pixels, palette=None, key=None):
    """pixels: rows top to bottom of (r, g, b). With a palette, an 8-bit indexed file.

    A button bitmap names its key colour, and its first pixel must have it. The program loads
    the buttons with LR_LOADTRANSPARENT, which gives the palette entry of the first pixel (the
    bottom-left one: rows are stored bottom up) the system's window colour. Were that pixel
    part of the picture, the picture would lose that colour; as a key pixel it only turns the
    key pixels into the window colour, and the program keys on whatever colour they took."""
    h, w = len(pixels), len(pixels[0])
    if key is not None and pixels[h - 1][0] != key:
        raise ValueError("%s: the first pixel is %r, not the key colour %r" % (name, pixels[h - 1][0], key))
    if palette is None:
        stride = (w * 3 + 3) & ~3
        body = bytearray()
        for row in reversed(pixels):
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            body += line + bytes(stride - len(line))
        bits, colours, table = 24, 0, b""
    else:
        index = {c: i for i, c in enumerate(palette)}
        stride = (w + 3) & ~3
        body = bytearray()
        for row in reversed(pixels):
            line = bytes(index[c] for c in row)
            body += line + bytes(stride - len(line))
        bits, colours = 8, len(palette)
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(body), 2835, 2835, colours, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header + info + table + body)


def canvas(w, h, colour):
    return [[colour] * w for _ in range(h)]


def background():
    w, h = 440, 560
    top, bottom = (16, 58, 110), (23, 105, 170)
    body, line = (244, 246, 249), (214, 220, 228)
    px = canvas(w, h, body)
    for y in range(150):  # header band with a soft vertical gradient
        c = mix(top, bottom, y / 149)
        for x in range(w):
            px[y][x] = c
    # Platter rings, right of the header: the drive that reaches further.
    cx, cy = 360, 86
    for y in range(150):
        for x in range(250, w):
            d = math.hypot(x - cx, y - cy)
            for radius, shade in ((64, 0.22), (48, 0.16), (32, 0.12), (10, 0.35)):
                if abs(d - radius) < 1.2:
                    px[y][x] = mix(px[y][x], WHITE, shade)
    for x in range(w):  # accent line under the header
        px[150][x] = (90, 170, 230)
        px[151][x] = (60, 140, 205)
    for y in range(152, h - 1):  # a thin frame keeps the light body from bleeding out
        px[y][0] = px[y][w - 1] = line
    for x in range(w):
        px[h - 1][x] = line
    # Rounded corners: runs of 4, 2, 1 and 1 key pixels on the rows nearest each corner.
    for row, run in enumerate((4, 2, 1, 1)):
        for x in range(run):
            for yy in (row, h - 1 - row):
                px[yy][x] = MAGENTA
                px[yy][w - 1 - x] = MAGENTA
    write_bmp("background.bmp", px)


def rounded_face(w, h, key, top, bottom, border):
    px = canvas(w, h, key)
    r = 4
    for y in range(h):
        for x in range(w):
            dx = max(r - x, x - (w - 1 - r), 0)
            dy = max(r - y, y - (h - 1 - r), 0)
            d = math.hypot(dx, dy)
            if d > r:
                continue
            px[y][x] = border if d > r - 1 or x in (0, w - 1) or y in (0, h - 1) else mix(
                top, bottom, y / (h - 1))
    # The key colour may not appear inside the face.
    return [[(1, 1, 1) if c == key and inside(x, y, w, h, r) else c for x, c in enumerate(row)]
            for y, row in enumerate(px)]


def inside(x, y, w, h, r):
    dx = max(r - x, x - (w - 1 - r), 0)
    dy = max(r - y, y - (h - 1 - r), 0)
    return math.hypot(dx, dy) <= r


def action_buttons():
    idle = ((250, 251, 253), (226, 232, 240), (150, 165, 185))
    active = ((120, 190, 245), (40, 120, 200), (25, 85, 150))
    for name in ("create", "partition", "recover"):
        write_bmp("%s_idle.bmp" % name, rounded_face(83, 23, BLACK, *idle), key=BLACK)
        write_bmp("%s_active.bmp" % name, rounded_face(83, 23, BLACK, *active), key=BLACK)


def glyph_button(w, h, glyph, colour, back):
    """A glyph on the white key colour, or on a backdrop whose corners are cut off in the key
    colour (which also makes the first pixel a key pixel)."""
    px = canvas(w, h, WHITE)
    for y in range(h):
        for x in range(w):
            if back is not None:
                px[y][x] = back
            if glyph(x, y):
                px[y][x] = colour
    for row, run in enumerate((2, 1)):
        for x in range(run):
            for yy in (row, h - 1 - row):
                px[yy][x] = px[yy][w - 1 - x] = WHITE
    return px


def caption_buttons():
    hover = (60, 140, 205)
    minus = lambda x, y: 8 <= x <= 16 and 12 <= y <= 13
    write_bmp("minimize_idle.bmp", glyph_button(25, 19, minus, (250, 250, 250), None), key=WHITE)
    write_bmp("minimize_active.bmp", glyph_button(25, 19, minus, (250, 250, 250), hover), key=WHITE)

    cross = lambda x, y: 7 <= x <= 16 and 5 <= y <= 14 and (abs((x - 7) - (y - 5)) <= 0 or
                                                            abs((x - 7) + (y - 5) - 9) <= 0 or
                                                            abs((x - 8) - (y - 5)) <= 0 or
                                                            abs((x - 8) + (y - 5) - 9) <= 0)
    red = (200, 50, 50)
    palette = [WHITE, (250, 250, 250), red]
    write_bmp("close_idle.bmp", glyph_button(24, 19, cross, (250, 250, 250), None), palette, WHITE)
    write_bmp("close_active.bmp", glyph_button(24, 19, cross, (250, 250, 250), red), palette, WHITE)

    ring = lambda x, y: 4.2 <= math.hypot(x - 7.5, y - 7.5) <= 6.2 and not (x > 8 and y < 6)
    arrow = lambda x, y: ring(x, y) or (9 <= x <= 13 and 1 <= y <= 5 and x - 9 >= y - 1)
    qmark = lambda x, y: ((4.0 <= math.hypot(x - 7.5, y - 5.5) <= 5.6 and not (y > 6 and x < 8))
                          or (7 <= x <= 8 and 9 <= y <= 11) or (7 <= x <= 8 and 13 <= y <= 14))
    for name, glyph in (("liveupdate", arrow), ("help", qmark)):
        write_bmp("%s_idle.bmp" % name, glyph_button(16, 16, glyph, (230, 240, 250), None), key=WHITE)
        # Nearly white: pure white is the key colour and would let the backdrop show through.
        write_bmp("%s_active.bmp" % name, glyph_button(16, 16, glyph, (252, 252, 252), hover), key=WHITE)


def icon_image(n):
    """The program's icon at n x n pixels: a drive's platter on a blue tile, with a bar that
    reaches past its edge. Rows top to bottom of (r, g, b, a)."""
    top, bottom = (23, 105, 170), (16, 58, 110)
    c = (n - 1) / 2.0
    r_tile = n * 0.18
    px = []
    for y in range(n):
        row = []
        for x in range(n):
            # A rounded tile, its edge softened over one pixel.
            dx = max(r_tile - x, x - (n - 1 - r_tile), 0)
            dy = max(r_tile - y, y - (n - 1 - r_tile), 0)
            cover = max(0.0, min(1.0, r_tile + 0.5 - math.hypot(dx, dy)))
            colour = mix(top, bottom, y / (n - 1))
            d = math.hypot(x - c * 0.86, y - c)
            for radius, shade in ((0.62, 0.85), (0.40, 0.55), (0.12, 0.95)):
                if abs(d - radius * c) < max(0.7, n / 40.0):
                    colour = mix(colour, WHITE, shade)
            # The reach: a bright bar from the platter's centre out past its rim.
            if abs(y - c) <= max(0.6, n / 24.0) and c * 0.86 <= x <= n - 1 - n * 0.08:
                colour = (120, 220, 120)
            row.append(colour + (int(round(255 * cover)),))
        px.append(row)
    return px


def write_ico(name, sizes):
    """A Windows icon file with one 32-bit image (alpha, and an empty AND mask) per size."""
    images = []
    for n in sizes:
        px = icon_image(n)
        xor = bytearray()
        for row in reversed(px):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((n + 31) // 32) * 4
        mask = bytes(mask_stride * n)
        header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((n, header + bytes(xor) + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    background()
    action_buttons()
    caption_buttons()
    write_ico("overreach.ico", (16, 32, 48))
