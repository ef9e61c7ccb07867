"""The intro's window under a private X server without a window manager: titled "intro", a
640x480 client area showing the whole picture, moving; made larger from outside (as edge dragging
would) it returns to 640x480. Keys other than Alt+F4 leave it running, and Alt+Enter, with full
screen not granted, keeps the whole picture 1:1. Alt+F4 and SIGTERM start the 256-frame fade,
the window stays open through it, and the intro exits 0. Without a display, or losing it, the
intro exits 1 with one line saying why."""
import signal
import time

from session import (COMMAND, check_moving, check_one_line_and_status_1, client_size, fail,
                     find_window, keys, start, stop, wait_faded_exit, wait_whole_picture, xvfb)


def check_window_and_keys(display):
    intro = start(display)
    try:
        window = find_window(display, intro)
        check_moving(display, window, "at start")
        keys(display, "windowsize", str(window), "800", "600")
        wait_whole_picture(display, window, "after a resize from outside")

        keys(display, "windowfocus", "--sync", str(window))
        keys(display, "type", "--delay", "20", "hello, intro! 123")
        keys(display, "key", "F1", "F10", "Escape", "Return", "BackSpace", "Tab", "Up",
             "KP_Enter", "ctrl+c", "ctrl+F4", "F4", "alt", "alt+x", "shift+F4")
        for what in ("full screen asked for", "back from full screen"):
            keys(display, "key", "alt+Return")
            time.sleep(1.0)
            wait_whole_picture(display, window, what)
        if intro.poll() is not None:
            fail("the intro ended after ordinary keys (status %d)" % intro.returncode)

        keys(display, "keydown", "alt", "F4")
        took = wait_faded_exit(intro, time.monotonic(), "Alt+F4")
        keys(display, "keyup", "alt", "F4")
        print("Alt+F4: exit 0 after %.2f s" % took)
    finally:
        stop(intro)


def check_sigterm(display):
    intro = start(display)
    try:
        window = find_window(display, intro)
        time.sleep(1.0)
        intro.send_signal(signal.SIGTERM)
        asked = time.monotonic()
        time.sleep(1.0)
        if intro.poll() is not None or client_size(display, window) is None:
            fail("SIGTERM closed the window at once (status %s)" % intro.returncode)
        print("SIGTERM: exit 0 after %.2f s" % wait_faded_exit(intro, asked, "SIGTERM"))
    finally:
        stop(intro)


def main():
    with xvfb() as x:
        check_window_and_keys(x.display)
        check_sigterm(x.display)
        intro = start(x.display)
        try:
            find_window(x.display, intro)
            x.process.kill()
            x.process.wait(timeout=10)
            check_one_line_and_status_1(intro, "display lost",
                                        COMMAND + ": lost the connection to the display")
        finally:
            stop(intro)
    check_one_line_and_status_1(start(None), "no display")
    print("PASS")


main()
