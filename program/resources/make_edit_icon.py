#!/usr/bin/env python3
"""Draws the icon of the action editors' edit buttons: a pencil across a small
sheet, 16x16 with alpha. Run it from this folder; it writes EditAction.ico."""
import struct

SIZE = 16


def pixel(x, y):
    """RGBA of one pixel (y from the top)."""
    # The pencil: from the top right down to its tip on the sheet.
    across = x + y - 15
    if -1 <= across <= 1 and 1 <= y <= 11:
        if y >= 10:
            return (40, 40, 40, 255) if across == 0 or y == 10 else (0, 0, 0, 0)  # graphite tip
        if y >= 8:
            return (230, 190, 140, 255)     # wood
        if y <= 2:
            return (220, 90, 90, 255)       # eraser
        return (180, 140, 20, 255) if across == 1 else (240, 200, 40, 255)
    # The sheet: a white page with a grey border in the lower left.
    if 1 <= x <= 10 and 4 <= y <= 14:
        if x in (1, 10) or y in (4, 14):
            return (96, 96, 96, 255)
        if y in (7, 9, 11) and 3 <= x <= 7:
            return (150, 150, 150, 255)
        return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def ico():
    rows = b""
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            rows += struct.pack("BBBB", b, g, r, a)
    mask = b"\0" * (((SIZE + 31) // 32) * 4 * SIZE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = header + rows + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image


if __name__ == "__main__":
    with open("EditAction.ico", "wb") as f:
        f.write(ico())
