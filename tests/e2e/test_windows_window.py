"""The Windows build's window under Wine, on a private X server: a window titled "intro" with a
640x480 client area that fills with a whole picture; with --seed 7 --rate 1 it shows exactly
render_frames --seed 7's frames (run under Wine too), one a second. Alt+F4 (the keys themselves,
with no window manager to take them) and the window manager's close request (openbox, through
wmctrl) each keep the window while the picture darkens through the 256-frame fade, which at
--rate 60 takes no less than on Linux, and the intro exits 0."""
import os
import shutil
import time

from session import (COMMAND, SIZE, check_seed_at_rate_1, client_size, fail, find_window,
                     hold_alt_f4, intro_copy, start, stop, wait_faded_exit, wait_whole_picture,
                     window_pixels, wm_close, xvfb)

RATE = ["--rate", "60"]  # the Linux tests' display rate: 256 frames take 4.27 s


def brightness(rows):
    """The header's band, which stays in place: the effects around it come and go."""
    return sum((p >> 16) + ((p >> 8) & 0xFF) + (p & 0xFF) for row in rows[40:136] for p in row)


def check_close(display, what, close):
    intro = start(display, RATE)
    try:
        window = find_window(display, intro)
        before = brightness(wait_whole_picture(display, window, what))
        asked = time.monotonic()
        close(display, window, intro)
        # Halfway at 60 frames a second; a slow machine that draws a quarter of them still
        # darkens the picture by a tenth.
        time.sleep(2.0)
        if intro.poll() is not None or client_size(display, window) != SIZE:
            fail("%s: the window went before the fade ran" % what)
        during = brightness(window_pixels(display, window, *SIZE))
        if not 0 < during < 0.9 * before:
            fail("%s: the header's band went from %d to %d two seconds into the fade" %
                 (what, before, during))
        took = wait_faded_exit(intro, asked, what)
        print("%s: faded out and exited 0 after %.2f s" % (what, took))
    finally:
        stop(intro)


def main():
    with xvfb() as x:  # no window manager to turn Alt+F4 into a close request of its own
        check_close(x.display, "Alt+F4", hold_alt_f4)
    with xvfb(window_manager=True) as x:
        copy = intro_copy()  # the header beside it, as in the rendered frames
        # Longer than on Linux: under Wine the first frame may come a second or two after the
        # window, and the screenshots are slower.
        check_seed_at_rate_1(x.display, 7, os.path.join(copy, COMMAND), watch=6.0)
        shutil.rmtree(copy)
        check_close(x.display, "the window manager's close", wm_close)
    print("ok")


main()
