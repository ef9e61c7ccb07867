"""A close request does not close the intro's window: it starts the 256-frame fade, after which
the intro exits 0. Tried as a window manager sends it (WM_DELETE_WINDOW) and as SIGTERM."""
import signal
import time

from window_session import (Xvfb, fail, find_window, send_delete_window, start_intro, stop,
                            wait_faded_exit, window_exists)


def check_close(display, how, request):
    intro = start_intro(display)
    try:
        window = find_window(display, intro)
        time.sleep(1.0)
        request(intro, window)
        asked = time.monotonic()
        time.sleep(1.0)
        if intro.poll() is not None:
            fail("%s: the intro ended within a second (status %d)" % (how, intro.returncode))
        if not window_exists(display, window):
            fail("%s: the window was closed" % how)
        took = wait_faded_exit(intro, asked, how)
        print("%s: window kept, exit 0 after %.2f s" % (how, took))
    finally:
        stop(intro)


def main():
    with Xvfb() as x:
        check_close(x.display, "WM_DELETE_WINDOW",
                    lambda intro, window: send_delete_window(x.display, window))
        check_close(x.display, "SIGTERM", lambda intro, window: intro.send_signal(signal.SIGTERM))
    print("PASS")


main()
