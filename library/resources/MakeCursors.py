#!/usr/bin/env python3
"""Draws the library's own cursors (32x32, 32-bit with alpha) into .cur files.

Run from this folder; the .cur files it writes are kept in the tree so that the
build needs no Python. Shapes are plain polygons filled with a colour and given
a dark outline one pixel wide.
"""
import struct

SIZE = 32


def inside(poly, x, y):
    """Even-odd test of the pixel centre against a polygon."""
    px, py = x + 0.5, y + 0.5
    result = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > py) != (y2 > py):
            cross = x1 + (py - y1) * (x2 - x1) / (y2 - y1)
            if px < cross:
                result = not result
    return result


class Canvas:
    def __init__(self):
        self.px = [[None] * SIZE for _ in range(SIZE)]

    def fill(self, poly, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if inside(poly, x, y):
                    self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.px[y][x] = colour

    def outline(self, colour=(20, 20, 20)):
        """Every empty pixel next to a drawn one becomes the outline."""
        out = [row[:] for row in self.px]
        for y in range(SIZE):
            for x in range(SIZE):
                if self.px[y][x] is not None:
                    continue
                for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < SIZE and 0 <= ny < SIZE and self.px[ny][nx] not in (None, colour):
                        out[y][x] = colour
                        break
        self.px = out

    def write(self, path, hotspot):
        xor = bytearray()
        mask = bytearray()
        for y in reversed(range(SIZE)):
            bits = 0
            for x in range(SIZE):
                c = self.px[y][x]
                if c is None:
                    xor += bytes((0, 0, 0, 0))
                    bits |= 1 << (31 - x)
                else:
                    r, g, b = c
                    xor += bytes((b, g, r, 255))
            mask += struct.pack('>I', bits)
        header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        image = header + xor + mask
        directory = struct.pack('<HHH', 0, 2, 1)
        entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
        with open(path, 'wb') as f:
            f.write(directory + entry + image)


ARROW = [(1, 1), (1, 22), (6, 17), (10, 26), (13, 25), (9, 16), (16, 16)]


def arrow(colour):
    c = Canvas()
    c.fill(ARROW, colour)
    c.outline()
    return c


def double_arrow(c, horizontal, colour, lo=3, hi=29, mid=16, half=2, head=5):
    """A two-headed arrow along one axis through the middle."""
    if horizontal:
        shaft = [(lo + head, mid - half), (hi - head, mid - half), (hi - head, mid + half), (lo + head, mid + half)]
        left = [(lo, mid), (lo + head + 1, mid - head - 1), (lo + head + 1, mid + head + 1)]
        right = [(hi, mid), (hi - head - 1, mid - head - 1), (hi - head - 1, mid + head + 1)]
    else:
        shaft = [(mid - half, lo + head), (mid - half, hi - head), (mid + half, hi - head), (mid + half, lo + head)]
        left = [(mid, lo), (mid - head - 1, lo + head + 1), (mid + head + 1, lo + head + 1)]
        right = [(mid, hi), (mid - head - 1, hi - head - 1), (mid + head + 1, hi - head - 1)]
    for poly in (shaft, left, right):
        c.fill(poly, colour)


def padlock(c, colour=(230, 180, 40)):
    """A small padlock in the lower right corner: the lock cursors' mark."""
    c.rect(22, 25, 30, 31, colour)
    for y in range(21, 25):
        for x in (23, 28):
            c.px[y][x] = colour
    for x in range(23, 29):
        c.px[21][x] = colour


WHITE = (250, 250, 250)
cursors = {
    # Scrolling: four ways with a centre dot, horizontal only, vertical only.
    'scroll.cur': lambda c: (double_arrow(c, True, WHITE), double_arrow(c, False, WHITE)),
    'scrollx.cur': lambda c: double_arrow(c, True, WHITE),
    'scrolly.cur': lambda c: double_arrow(c, False, WHITE),
    # Locks: the axis that still moves, with a padlock; both axes held: a box.
    'lockx.cur': lambda c: (double_arrow(c, False, WHITE), padlock(c)),
    'locky.cur': lambda c: (double_arrow(c, True, WHITE), padlock(c)),
    'lockxy.cur': lambda c: (c.rect(10, 10, 22, 22, WHITE), c.rect(14, 14, 18, 18, (20, 20, 20)), padlock(c)),
}
for name, draw in cursors.items():
    canvas = Canvas()
    draw(canvas)
    canvas.outline()
    canvas.write(name, (16, 16))

colours = {
    'red.cur': (220, 40, 40),
    'green.cur': (40, 180, 60),
    'blue.cur': (50, 90, 230),
    'orange.cur': (245, 140, 20),
    'turquoise.cur': (30, 200, 200),
    'yellow.cur': (240, 220, 30),
}
for name, colour in colours.items():
    arrow(colour).write(name, (1, 1))
