"""Keys other than Alt+F4 do not end the intro: typing, function keys, Alt alone, F4 alone, Ctrl+F4
and Alt+Enter (full screen and back) leave it running; a close request still ends it with 0.
Without a window manager full screen is not granted and the window stays 640x480: the picture
must then fill it 1:1, neither cropped nor shifted, also after switching back."""
import time

from window_session import (Xvfb, client_size, fail, find_window, focus, keys, send_delete_window,
                            start_intro, stop, wait_exit, window_pixels)


def check_whole_picture(display, window, what):
    """Stars and effects reach all four edges of the 640x480 client area."""
    size = client_size(display, window)
    if size != (640, 480):
        fail("%s: the client area is %dx%d" % ((what,) + size))
    deadline = time.monotonic() + 20.0
    while True:
        rows = window_pixels(display, window, 640, 480)
        dark = [name for name, x0, y0, w, h in
                (("left", 0, 0, 80, 480), ("top", 0, 0, 640, 80), ("right", 560, 0, 80, 480),
                 ("bottom", 0, 400, 640, 80))
                if not any(p for row in rows[y0:y0 + h] for p in row[x0:x0 + w])]
        if not dark:
            return
        if time.monotonic() > deadline:
            fail("%s: the picture's %s edge stays black" % (what, ", ".join(dark)))
        time.sleep(0.3)


def main():
    with Xvfb() as x:
        intro = start_intro(x.display)
        try:
            window = find_window(x.display, intro)
            focus(x.display, window)
            keys(x.display, "type", "--delay", "20", "hello, intro! 123")
            keys(x.display, "key", "F1", "F10", "Escape", "Return", "BackSpace", "Tab", "Up",
                 "KP_Enter", "ctrl+c", "ctrl+F4", "F4", "alt", "alt+x", "shift+F4")
            keys(x.display, "key", "alt+Return")
            time.sleep(1.0)
            check_whole_picture(x.display, window, "full screen asked for without a window manager")
            keys(x.display, "key", "alt+Return")
            time.sleep(2.0)
            check_whole_picture(x.display, window, "back from full screen")
            if intro.poll() is not None:
                fail("the intro ended after ordinary keys (status %d): %s" %
                     (intro.returncode, intro.stderr.read()))
            size = client_size(x.display, window)
            if size != (640, 480):
                fail("after leaving full screen the client area is %dx%d" % size)
            send_delete_window(x.display, window)
            status, err = wait_exit(intro)
            if status != 0:
                fail("exit status %d after the close request: %s" % (status, err))
        finally:
            stop(intro)
    print("PASS")


main()
