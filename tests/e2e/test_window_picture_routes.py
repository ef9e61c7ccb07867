"""The picture reaches the window through SDL's software and OpenGL renderers when
SDL_RENDER_DRIVER names them (test_window covers the intro's own choice, the window surface): a
moving picture that, made larger from outside, returns to 640x480 whole. --rate paces the frame
loop instead of the display: at 30 frames per second the fade after SIGTERM takes about 8.5 s,
twice as long as at the display's 60 Hz."""
import signal
import time

from session import (THREAD_SANITIZER, check_moving, fail, find_window, keys, start, stop,
                     wait_exit, wait_whole_picture, xvfb)

FADE_AT_30 = 256 / 30.0


def check_route(display, route, args=()):
    intro = start(display, args, SDL_RENDER_DRIVER=route)
    try:
        window = find_window(display, intro)
        check_moving(display, window, route)
        keys(display, "windowsize", str(window), "800", "600")
        wait_whole_picture(display, window, route + " after a resize from outside")
        intro.send_signal(signal.SIGTERM)
        asked = time.monotonic()
        status, _, err = wait_exit(intro)
        if status != 0:
            fail("%s: exit status %d after SIGTERM: %s" % (route, status, err))
        return time.monotonic() - asked
    finally:
        stop(intro)


def main():
    with xvfb() as x:
        check_route(x.display, "opengl")
        seconds = check_route(x.display, "software", ["--rate", "30"])
    # Never faster than the rate; slower only by what a loaded machine adds, or the sanitizer.
    slowest = float("inf") if THREAD_SANITIZER else FADE_AT_30 * 1.5
    if not FADE_AT_30 - 0.3 <= seconds <= slowest:
        fail("the fade at --rate 30 took %.2f s, not about %.2f s" % (seconds, FADE_AT_30))
    print("PASS; fade at --rate 30: %.2f s" % seconds)


main()
