"""bmp_dump and make_header end to end: the dump of the shipped header.bmp matches an independent
decode of its bit-field pixels, failures still print their code and dump what the load left, bad
arguments get status 2, and make_header remakes the committed picture byte for byte."""
import os
import struct
import subprocess
import sys
import tempfile

MAGENTA = struct.pack("<I", 0xFFFF00FF)


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def tool(name):
    path = os.path.join(os.environ["INTRO_BUILD_DIR"], name)
    if not os.path.exists(path):
        fail(name + " was not built")
    return path


def run(*args):
    return subprocess.run([tool("bmp_dump"), *args], capture_output=True, text=True, timeout=60)


def dump(path, out, *extra):
    result = run(path, "--out", out, *extra)
    if result.returncode != 0:
        fail("bmp_dump %s exited %d: %s" % (path, result.returncode, result.stderr))
    with open(out, "rb") as f:
        return result.stdout.strip(), f.read()


def decode_header(data):
    """The shipped file's own layout: 108-byte header, 32 bits, bit fields, bottom-up."""
    offset, header_size, width, height, planes, bits, compression = struct.unpack_from(
        "<I I i i H H I", data, 10)
    if (header_size, bits, compression, width, height) != (108, 32, 3, 512, 96):
        fail("unexpected header.bmp layout")
    masks = struct.unpack_from("<4I", data, 54)
    if masks != (0xFF0000, 0xFF00, 0xFF, 0xFF000000):
        fail("unexpected masks %r" % (masks,))
    rows = [data[offset + r * 2048: offset + (r + 1) * 2048] for r in range(96)]
    return b"".join(reversed(rows))


def main():
    data_dir = os.environ["INTRO_DATA_DIR"]
    shipped = os.path.join(data_dir, "header.bmp")
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.bin")

        with open(shipped, "rb") as f:
            shipped_bytes = f.read()
        code, words = dump(shipped, out)
        if code != "error 0":
            fail("shipped header: " + code)
        if words != decode_header(shipped_bytes):
            fail("shipped header: dump differs from the file's pixels")

        code, words = dump(os.path.join(tmp, "missing.bmp"), out, "--size", "4x2")
        if code != "error 2" or words != MAGENTA * 8:
            fail("missing file: %s, %d bytes" % (code, len(words)))

        # Cut inside the stored row 90: rows 0..89 are converted (picture rows 6..95).
        truncated = os.path.join(tmp, "truncated.bmp")
        with open(truncated, "wb") as f:
            f.write(shipped_bytes[:122 + 90 * 2048 + 100])
        code, words = dump(truncated, out)
        if code != "error 3":
            fail("truncated file: " + code)
        full = decode_header(shipped_bytes)
        if words[6 * 2048:] != full[6 * 2048:] or words[:6 * 2048] != MAGENTA * (6 * 512):
            fail("truncated file: converted rows not kept or others touched")

        not_bitmap = os.path.join(tmp, "text.bmp")
        with open(not_bitmap, "w") as f:
            f.write("hello")
        code, words = dump(not_bitmap, out, "--size", "1x1")
        if code != "error 3" or words != MAGENTA:
            fail("text file: " + code)

        for args in ([], ["--size", "0x5", shipped], ["--size", "12", shipped],
                     ["--size", "x3", shipped], [shipped, "--frobnicate"], [shipped, "--out"],
                     [shipped, shipped]):
            result = run(*args)
            if result.returncode != 2 or "usage" not in result.stderr:
                fail("arguments %r: status %d" % (args, result.returncode))

        remade = os.path.join(tmp, "header.bmp")
        result = subprocess.run([tool("make_header"), remade], capture_output=True, timeout=60)
        if result.returncode != 0:
            fail("make_header exited %d" % result.returncode)
        with open(remade, "rb") as f:
            if f.read() != shipped_bytes:
                fail("make_header no longer makes the committed header.bmp")
    print("ok")


if __name__ == "__main__":
    main()
