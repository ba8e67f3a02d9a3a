#!/usr/bin/env python3
"""Splits an .ico file into its images (<name>-<n>.dib) and its group directory
(<name>.grp) with image ids from a given first id, for a resource script to
bind as raw resources:
    <first id> 3 "<name>-0.dib"
    <group id> 14 "<name>.grp"
windres numbers the images of every ICON statement from 1 in each script, so
icons of two scripts would otherwise share image ids and fail to link.
Usage: ico_to_rc.py <file.ico> <first image id>"""
import struct
import sys


def split(path, first_id):
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    stem = path[:-4]
    group = struct.pack("<HHH", reserved, kind, count)
    for n in range(count):
        w, h, colours, res, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        with open(f"{stem}-{n}.dib", "wb") as f:
            f.write(data[offset:offset + size])
        group += struct.pack("<BBBBHHIH", w, h, colours, res, planes, bits, size, first_id + n)
    with open(f"{stem}.grp", "wb") as f:
        f.write(group)


if __name__ == "__main__":
    split(sys.argv[1], int(sys.argv[2]))
