"""Where the intro finds its data and what it does with bad data files. The build tree's intro
started from an empty directory shows the real header and plays the real music; --module and
--header take effect over broken default files; a directory, a FIFO or an empty file in place of
each default file means silence or the magenta block, and the intro still fades and exits 0;
--volume 0 is silent from the start; --once ends by itself after one pass of the music."""
import os
import shutil
import struct
import tempfile

from session import (FAST, MODULE, colour_share, fail, one_order_module, peak, run, shows_header,
                     xvfb)

SCRATCH = tempfile.mkdtemp(prefix="intro_data_")
GREEN, MAGENTA = 0x00C000, 0xFF00FF
MAKE = {"dir": os.mkdir, "fifo": os.mkfifo, "empty": lambda path: open(path, "wb").close()}


def fresh_directory(module=None, header=None):
    """A directory holding, under each default name, nothing, or a 'dir', 'fifo' or 'empty'."""
    path = tempfile.mkdtemp(dir=SCRATCH)
    for name, kind in (("module.xm", module), ("header.bmp", header)):
        if kind:
            MAKE[kind](os.path.join(path, name))
    return path


def write_file(name, data):
    path = os.path.join(SCRATCH, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def main():
    # A 512x96 bitmap of one colour, 24 bits per pixel, bottom-up.
    pixels = bytes([GREEN & 0xFF, (GREEN >> 8) & 0xFF, GREEN >> 16]) * 512 * 96
    green = write_file("green.bmp", struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0,
                                                0, 54, 40, 512, 96, 1, 24, 0, len(pixels), 0, 0,
                                                0, 0) + pixels)
    short = one_order_module(os.path.join(SCRATCH, "short.xm"))

    with xvfb() as x:
        def check(what, args, directory, sees, loud, **run_args):
            result = run(x.display, FAST + args, directory, **run_args)
            sound = peak(result.sound)
            if result.status != 0 or not sees(result.screen) or \
                    not (sound > 0.01 if loud else sound == 0.0):
                fail("%s: status %d, sound peak %.4f, magenta share %.2f: %s" %
                     (what, result.status, sound, colour_share(result.screen, MAGENTA), result.err))
            return result

        check("from an empty directory", [], fresh_directory(), shows_header, True)
        check("named files", ["--module", MODULE, "--header", green],
              fresh_directory("dir", "fifo"), lambda screen: colour_share(screen, GREEN) > 0.5,
              True)
        # The master volume holds from the first sound on: nothing leaks before it applies.
        check("--volume 0", ["--volume", "0"], fresh_directory(), lambda screen: True, False,
              seconds=1.0)
        for module, header in (("fifo", "dir"), ("dir", "empty"), ("empty", "fifo")):
            check("module.xm a %s, header.bmp a %s" % (module, header), [],
                  fresh_directory(module, header),
                  lambda screen: colour_share(screen, MAGENTA) > 0.5, False)
        # One pass of a module cut to its first pattern, then the fade, without a close request.
        result = check("--once", ["--once", short], fresh_directory(), lambda screen: True, True,
                       seconds=1.0, close=None)
        if not 5.0 < result.took < 40.0:
            fail("--once ended after %.1f s" % result.took)
    shutil.rmtree(SCRATCH)
    print("ok")


main()
