#!/usr/bin/env python3
"""Draws the launcher's icon (a shield with a check mark) and writes it as an
.ico with 16, 32 and 48 pixel images, 32 bits per pixel with alpha.

The icon is generated once and kept beside the resource script:

    python3 tools/images/make_icon.py ui/win32/setup.ico

Only the standard library is used, so the images can be redrawn anywhere.
"""
import math
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48)
SUPERSAMPLE = 4  # samples per pixel and axis, for smooth edges

BORDER = (0x16, 0x2F, 0x5C)
FILL_TOP = (0x3A, 0x8D, 0xF0)
FILL_BOTTOM = (0x17, 0x4A, 0x9E)
CHECK = (0xFF, 0xFF, 0xFF)

# The shield in unit coordinates (0..1, y downwards).
LEFT, RIGHT, TOP, WAIST, TIP = 0.14, 0.86, 0.07, 0.48, 0.95
BORDER_WIDTH = 0.06
CHECK_POINTS = ((0.31, 0.50), (0.45, 0.65), (0.71, 0.34))
CHECK_WIDTH = 0.10


def shield_half_width(y, shrink=0.0):
    """Half the shield's width at height y (0 outside), narrowed by shrink."""
    half = (RIGHT - LEFT) / 2
    top = TOP + shrink
    if y < top:
        return 0.0
    if y <= WAIST:
        return max(0.0, half - shrink)
    t = (y - WAIST) / (TIP - shrink - WAIST)
    if t >= 1:
        return 0.0
    return max(0.0, (half - shrink) * (1 - t ** 1.8) ** 0.75)


def inside_shield(x, y, shrink=0.0):
    return abs(x - 0.5) <= shield_half_width(y, shrink)


def distance_to_segment(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def on_check(x, y):
    half = CHECK_WIDTH / 2
    return any(distance_to_segment(x, y, CHECK_POINTS[i], CHECK_POINTS[i + 1]) <= half
               for i in range(len(CHECK_POINTS) - 1))


def sample(x, y):
    """Colour (r, g, b) at a point, or None outside the icon."""
    if not inside_shield(x, y):
        return None
    if not inside_shield(x, y, BORDER_WIDTH):
        return BORDER
    if on_check(x, y):
        return CHECK
    t = min(1.0, max(0.0, (y - TOP) / (TIP - TOP)))
    return tuple(round(FILL_TOP[i] + (FILL_BOTTOM[i] - FILL_TOP[i]) * t) for i in range(3))


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        hits += 1
            if hits:
                row.append((r // hits, g // hits, b // hits, round(255 * hits / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_image(size):
    """The icon image as the .ico format stores it: a BITMAPINFOHEADER of
    double height, bottom-up BGRA rows, then the 1-bit AND mask."""
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def ico(sizes):
    images = [bmp_image(s) for s in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main(argv):
    target = Path(argv[1]) if len(argv) > 1 else Path(__file__).resolve().parents[2] / 'ui' / 'win32' / 'setup.ico'
    target.write_bytes(ico(SIZES))
    print(f'wrote {target}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
