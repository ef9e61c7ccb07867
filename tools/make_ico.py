#!/usr/bin/env python3
"""Packs square PNG pictures into one Windows .ico file, each stored as PNG (Windows Vista and
later read that at every size).

    tools/make_ico.py OUT.ico PNG...
"""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    """Width and height from the PNG's IHDR chunk; refuses anything else."""
    if len(data) < 24 or data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        raise SystemExit("make_ico: %s: not a PNG picture" % name)
    width, height = struct.unpack(">II", data[16:24])
    if width != height or not 1 <= width <= 256:
        raise SystemExit("make_ico: %s: %dx%d is not a square icon of at most 256" %
                         (name, width, height))
    return width


def ico(pictures):
    """The .ico bytes: the header, one 16-byte entry per picture (256 is written as 0), then the
    pictures in the same order."""
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    entries, bodies = b"", b""
    for size, data in pictures:
        side = size % 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        bodies += data
    return header + entries + bodies


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    pictures = []
    for name in sys.argv[2:]:
        with open(name, "rb") as picture:
            data = picture.read()
        pictures.append((png_size(data, name), data))
    with open(sys.argv[1], "wb") as out:
        out.write(ico(sorted(pictures)))


if __name__ == "__main__":
    main()
