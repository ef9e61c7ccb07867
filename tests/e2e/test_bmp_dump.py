"""bmp_dump and make_header end to end: the dump of the shipped header.bmp matches an independent
decode of its bit-field pixels, failures still print their code and dump what the load left, bad
arguments get status 2, and make_header remakes the committed picture byte for byte."""
import os
import struct
import tempfile

from session import HEADER, fail, read_header, tool

MAGENTA = struct.pack("<I", 0xFFFF00FF)


def dump(path, out, *extra):
    """The code bmp_dump prints and the pixel words it wrote; its status must be 0."""
    result = tool("bmp_dump", path, "--out", out, *extra, timeout=60)
    if result.returncode != 0:
        fail("bmp_dump %s exited %d: %s" % (path, result.returncode, result.stderr))
    with open(out, "rb") as f:
        return result.stdout.strip(), f.read()


def main():
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.bin")
        with open(HEADER, "rb") as f:
            shipped_bytes = f.read()
        full = read_header()
        code, words = dump(HEADER, out)
        if code != "error 0" or words != full:
            fail("shipped header: %s; the dump differs from the file's pixels" % code)

        # Failures print their code and dump what the load left: nothing, or the rows converted
        # before the cut inside stored row 90 (picture rows 6..95).
        truncated = os.path.join(tmp, "truncated.bmp")
        with open(truncated, "wb") as f:
            f.write(shipped_bytes[:122 + 90 * 2048 + 100])
        not_bitmap = os.path.join(tmp, "text.bmp")
        with open(not_bitmap, "w") as f:
            f.write("hello")
        for path, extra, want_code, want_words in (
                (os.path.join(tmp, "missing.bmp"), ["--size", "4x2"], "error 2", MAGENTA * 8),
                (truncated, [], "error 3", MAGENTA * (6 * 512) + full[6 * 2048:]),
                (not_bitmap, ["--size", "1x1"], "error 3", MAGENTA)):
            code, words = dump(path, out, *extra)
            if code != want_code or words != want_words:
                fail("%s: %s, %d bytes" % (path, code, len(words)))

        for args in ([], ["--size", "0x5", HEADER], ["--size", "12", HEADER],
                     ["--size", "x3", HEADER], [HEADER, "--frobnicate"], [HEADER, "--out"],
                     [HEADER, HEADER]):
            result = tool("bmp_dump", *args, timeout=60)
            if result.returncode != 2 or "usage" not in result.stderr:
                fail("arguments %r: status %d" % (args, result.returncode))

        remade = os.path.join(tmp, "header.bmp")
        result = tool("make_header", remade, timeout=60)
        if result.returncode != 0:
            fail("make_header exited %d" % result.returncode)
        with open(remade, "rb") as f:
            if f.read() != shipped_bytes:
                fail("make_header no longer makes the committed header.bmp")
    print("ok")


main()
