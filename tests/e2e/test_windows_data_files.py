"""The Windows build finds its data beside itself, wherever it is and whatever the folder is
called: intro.exe (with any DLLs beside it) copied with module.xm and header.bmp into a folder
with a Cyrillic name and a space, and started from another working directory, shows the header
picture. A program that looked in its working directory, or that went through the ANSI code page
(which cannot spell the folder's name outside a Russian locale), would show the magenta block
that stands for a missing picture: the same copy without header.bmp checks that the test tells
the two apart. Each run ends with the window manager's close request and status 0."""
import os
import shutil
import tempfile

from session import (FAST, HEADER, INTRO, MODULE, colour_share, fail, program_libraries, run,
                     shows_header, wm_close, xvfb)

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


def main():
    scratch = tempfile.mkdtemp(prefix="intro_windows_data_")
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
