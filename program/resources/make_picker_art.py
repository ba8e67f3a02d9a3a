#!/usr/bin/env python3
"""Draws the position picker's artwork of the keystroke editor: a target (a
crosshair in two rings) in black for the picker at rest, the same in grey
while it is dragged, and the drag cursor. Run it from this folder; it writes
PickerTarget.bmp, PickerTargetGrey.bmp and PickerTarget.cur."""
import math
import struct

SIZE_BMP = 20
SIZE_CUR = 32


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


def cur(size, hotspot):
    """A monochrome cursor file: black crosshair in rings, transparent elsewhere."""
    pixels = target(size, 1, None)
    row_bytes = ((size + 31) // 32) * 4
    xor, andmask = b"", b""
    for row in reversed(pixels):
        xbits = [0] * (row_bytes * 8)
        abits = [1] * (row_bytes * 8)
        for x, p in enumerate(row):
            if p is not None:
                abits[x] = 0  # opaque black: AND 0, XOR 0
        for bits, name in ((xbits, "x"), (abits, "a")):
            packed = bytes(int("".join(str(b) for b in bits[i:i + 8]), 2) for i in range(0, len(bits), 8))
            if name == "x":
                xor += packed
            else:
                andmask += packed
    palette = struct.pack("<BBBB", 0, 0, 0, 0) + struct.pack("<BBBB", 255, 255, 255, 0)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(andmask), 0, 0, 2, 0)
    image = header + palette + xor + andmask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    face = (240, 240, 240)
    with open("PickerTarget.bmp", "wb") as f:
        f.write(bmp(target(SIZE_BMP, (0, 0, 0), face)))
    with open("PickerTargetGrey.bmp", "wb") as f:
        f.write(bmp(target(SIZE_BMP, (160, 160, 160), face)))
    with open("PickerTarget.cur", "wb") as f:
        centre = (SIZE_CUR - 1) // 2
        f.write(cur(SIZE_CUR, (centre, centre)))
