"""Keys other than Alt+F4 do not end the intro: typing, function keys, Alt alone, F4 alone, Ctrl+F4
and Alt+Enter (full screen and back) leave it running; a close request still ends it with 0.
Without a window manager full screen is not granted and the window stays 640x480: the picture
must then fill it 1:1, neither cropped nor shifted, also after switching back."""
import time

from window_session import (Xvfb, client_size, dark_edges, fail, find_window, focus, keys,
                            send_delete_window, start_intro, stop, wait_exit, wait_size,
                            window_pixels)


def check_whole_picture(display, window, what):
    """The whole picture, 1:1: its effects reach all four edges of the 640x480 client area."""
    wait_size(display, window, (640, 480), what, timeout=1.0)
    deadline = time.monotonic() + 20.0
    while True:
        dark = dark_edges(window_pixels(display, window, 640, 480), 0, 0, 640, 480)
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
