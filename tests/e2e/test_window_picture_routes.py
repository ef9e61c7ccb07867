"""The picture reaches the window by each route: straight into the window surface (the intro's own
choice on a server without direct rendering, like this one), and through SDL's software and
OpenGL renderers when SDL_RENDER_DRIVER names them. The client area shows a moving picture; made
larger from outside (as a window manager may, and as full screen does) it shows the picture
centred with black borders; back at 640x480 it shows it again, and a close request still ends
the intro with 0."""
import time

from window_session import (Xvfb, client_size, fail, find_window, keys, send_delete_window,
                            start_intro, stop, wait_exit, window_pixels)

LARGER = (800, 600)


def lit_share(rows, x0=0, y0=0, width=None, height=None):
    width = width or len(rows[0]) - x0
    height = height or len(rows) - y0
    lit = sum(1 for row in rows[y0:y0 + height] for pixel in row[x0:x0 + width] if pixel != 0)
    return lit / float(width * height)


def wait_for_picture(display, window, size, route, what):
    deadline = time.monotonic() + 30.0
    while True:
        rows = window_pixels(display, window, *size)
        if lit_share(rows) >= 0.01:
            return rows
        if time.monotonic() > deadline:
            fail("%s: the window shows a black picture %s" % (route, what))
        time.sleep(0.3)


def resize(display, window, size, route):
    keys(display, "windowsize", str(window), str(size[0]), str(size[1]))
    deadline = time.monotonic() + 10.0
    while client_size(display, window) != size:
        if time.monotonic() > deadline:
            fail("%s: the client area stays %dx%d, not %dx%d" %
                 ((route,) + client_size(display, window) + size))
        time.sleep(0.1)


def check_route(display, route, env):
    intro = start_intro(display, env)
    try:
        window = find_window(display, intro)
        first = wait_for_picture(display, window, (640, 480), route, "in a window")
        time.sleep(0.3)
        if window_pixels(display, window, 640, 480) == first:
            fail("%s: the picture does not change" % route)

        resize(display, window, LARGER, route)
        time.sleep(0.5)
        left, top = (LARGER[0] - 640) // 2, (LARGER[1] - 480) // 2
        rows = wait_for_picture(display, window, LARGER, route, "when larger")
        if lit_share(rows, left, top, 640, 480) < 0.01:
            fail("%s: the larger window shows no picture in its centre" % route)
        border = [rows[y][x] for y in range(LARGER[1]) for x in range(LARGER[0])
                  if not (left <= x < left + 640 and top <= y < top + 480)]
        if any(border):
            fail("%s: %d border pixels around the centred picture are not black" %
                 (route, sum(1 for p in border if p)))

        resize(display, window, (640, 480), route)
        time.sleep(0.5)
        wait_for_picture(display, window, (640, 480), route, "back at 640x480")
        send_delete_window(display, window)
        status, err = wait_exit(intro)
        if status != 0:
            fail("%s: exit status %d after the close request: %s" % (route, status, err))
    finally:
        stop(intro)
    print("%s: PASS" % route)


def main():
    with Xvfb() as x:
        check_route(x.display, "window surface", {})
        check_route(x.display, "software renderer", {"SDL_RENDER_DRIVER": "software"})
        check_route(x.display, "OpenGL renderer", {"SDL_RENDER_DRIVER": "opengl"})
    print("PASS")


main()
