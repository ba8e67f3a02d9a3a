#!/usr/bin/env python3
"""Draws the artwork of the profile dialogs: the window finder's two bitmaps
(its cursor is the target cursor of the editors), and the application picker's two fallback icons. Run it in
this folder; it rewrites the files it names."""
import struct


def bmp24(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for (r, g, b) in pixels[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(pixels, mask):
    """32-bit BGRA image with its AND mask, as stored in .ico/.cur files."""
    size = len(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for (r, g, b, a) in pixels[y]:
            xor += bytes((b, g, r, a))
    row = ((size + 31) // 32) * 4
    andmask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(row)
        for x in range(size):
            if mask[y][x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        andmask += bits
    return info + xor + andmask


def write_icon(path, pixels, mask, cursor_hotspot=None):
    size = len(pixels)
    image = icon_image(pixels, mask)
    kind = 2 if cursor_hotspot else 1
    planes, bits = cursor_hotspot if cursor_hotspot else (1, 32)
    head = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, planes, bits, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(head + entry + image)


GREY = (212, 208, 200)
DARK = (64, 64, 64)
WHITE = (255, 255, 255)
BLUE = (40, 90, 180)


def finder_frame():
    size = 32
    px = [[GREY] * size for _ in range(size)]
    for i in range(2, 30):
        px[2][i] = px[29][i] = px[i][2] = px[i][29] = DARK
    for y in range(3, 29):
        for x in range(3, 29):
            px[y][x] = WHITE
    return px


def finder_full():
    px = finder_frame()
    for i in range(7, 25):
        px[16][i] = px[i][16] = BLUE
    for y in range(9, 24):
        for x in range(9, 24):
            d = (x - 16) ** 2 + (y - 16) ** 2
            if 36 <= d <= 52:
                px[y][x] = BLUE
    return px


def app_icon(modern):
    size = 16
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    mask = [[1] * size for _ in range(size)]

    def ink(x, y, colour):
        px[y][x] = colour + (255,)
        mask[y][x] = 0

    if modern:
        for (ox, oy, colour) in ((1, 1, (0, 120, 215)), (8, 1, (16, 137, 62)), (1, 8, (232, 17, 35)), (8, 8, (255, 185, 0))):
            for y in range(oy, oy + 7):
                for x in range(ox, ox + 7):
                    ink(x, y, colour)
    else:
        for y in range(2, 14):
            for x in range(1, 15):
                edge = y in (2, 13) or x in (1, 14)
                ink(x, y, DARK if edge else (WHITE if y > 4 else BLUE))
    return px, mask


bmp24("Finder.bmp", finder_full())
bmp24("FinderEmpty.bmp", finder_frame())
pixels, mask = app_icon(False)
write_icon("AppPlain.ico", pixels, mask)
pixels, mask = app_icon(True)
write_icon("AppModern.ico", pixels, mask)
