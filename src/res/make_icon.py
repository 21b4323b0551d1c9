#!/usr/bin/env python3
"""Draws the application icon and writes it as a Windows .ico file.

usage: make_icon.py OUTPUT.ico

Three images: 16 x 16 and 32 x 32 in 256 colours (8-bit palette with an AND
mask for transparency) and 48 x 48 in 32-bit colour with alpha. The artwork
is a small service printer: a slate body with a paper sheet coming out of it,
a green status lamp, and an orange wrench across its front. Shapes are given
in a 0..1 square and rendered with 4 x 4 supersampling, so every size comes
from the same drawing. Standard library only, so the build needs nothing but
a Python 3 interpreter.
"""

import math
import struct
import sys

SUPERSAMPLE = 4

# Colours as (r, g, b).
OUTLINE = (40, 44, 58)
BODY = (84, 98, 130)
BODY_LIGHT = (128, 144, 178)
SLOT = (30, 32, 40)
PAPER = (250, 250, 246)
PAPER_LINES = (150, 160, 180)
LAMP = (60, 200, 90)
WRENCH = (240, 140, 30)
WRENCH_DARK = (150, 80, 10)


def in_rect(x, y, x0, y0, x1, y1):
    return x0 <= x < x1 and y0 <= y < y1


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if not in_rect(x, y, x0, y0, x1, y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_wrench(x, y):
    """A wrench lying from bottom-left to top-right across the body."""
    # Rotate the point into the wrench's own frame: handle along +u.
    angle = math.radians(35)
    ox, oy = 0.20, 0.86
    dx, dy = x - ox, y - oy
    u = dx * math.cos(angle) - dy * math.sin(angle)
    v = dx * math.sin(angle) + dy * math.cos(angle)
    handle = 0.0 <= u <= 0.62 and abs(v) <= 0.07
    head = in_circle(u, v, 0.68, 0.0, 0.15)
    jaw = 0.68 <= u <= 0.86 and abs(v) <= 0.055
    return (handle or head) and not jaw


def colour_at(x, y):
    """The colour and coverage (0 or 1) of the drawing at a point of the unit square."""
    if in_wrench(x, y):
        # A darker rim makes the wrench read at 16 pixels.
        if in_wrench(x + 0.025, y + 0.025) and in_wrench(x - 0.025, y - 0.025):
            return WRENCH, 1
        return WRENCH_DARK, 1
    # Paper sheet rising out of the top of the body.
    if in_rect(x, y, 0.28, 0.06, 0.72, 0.40):
        if in_rect(x, y, 0.33, 0.14, 0.67, 0.34) and int(y * 40) % 4 == 0:
            return PAPER_LINES, 1
        if not in_rect(x, y, 0.295, 0.075, 0.705, 0.40):
            return OUTLINE, 1
        return PAPER, 1
    if in_round_rect(x, y, 0.06, 0.34, 0.94, 0.88, 0.08):
        if not in_round_rect(x, y, 0.09, 0.37, 0.91, 0.85, 0.06):
            return OUTLINE, 1
        if in_rect(x, y, 0.22, 0.44, 0.78, 0.50):
            return SLOT, 1
        if in_circle(x, y, 0.80, 0.70, 0.06):
            return LAMP, 1
        if y < 0.56:
            return BODY_LIGHT, 1
        return BODY, 1
    return (0, 0, 0), 0


def render(size):
    """Returns size*size (r, g, b, a) tuples, top row first, a in 0..255."""
    pixels = []
    n = SUPERSAMPLE
    for py in range(size):
        for px in range(size):
            r = g = b = cover = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    (cr, cg, cb), c = colour_at(x, y)
                    r += cr * c
                    g += cg * c
                    b += cb * c
                    cover += c
            if cover:
                pixels.append((r // cover, g // cover, b // cover, cover * 255 // (n * n)))
            else:
                pixels.append((0, 0, 0, 0))
    return pixels


DRAWING_COLOURS = [OUTLINE, BODY, BODY_LIGHT, SLOT, PAPER, PAPER_LINES, LAMP, WRENCH, WRENCH_DARK]


def palette_256():
    """The drawing's own colours, a 6 x 6 x 6 colour cube, then greys: 256 entries."""
    pal = list(DRAWING_COLOURS)
    levels = [0, 51, 102, 153, 204, 255]
    pal += [(r, g, b) for r in levels for g in levels for b in levels]
    steps = 256 - len(pal)
    pal += [(i * 255 // (steps - 1),) * 3 for i in range(steps)]
    return pal


def nearest(pal, rgb):
    """The closest of the drawing's own colours: small images stay crisp
    instead of filling edges with in-between shades."""
    r, g, b = rgb
    return min(range(len(DRAWING_COLOURS)),
               key=lambda i: (pal[i][0] - r) ** 2 * 3 + (pal[i][1] - g) ** 2 * 4 + (pal[i][2] - b) ** 2 * 2)


def and_mask(pixels, size, opaque):
    """The 1-bit AND mask, bottom row first, rows padded to 32 bits; 1 = transparent."""
    row_bytes = ((size + 31) // 32) * 4
    out = bytearray()
    for row in range(size - 1, -1, -1):
        bits = bytearray(row_bytes)
        for col in range(size):
            if not opaque(pixels[row * size + col]):
                bits[col // 8] |= 0x80 >> (col % 8)
        out += bits
    return bytes(out)


def bitmap_header(size, bpp, colours):
    # BITMAPINFOHEADER; the height counts the XOR image and the AND mask.
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, colours, 0)


def image_8bit(size):
    pixels = render(size)
    pal = palette_256()
    cache = {}
    opaque = lambda p: p[3] >= 128
    body = bytearray()
    for row in range(size - 1, -1, -1):
        line = bytearray()
        for col in range(size):
            p = pixels[row * size + col]
            if opaque(p):
                key = p[:3]
                if key not in cache:
                    cache[key] = nearest(pal, key)
                line.append(cache[key])
            else:
                line.append(0)
        line += bytes((-len(line)) % 4)
        body += line
    table = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in pal)
    return bitmap_header(size, 8, 256) + table + bytes(body) + and_mask(pixels, size, opaque)


def image_32bit(size):
    pixels = render(size)
    body = bytearray()
    for row in range(size - 1, -1, -1):
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            body += struct.pack('BBBB', b, g, r, a)
    return bitmap_header(size, 32, 0) + bytes(body) + and_mask(pixels, size, lambda p: p[3] > 0)


def write_ico(path, images):
    """images: list of (size, colour count for the directory, bpp, DIB bytes)."""
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, colours, bpp, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours % 256, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: make_icon.py OUTPUT.ico\n')
        return 2
    write_ico(argv[1], [
        (16, 0, 8, image_8bit(16)),
        (32, 0, 8, image_8bit(32)),
        (48, 0, 32, image_32bit(48)),
    ])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
