"""The picture reaches the window by each route: straight into the window surface (the intro's own
choice on a server without direct rendering, like this one), and through SDL's software and
OpenGL renderers when SDL_RENDER_DRIVER names them. The client area shows a moving picture; made
larger from outside (as a window manager's edge dragging would) it returns to 640x480 and shows
the whole picture again, and a close request still ends the intro with 0."""
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


def wait_size(display, window, size, route, what):
    deadline = time.monotonic() + 10.0
    while client_size(display, window) != size:
        if time.monotonic() > deadline:
            fail("%s: the client area is %dx%d %s, not %dx%d" %
                 ((route,) + client_size(display, window) + (what,) + size))
        time.sleep(0.1)


def check_route(display, route, env):
    intro = start_intro(display, env)
    try:
        window = find_window(display, intro)
        first = wait_for_picture(display, window, (640, 480), route, "in a window")
        time.sleep(0.3)
        if window_pixels(display, window, 640, 480) == first:
            fail("%s: the picture does not change" % route)

        keys(display, "windowsize", str(window), str(LARGER[0]), str(LARGER[1]))
        wait_size(display, window, (640, 480), route, "after a resize from outside")
        time.sleep(0.5)
        rows = wait_for_picture(display, window, (640, 480), route, "after the resize")
        for name, x0, y0 in (("left", 0, 0), ("right", 560, 0), ("top", 0, 0),
                             ("bottom", 0, 400)):
            width, height = (80, 480) if name in ("left", "right") else (640, 80)
            if lit_share(rows, x0, y0, width, height) < 0.002:
                fail("%s: the %s edge of the picture is black after the resize" % (route, name))
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
