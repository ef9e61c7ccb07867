"""One run of an intro program under the tests' Xvfb, from a chosen directory and with chosen
options, and what it showed and played: its window's picture and the sound SDL's disk driver
wrote. Also the header picture to compare with, and a plain 24-bit bitmap writer."""
import array
import os
import shutil
import struct
import subprocess
import tempfile
import time

from window_session import (fail, find_window, intro_environment, send_delete_window, stop,
                            wait_exit, window_pixels)

HEADER_TOP = 40
MAGENTA = 0xFF00FF
# The fade is not under test here: a high frame rate makes it short.
FAST = ["--rate", "240"]


def read_header(path):
    """The shipped picture's 96 rows of (alpha, 0xRRGGBB): 32 bits, bottom-up, alpha on top."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if (width, height, bits) != (512, 96, 32):
        fail("unexpected header.bmp layout")
    rows = []
    for r in range(95, -1, -1):
        words = struct.unpack_from("<512I", data, offset + r * 2048)
        rows.append([(w >> 24, w & 0xFFFFFF) for w in words])
    return rows


def write_bmp24(path, width, height, rgb):
    """A bitmap of one colour, 24 bits per pixel, bottom-up."""
    row = bytes([rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16]) * width
    row += b"\0" * (-len(row) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def close_colour(a, b):
    """Equal but for the blend's rounding."""
    return all(abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF)) <= 2 for s in (0, 8, 16))


def shows_header(screen, picture):
    """Every eighth picture row with many opaque pixels appears on its screen row at some offset
    of the wave (64 +- 8), in 95% of those pixels."""
    rows = [i for i, row in enumerate(picture) if sum(1 for a, _ in row if a == 255) >= 200]
    for i in rows[::8]:
        opaque = [(x, rgb) for x, (alpha, rgb) in enumerate(picture[i]) if alpha == 255]
        line = screen[HEADER_TOP + i]
        best = max(sum(1 for x, rgb in opaque if close_colour(line[shift + x], rgb))
                   for shift in range(55, 74))
        if best < 0.95 * len(opaque):
            return False
    return bool(rows)


def magenta_share(screen):
    """Share of magenta pixels in the middle of the header's band."""
    band = [p for row in screen[HEADER_TOP:HEADER_TOP + 96] for p in row[80:560]]
    return sum(1 for p in band if close_colour(p, MAGENTA)) / float(len(band))


def sound_peak(path):
    if not os.path.exists(path):
        return 0.0
    samples = array.array("f")
    with open(path, "rb") as f:
        samples.frombytes(f.read())
    return max((abs(v) for v in samples), default=0.0)


def run(program, cwd, args, display, seconds=2.5, close=True, timeout=60.0):
    """Starts program in cwd, looks at its window after `seconds`, then (with close) asks it to
    close. Returns (status, stderr, screen rows, peak of the sound, seconds from the window to the
    end)."""
    sound_dir = tempfile.mkdtemp(prefix="intro_run_")
    sound = os.path.join(sound_dir, "sound.raw")
    env = intro_environment(display)
    env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=sound)
    process = subprocess.Popen([program] + args, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    try:
        window = find_window(display, process)
        shown = time.monotonic()
        time.sleep(seconds)
        screen = window_pixels(display, window, 640, 480)
        if close:
            send_delete_window(display, window)
        status, err = wait_exit(process, timeout)
        return status, err, screen, sound_peak(sound), time.monotonic() - shown
    finally:
        stop(process)
        shutil.rmtree(sound_dir)
