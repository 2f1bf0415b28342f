#!/usr/bin/env python3
"""Draws the two pictures of the page-load progress ring.

ProgBg is a grey disc (dark rim, lighter grey ring, dark grey centre); ProgBg2
is the same disc with the ring in blue. Both are written at 50 x 50 pixels and,
for screens of device pixel ratio 2, at 100 x 100 ("@2x").

The files are 8-bit RGB, Adam7-interlaced, with white declared transparent by
a tRNS chunk: the corners are pure white and so become holes. Nothing inside
the disc is pure white, or it would show as a hole too. Only the standard
library is used, so the pictures can be remade anywhere:

    scripts/make-progress-pictures.py resources/
"""

import math
import struct
import sys
import zlib
from pathlib import Path

WHITE = (255, 255, 255)
RIM = (78, 78, 78)
RING_GREY = (186, 186, 186)
RING_BLUE = (33, 131, 228)
CENTRE = (58, 58, 58)

# Radii as fractions of the disc's radius.
RIM_INNER = 0.90
RING_INNER = 0.62
SUPERSAMPLE = 4


def colour_at(r, ring):
    """The colour of the disc at distance r (in radii) from its centre."""
    if r > 1.0:
        return WHITE
    if r > RIM_INNER:
        return RIM
    if r > RING_INNER:
        # A slight fall-off towards the rim gives the ring some depth.
        t = (r - RING_INNER) / (RIM_INNER - RING_INNER)
        return tuple(round(c * (1.0 - 0.12 * t)) for c in ring)
    # The centre lightens a little towards the middle, behind the white figures.
    t = r / RING_INNER
    return tuple(round(c + 14 * (1.0 - t)) for c in CENTRE)


def draw(side, ring):
    """Rows of (r, g, b) for a disc filling a side x side square."""
    radius = side / 2.0
    rows = []
    n = SUPERSAMPLE
    for y in range(side):
        row = []
        for x in range(side):
            acc = [0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    px = x + (sx + 0.5) / n - radius
                    py = y + (sy + 0.5) / n - radius
                    c = colour_at(math.hypot(px, py) / radius, ring)
                    for i in range(3):
                        acc[i] += c[i]
            pixel = tuple(round(a / (n * n)) for a in acc)
            # Only the area outside the disc may be transparent.
            if pixel == WHITE and math.hypot(x + 0.5 - radius, y + 0.5 - radius) < radius:
                pixel = (254, 254, 254)
            row.append(pixel)
        rows.append(row)
    return rows


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def interlaced_scanlines(rows):
    side_y = len(rows)
    side_x = len(rows[0])
    out = bytearray()
    for x0, y0, dx, dy in ADAM7:
        if x0 >= side_x or y0 >= side_y:
            continue  # an empty pass has no scanlines at all
        for y in range(y0, side_y, dy):
            out.append(0)  # filter type None
            for x in range(x0, side_x, dx):
                out.extend(rows[y][x])
    return bytes(out)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(rows):
    height = len(rows)
    width = len(rows[0])
    # bit depth 8, colour type 2 (RGB), compression 0, filter 0, interlace 1 (Adam7)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 1)
    trns = struct.pack(">HHH", *WHITE)
    data = zlib.compress(interlaced_scanlines(rows), 9)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"tRNS", trns) + chunk(b"IDAT", data)
            + chunk(b"IEND", b""))


def main():
    target = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    if not target.is_dir():
        sys.exit(f"no such folder: {target}")
    for name, ring in (("ProgBg", RING_GREY), ("ProgBg2", RING_BLUE)):
        for suffix, side in (("", 50), ("@2x", 100)):
            path = target / f"{name}{suffix}.png"
            path.write_bytes(png(draw(side, ring)))
            print(path)


if __name__ == "__main__":
    main()
