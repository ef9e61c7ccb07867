"""Where the intro finds its data and what it does with bad data files. The build tree's intro
started from an empty directory shows the real header and plays the real music; --module and
--header take effect over broken default files; a directory, a FIFO or an empty file in place of
each default file means silence or the magenta block, and the intro still fades and exits 0;
--volume 0 is silent from the start; --once ends by itself after one pass of the music."""
import os
import shutil
import tempfile

from intro_run import FAST, magenta_share, read_header, run, shows_header, write_bmp24
from window_session import Xvfb, fail, intro_command

DATA = os.environ["INTRO_DATA_DIR"]
GREEN = 0x00C000
SCRATCH = tempfile.mkdtemp(prefix="intro_data_")


def fresh_directory(module=None, header=None):
    """A directory holding, under each default name, nothing, or 'dir', 'fifo' or 'empty'."""
    path = tempfile.mkdtemp(dir=SCRATCH)
    for name, kind in (("module.xm", module), ("header.bmp", header)):
        target = os.path.join(path, name)
        if kind == "dir":
            os.mkdir(target)
        elif kind == "fifo":
            os.mkfifo(target)
        elif kind == "empty":
            open(target, "wb").close()
    return path


def expect(what, status, err, condition, message):
    if status != 0:
        fail("%s: status %d: %s" % (what, status, err))
    if not condition:
        fail("%s: %s" % (what, message))


def main():
    picture = read_header(os.path.join(DATA, "header.bmp"))
    with Xvfb() as xvfb:
        status, err, screen, peak, _ = run(intro_command(), fresh_directory(), FAST, xvfb.display)
        expect("from an empty directory", status, err, shows_header(screen, picture),
               "the window does not show header.bmp (magenta share %.2f)" % magenta_share(screen))
        expect("from an empty directory", status, err, peak > 0.01, "silent (peak %.4f)" % peak)

        green = os.path.join(SCRATCH, "green.bmp")
        write_bmp24(green, 512, 96, GREEN)
        status, err, screen, peak, _ = run(
            intro_command(), fresh_directory(module="dir", header="fifo"),
            FAST + ["--module", os.path.join(DATA, "module.xm"), "--header", green], xvfb.display)
        expect("named files", status, err, shows_header(screen, [[(255, GREEN)] * 512] * 96),
               "the window does not show the named picture")
        expect("named files", status, err, peak > 0.01, "the named module is silent")

        # The master volume holds from the first sound on: nothing leaks before it applies.
        status, err, _, peak, _ = run(intro_command(), fresh_directory(), FAST + ["--volume", "0"],
                                      xvfb.display, seconds=1.0)
        expect("--volume 0", status, err, peak == 0.0, "not silent (peak %.4f)" % peak)

        kinds = {"dir": "a directory", "fifo": "a FIFO", "empty": "an empty file"}
        for module, header in (("fifo", "dir"), ("dir", "empty"), ("empty", "fifo")):
            what = "module.xm %s, header.bmp %s" % (kinds[module], kinds[header])
            status, err, screen, peak, _ = run(intro_command(), fresh_directory(module, header),
                                               FAST, xvfb.display)
            expect(what, status, err, magenta_share(screen) > 0.5, "no magenta block")
            expect(what, status, err, peak == 0.0, "not silent")
            print("%s: magenta, silent, exit 0" % what)

        # One pass of a module cut to its first pattern, then the fade, without a close request.
        with open(os.path.join(DATA, "module.xm"), "rb") as f:
            module = bytearray(f.read())
        module[64:66] = (1).to_bytes(2, "little")  # song length: one order
        short = os.path.join(SCRATCH, "short.xm")
        with open(short, "wb") as f:
            f.write(module)
        status, err, _, peak, seconds = run(intro_command(), fresh_directory(),
                                            FAST + ["--once", short], xvfb.display, seconds=1.0,
                                            close=False)
        expect("--once", status, err, 5.0 < seconds < 40.0 and peak > 0.01,
               "ended after %.1f s with peak %.4f" % (seconds, peak))
        print("--once: ended by itself after %.1f s" % seconds)
    shutil.rmtree(SCRATCH)
    print("ok")


if __name__ == "__main__":
    main()
