"""The picture reaches the window by each route: straight into the window surface (the intro's own
choice on a server without direct rendering, like this one), and through SDL's software and
OpenGL renderers when SDL_RENDER_DRIVER names them. The client area shows a moving picture; made
larger from outside (as a window manager's edge dragging would) it returns to 640x480 and shows
the whole picture again, and a close request still ends the intro with 0."""
import time

from window_session import (Xvfb, dark_edges, fail, find_window, keys, send_delete_window,
                            start_intro, stop, wait_exit, wait_for_picture, wait_size,
                            window_pixels)

LARGER = (800, 600)


def check_route(display, route, env):
    intro = start_intro(display, env)
    try:
        window = find_window(display, intro)
        first = wait_for_picture(display, window, (640, 480), route + " in a window")
        time.sleep(0.3)
        if window_pixels(display, window, 640, 480) == first:
            fail("%s: the picture does not change" % route)

        keys(display, "windowsize", str(window), str(LARGER[0]), str(LARGER[1]))
        wait_size(display, window, (640, 480), route + " after a resize from outside")
        time.sleep(0.5)
        rows = wait_for_picture(display, window, (640, 480), route + " after the resize")
        dark = dark_edges(rows, 0, 0, 640, 480)
        if dark:
            fail("%s: the %s edge of the picture is black after the resize" %
                 (route, ", ".join(dark)))
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
