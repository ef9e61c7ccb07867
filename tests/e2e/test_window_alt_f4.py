"""The intro's window under a private X server: titled "intro", a 640x480 client area showing an
animated picture; holding Alt and F4 starts the 256-frame fade and the intro exits 0 after it."""
import time

from window_session import (Xvfb, client_size, fail, find_window, focus, keys, lit_share,
                            start_intro, stop, wait_faded_exit, window_pixels, window_title)


def main():
    with Xvfb() as x:
        intro = start_intro(x.display)
        try:
            window = find_window(x.display, intro)
            if window_title(x.display, window) != "intro":
                fail("title is %r" % window_title(x.display, window))
            size = client_size(x.display, window)
            if size != (640, 480):
                fail("client area is %dx%d, not 640x480" % size)

            # The picture is shown and moves. Start-up (loading the music and the header) may
            # take a while on a slow machine, so look again until the effects appear.
            deadline = time.monotonic() + 30.0
            first = window_pixels(x.display, window, 640, 480)
            while lit_share(first) < 0.01:
                if time.monotonic() > deadline:
                    fail("the window shows a black picture")
                time.sleep(0.5)
                first = window_pixels(x.display, window, 640, 480)
            time.sleep(0.5)
            if window_pixels(x.display, window, 640, 480) == first:
                fail("the picture does not change")

            focus(x.display, window)
            keys(x.display, "keydown", "alt", "F4")
            pressed = time.monotonic()
            took = wait_faded_exit(intro, pressed, "Alt+F4")
            keys(x.display, "keyup", "alt", "F4")
            print("Alt+F4: exit 0 after %.2f s" % took)
        finally:
            stop(intro)
    print("PASS")


main()
