#!/usr/bin/env python3
"""Rewrites a PNG with its picture data deflated at zlib's best level, every other chunk kept as
it is: the tools' PNG writer stores its data uncompressed, which is fine for a test's frames but
heavy for a picture kept in the repository. The pixels stay exactly the same.

    tools/deflate_png.py IN.png OUT.png
"""
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunks(data):
    at = len(SIGNATURE)
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        yield data[at + 4:at + 8], data[at + 8:at + 8 + length]
        at += 12 + length


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def main():
    if len(sys.argv) != 3:
        print("usage: deflate_png.py IN.png OUT.png", file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as source:
        data = source.read()
    if not data.startswith(SIGNATURE):
        print("%s: not a PNG file" % sys.argv[1], file=sys.stderr)
        return 1
    parts = list(chunks(data))
    pixels = zlib.decompress(b"".join(body for kind, body in parts if kind == b"IDAT"))
    out = [SIGNATURE]
    for kind, body in parts:
        if kind == b"IEND":
            out.append(chunk(b"IDAT", zlib.compress(pixels, 9)))
        if kind != b"IDAT":
            out.append(chunk(kind, body))
    with open(sys.argv[2], "wb") as target:
        target.write(b"".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
