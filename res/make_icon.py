#!/usr/bin/env python3
"""Draws the TAV icon and writes it as tav.ico: 48, 32 and 16 pixels square, 16 colours each.

The picture: an old file page (blue tag) behind a new one (green tag), and a red arrow pointing
from the old to the new. Shapes are defined on a 48 x 48 grid and sampled at the centre of each
pixel, so every size shows the same design; outlines are one pixel wide at every size.

Usage: python3 make_icon.py [output.ico]
"""

import struct
import sys
from pathlib import Path

# The standard 16-colour palette of Windows.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 1, 2, 4, 7, 8, 9, 12, 15
TRANSPARENT = None
GRID = 48.0
FOLD = 8.0


def page(x0, y0, x1, y1):
    """A sheet with its top right corner folded down."""
    def inside(x, y):
        return x0 <= x < x1 and y0 <= y < y1 and (x - (x1 - FOLD)) <= (y - y0)
    return inside


def fold(x0, y0, x1, y1):
    def inside(x, y):
        return x1 - FOLD <= x < x1 and y0 <= y < y0 + FOLD and (x - (x1 - FOLD)) <= (y - y0)
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def arrow(x, y):
    shaft = 1 <= x < 11 and 38 <= y < 45
    head = 10 <= x < 19 and abs(y - 41.5) <= (19 - x) * 0.85
    return shaft or head


# Painted in order; each layer: (shape, fill colour, outline colour or None).
LAYERS = [
    (page(4, 2, 30, 36), WHITE, GRAY),
    (fold(4, 2, 30, 36), SILVER, GRAY),
    (rect(8, 10, 20, 12), SILVER, None),
    (rect(8, 14, 24, 16), SILVER, None),
    (rect(8, 18, 22, 20), SILVER, None),
    (rect(8, 24, 26, 31), BLUE, NAVY),
    (page(17, 11, 44, 46), WHITE, BLACK),
    (fold(17, 11, 44, 46), SILVER, BLACK),
    (rect(21, 20, 34, 22), GRAY, None),
    (rect(21, 24, 38, 26), GRAY, None),
    (rect(21, 28, 36, 30), GRAY, None),
    (rect(21, 34, 40, 41), GREEN, BLACK),
    (arrow, RED, MAROON),
]


def render(size):
    """Rows of palette indexes (None for transparent), top row first."""
    scale = GRID / size

    def sample(shape, i, j):
        if not (0 <= i < size and 0 <= j < size):
            return False
        return shape((i + 0.5) * scale, (j + 0.5) * scale)

    pixels = [[TRANSPARENT] * size for _ in range(size)]
    for shape, fill, outline in LAYERS:
        for j in range(size):
            for i in range(size):
                if not sample(shape, i, j):
                    continue
                edge = outline is not None and not all(
                    sample(shape, i + di, j + dj) for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                pixels[j][i] = outline if edge else fill
    return pixels


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def icon_image(pixels):
    """One image of the icon file: header, palette, 4-bit colour bits and the 1-bit mask."""
    size = len(pixels)
    colour_stride, mask_stride = row_bytes(size * 4), row_bytes(size)
    colour, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        line = bytearray(colour_stride)
        mask_line = bytearray(mask_stride)
        for i, index in enumerate(row):
            value = 0 if index is TRANSPARENT else index
            line[i // 2] |= value << (4 if i % 2 == 0 else 0)
            if index is TRANSPARENT:
                mask_line[i // 8] |= 0x80 >> (i % 8)
        colour += line
        mask += mask_line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(colour) + len(mask),
                         0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(sizes):
    images = [icon_image(render(size)) for size in sizes]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for size, image in zip(sizes, images):
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + entries + b''.join(images)


def main():
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name('tav.ico')
    output.write_bytes(icon_file([48, 32, 16]))


if __name__ == '__main__':
    main()
