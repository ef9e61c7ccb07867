"""Where the intro finds its data, what it does with bad data files, and the picture tools
(bmp_dump, make_header); under Wine the cases a Windows copy shares."""
import os
import shutil
import struct
import tempfile

from session import (COMMAND, FAST, HEADER, MODULE, THREAD_SANITIZER, WINDOWS, bitmap,
                     colour_share, intro_copy, must, one_order_module, peak, read, read_header,
                     run, shows_header, tool, wm_close, write, xvfb)

GREEN, MAGENTA = 0x00C000, 0xFF00FF
MAKE = {"dir": os.mkdir, "fifo": os.mkfifo, "empty": lambda path: open(path, "wb").close()}


def shows(colour):
    return lambda screen: colour_share(screen, colour) > 0.5


def bmp(width, height, row):
    """A 24-bit bottom-up picture whose every row is `row` (padded to 4 bytes)."""
    return bitmap(width, height, 24, (row + bytes((-len(row)) % 4)) * height)


def check_tools(scratch):
    """bmp_dump reads the shipped header as our own decode does, and CR, LF and 0x1A bytes whole
    (unlike a text-mode read); bad arguments get status 2; make_header remakes header.bmp."""
    crlf = write(os.path.join(scratch, "crlf.bmp"), bmp(4, 2, b"\x0d\x0a\x1a" * 4))
    out = os.path.join(scratch, "out.bin")
    for path, extra, expected in ((HEADER, [], read_header()),
                                  (crlf, ["--size", "4x2"], struct.pack("<I", 0xFF1A0A0D) * 8)):
        result = tool("bmp_dump", path, "--out", out, *extra, timeout=120)
        words = read(out)
        must(result.returncode == 0 and result.stdout.strip() == "error 0" and words == expected,
             "bmp_dump %s: status %d, %s, %d bytes of pixels %s" % (
                 path, result.returncode, result.stdout.strip(), len(words), words[:16].hex()))
    for args in ([], ["--size", "0x5", HEADER], ["--size", "12", HEADER], ["--size", "x3", HEADER],
                 [HEADER, "--frobnicate"], [HEADER, "--out"], [HEADER, HEADER]):
        must("usage" in tool("bmp_dump", *args, timeout=60, expect=2).stderr,
             "bmp_dump arguments %r: no usage message" % args)
    if not WINDOWS:
        remade = os.path.join(scratch, "header.bmp")
        tool("make_header", remade, timeout=60, expect=0)
        must(read(remade) == read(HEADER), "make_header no longer makes the committed header.bmp")


def main():
    scratch = tempfile.mkdtemp(prefix="intro_data_")
    if THREAD_SANITIZER:
        print("check_tools: left out, this build makes no bmp_dump or make_header")
    else:
        check_tools(scratch)
    green = write(os.path.join(scratch, "green.bmp"), bmp(512, 96, bytes([0x00, 0xC0, 0x00]) * 512))
    short = one_order_module(os.path.join(scratch, "short.xm"))

    def folder(module=None, header=None):
        """A new folder holding, under each default name, nothing or a 'dir', 'fifo', 'empty'."""
        path = tempfile.mkdtemp(dir=scratch)
        for name, kind in (("module.xm", module), ("header.bmp", header)):
            if kind:
                MAKE[kind](os.path.join(path, name))
        return path

    # (what, args, working folder, program, what the screen shows, loud or silent, run's options)
    cases = []
    # A folder of any name holds the data: the Windows build's copy finds it beside itself from
    # any working folder (through the ANSI code page the name would fail and the magenta block
    # show), the Linux build's in its working folder.
    for name, with_header, sees in (("Интро демо", True, shows_header),
                                    ("Интро без картинки", False, shows(MAGENTA))):
        copy = intro_copy(folder=os.path.join(scratch, name), header=with_header)
        shutil.copy(MODULE, copy)
        # Under Wine the disk driver's file is not where this side reads it.
        cases.append((name, [], folder() if WINDOWS else copy, os.path.join(copy, COMMAND),
                      sees, None if WINDOWS else True, {}))
    if not WINDOWS:
        cases += [
            ("from an empty folder", [], folder(), None, shows_header, True, {}),
            ("named files over broken ones", ["--module", MODULE, "--header", green],
             folder("dir", "fifo"), None, shows(GREEN), True, {}),
            # One pass of a module cut to its first pattern, then the fade, without a close.
            ("--once", ["--once", short], folder(), None, lambda screen: True, True,
             {"seconds": 1.0, "close": None}),
        ]
        cases += [("module.xm a %s, header.bmp a %s" % kinds, [], folder(*kinds), None,
                   shows(MAGENTA), False, {})
                  for kinds in (("fifo", "dir"), ("dir", "empty"), ("empty", "fifo"))]
    with xvfb(window_manager=True) as x:
        for what, args, cwd, program, sees, loud, options in cases:
            options = dict({"close": wm_close}, **options)
            if program:
                options["program"] = program
            result = run(x.display, FAST + args, cwd, **options)
            sound, share = peak(result.sound), colour_share(result.screen, MAGENTA)
            heard = loud is None or (sound > 0.01 if loud else sound == 0.0)
            timely = what != "--once" or 5.0 < result.took < 40.0
            must(result.status == 0 and sees(result.screen) and heard and timely,
                 "%s: status %d after %.1f s, sound peak %.4f, magenta share %.2f: %s" % (
                     what, result.status, result.took, sound, share, result.err))
    shutil.rmtree(scratch)
    print("ok")


main()
