#!/usr/bin/env python3
"""Draws the viewer's icon: a window with an amber title bar and lines of an
indented script in it. Writes script_view-<size>.png for the window icon (a
Qt resource) and script_view.ico for the Windows program, which holds the
same images: 16, 32 and 48 pixels as bitmaps, as every Windows reads them,
and 256 as PNG, as Explorer takes its large icons. Run it after changing it,
and commit what it writes:

    python3 script_view/icon/make_icon.py [OUTPUT_FOLDER]

The drawing is laid out on a grid of 16 by 16 units with whole-unit edges,
so that at every size (a unit is 1, 2, 3 or 16 pixels) the edges fall on
pixel boundaries and stay sharp; only the rounded corners are smoothed. The
output depends on nothing but this file and Python's zlib.
"""

import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
# Samples per pixel along each axis for the smoothed edges.
SAMPLES = 4

OUTLINE = (0x2F, 0x36, 0x40)
TITLE = (0xE3, 0x9B, 0x2D)
PAGE = (0xFD, 0xFD, 0xFB)
TEXT = (0x5A, 0x64, 0x72)
KEYWORD = (0x2F, 0x7D, 0xC1)

# The window, in grid units: left, top, right, bottom.
WINDOW = (1, 2, 15, 14)
TITLE_BOTTOM = 5
# Lines of the script: a first line, then two indented ones, the first of
# them starting with a keyword. Each is one unit tall.
LINES = (
    (3, 7, 10, TEXT),
    (5, 9, 7, KEYWORD),
    (8, 9, 13, TEXT),
    (5, 11, 10, TEXT),
)


def inside_rounded(x, y, box, radius):
    """Whether the point lies in the box with corners rounded by radius."""
    left, top, right, bottom = box
    if not (left <= x < right and top <= y < bottom):
        return False
    dx = max(left + radius - x, 0, x - (right - radius))
    dy = max(top + radius - y, 0, y - (bottom - radius))
    return dx * dx + dy * dy <= radius * radius


def draw(size):
    """The icon at size pixels: rows of (r, g, b, a) bytes, not premultiplied."""
    unit = size / 16
    outline = max(1, size // 32)
    radius = unit
    window = tuple(v * unit for v in WINDOW)
    inner = (window[0] + outline, window[1] + outline, window[2] - outline, window[3] - outline)
    title_bottom = TITLE_BOTTOM * unit
    lines = [((x0 * unit, y * unit, x1 * unit, (y + 1) * unit), colour) for x0, y, x1, colour in LINES]

    def colour_at(x, y):
        if not inside_rounded(x, y, window, radius):
            return None
        if not inside_rounded(x, y, inner, max(radius - outline, 0)):
            return OUTLINE
        if y < title_bottom:
            return TITLE
        # A rule under the title bar, as thick as the outline.
        if y < title_bottom + outline:
            return OUTLINE
        for (x0, y0, x1, y1), colour in lines:
            if x0 <= x < x1 and y0 <= y < y1:
                return colour
        return PAGE

    rows = []
    step = 1 / SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = colour_at(px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / SAMPLES**2)))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bitmap(rows):
    """An icon image in the bitmap form: a header, the pixels bottom-up as
    BGRA, and the mask, whose set bits are the transparent pixels."""
    size = len(rows)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_row_bytes = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        for r, g, b, a in row:
            bits = bits << 1 | (a == 0)
        bits <<= mask_row_bytes * 8 - size
        mask += bits.to_bytes(mask_row_bytes, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def ico(images):
    """images: (size, data) pairs."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, data in images)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    images = []
    for size in SIZES:
        rows = draw(size)
        encoded = png(rows)
        with open(os.path.join(folder, f"script_view-{size}.png"), "wb") as out:
            out.write(encoded)
        images.append((size, encoded if size >= 256 else bitmap(rows)))
    with open(os.path.join(folder, "script_view.ico"), "wb") as out:
        out.write(ico(images))


if __name__ == "__main__":
    main()
