"""The Windows build finds its data beside itself, wherever it is and whatever the folder is
called: intro.exe (with any DLLs beside it) copied with module.xm and header.bmp into a folder
with a Cyrillic name and a space, and started from another working directory, shows the header
picture. A program that looked in its working directory, or that went through the ANSI code page
(which cannot spell the folder's name outside a Russian locale), would show the magenta block
that stands for a missing picture: the same copy without header.bmp checks that the test tells
the two apart. Each run ends with the window manager's close request and status 0. A picture
whose bytes are CR LF pairs and 0x1A throughout loads whole through the intro's own loader
(bmp_dump.exe): a file read in text mode would lose every CR and end at the first 0x1A."""
import os
import shutil
import struct
import tempfile

from session import (FAST, HEADER, INTRO, MODULE, colour_share, fail, program_libraries, run,
                     shows_header, tool, wm_close, xvfb)

MAGENTA = 0xFF00FF


def shows_magenta(screen):
    return colour_share(screen, MAGENTA) > 0.5


def copy(folder, with_header):
    os.makedirs(folder)
    for path in [INTRO, MODULE] + program_libraries():
        shutil.copy(path, folder)
    if with_header:
        shutil.copy(HEADER, folder)
    return os.path.join(folder, os.path.basename(INTRO))


def check_binary_picture(folder):
    """A 24-bit 4x2 picture of the pixel (red 0x1A, green 0x0A, blue 0x0D): its rows are
    0D 0A 1A repeated, and the width field is 13 bytes of row (padded to 16) for a CR too."""
    width, height = 4, 2
    row = b"\x0d\x0a\x1a" * width + b"\r\n\x1a\x1a"[:(-3 * width) % 4]
    pixels = row * height
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    picture, out = os.path.join(folder, "crlf.bmp"), os.path.join(folder, "crlf.bin")
    with open(picture, "wb") as f:
        f.write(header + info + pixels)
    result = tool("bmp_dump", picture, "--size", "%dx%d" % (width, height), "--out", out,
                  timeout=120)
    with open(out, "rb") as f:
        words = f.read()
    expected = struct.pack("<I", 0xFF1A0A0D) * (width * height)
    if result.returncode != 0 or result.stdout.strip() != "error 0" or words != expected:
        fail("a picture of CR, LF and 0x1A bytes: status %d, %s, %d bytes of pixels %s" %
             (result.returncode, result.stdout.strip(), len(words), words[:16].hex()))


def main():
    scratch = tempfile.mkdtemp(prefix="intro_windows_data_")
    check_binary_picture(scratch)
    elsewhere = os.path.join(scratch, "elsewhere")
    os.mkdir(elsewhere)
    with xvfb(window_manager=True) as x:
        for name, with_header, sees in (("Интро демо", True, shows_header),
                                        ("Интро без картинки", False, shows_magenta)):
            program = copy(os.path.join(scratch, name), with_header)
            result = run(x.display, FAST, cwd=elsewhere, program=program, close=wm_close)
            if result.status != 0 or not sees(result.screen):
                fail("%s in %r: status %d, magenta share %.2f: %s" %
                     ("with header.bmp" if with_header else "without header.bmp", name,
                      result.status, colour_share(result.screen, MAGENTA), result.err))
    shutil.rmtree(scratch)
    print("ok")


main()
