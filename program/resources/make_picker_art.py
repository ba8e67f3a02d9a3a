#!/usr/bin/env python3
"""Draws the position picker's artwork of the keystroke editor: a target (a
crosshair in two rings) in black for the picker at rest and the same in grey
while it is dragged (its drag cursor is the window finder's). Run it from this
folder; it writes PickerTarget.bmp and PickerTargetGrey.bmp."""
import math
import struct

SIZE_BMP = 20


def target(size, ring_colour, background):
    """Pixels (rows top-down) of a crosshair in two rings; None = background."""
    centre = (size - 1) / 2.0
    outer, inner = size * 0.42, size * 0.22
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - centre, y - centre)
            on_ring = abs(d - outer) < 0.75 or abs(d - inner) < 0.7
            on_cross = (int(round(centre - 0.01)) == x or int(round(centre + 0.01)) == x) and 1 <= y <= size - 2 \
                or (int(round(centre - 0.01)) == y or int(round(centre + 0.01)) == y) and 1 <= x <= size - 2
            row.append(ring_colour if (on_ring or on_cross) else background)
        pixels.append(row)
    return pixels


def bmp(pixels):
    """A 24-bit bottom-up BMP file."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = b""
    for row in reversed(pixels):
        line = b"".join(struct.pack("BBB", b, g, r) for (r, g, b) in row)
        body += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(body), 0, 0, 14 + 40) + header + body


if __name__ == "__main__":
    face = (240, 240, 240)
    with open("PickerTarget.bmp", "wb") as f:
        f.write(bmp(target(SIZE_BMP, (0, 0, 0), face)))
    with open("PickerTargetGrey.bmp", "wb") as f:
        f.write(bmp(target(SIZE_BMP, (160, 160, 160), face)))
