"""The intro under a real window manager (openbox): Alt+Enter and maximising both make the window
cover the screen with the picture centred and scaled by a whole factor, and Alt+Enter brings back
640x480 (or the size of --scale), also when the window manager answers a second late; --fullscreen starts in full screen, unless a --window
follows it; a key held while the focus goes to another window and back is not reported held
afterwards, and the whole picture is drawn again; the close button keeps the window through the
fade and the intro exits 0."""
import signal
import subprocess
import time

from session import (SHORTEST_FADE, SIZE, client_size, environment, fail, find_window, keys,
                     run_tool, start, stop, wait_faded_exit, wait_whole_picture, window_pixels,
                     xvfb)

SCREEN = (1600, 1200)  # 640x480 fits twice: full screen shows the picture at scale 2
OTHER_COLOUR = 0x123456  # the other window's background, which must not stay on the intro's


def wmctrl(display, window, *args):
    result = run_tool(display, "wmctrl", "-i", *args, str(window))
    if result.returncode != 0:
        fail("wmctrl %s: %s" % (" ".join(args), result.stderr))
    time.sleep(0.5)


def check_picture(display, window, what, size=SIZE, scale=1):
    """The client area has the given size, the picture centred and scaled, black around it."""
    width, height = 640 * scale, 480 * scale
    left, top = (size[0] - width) // 2, (size[1] - height) // 2
    rows = wait_whole_picture(display, window, what, size, (left, top, width, height))
    border = sum(1 for y in range(size[1]) for x in range(size[0])
                 if rows[y][x] and not (left <= x < left + width and top <= y < top + height))
    if border:
        fail("%s: %d pixels around the centred picture are not black" % (what, border))
    # Whole-factor scaling: every picture pixel is a scale x scale block of one colour.
    uneven = sum(1 for y in range(top, top + height, scale)
                 for x in range(left, left + width, scale)
                 if any(rows[y + dy][x:x + scale] != [rows[y][x]] * scale for dy in range(scale)))
    if uneven:
        fail("%s: %d picture pixels are not whole %dx%d blocks" % (what, uneven, scale, scale))


def wm_state(display, window):
    return run_tool(display, "xprop", "-id", str(window), "_NET_WM_STATE").stdout


def check_alt_enter(display, window, what, windowed=SIZE, scale=1):
    """Alt+Enter covers the screen, at scale 2, and Alt+Enter again brings back the window."""
    wmctrl(display, window, "-a")
    keys(display, "key", "alt+Return")
    check_picture(display, window, what + ", Alt+Enter", SCREEN, 2)
    keys(display, "key", "alt+Return")
    check_picture(display, window, what + ", Alt+Enter again", windowed, scale)


def check_late_window_manager(x, window):
    """Alt+Enter while the window manager is stopped for a second: SDL stops waiting for it long
    before, and the real resize lands later; the picture must follow it."""
    wmctrl(x.display, window, "-a")
    x.window_manager.send_signal(signal.SIGSTOP)
    try:
        keys(x.display, "key", "alt+Return")
        time.sleep(1.0)
    finally:
        x.window_manager.send_signal(signal.SIGCONT)
    check_picture(x.display, window, "Alt+Enter, window manager late", SCREEN, 2)
    keys(x.display, "key", "alt+Return")
    check_picture(x.display, window, "Alt+Enter again after the late one")


def check_maximise(display, window):
    wmctrl(display, window, "-b", "add,maximized_vert,maximized_horz", "-r")
    check_picture(display, window, "maximise", SCREEN, 2)
    if "FULLSCREEN" not in wm_state(display, window):
        fail("maximising did not switch to full screen: " + wm_state(display, window))
    wmctrl(display, window, "-a")
    keys(display, "key", "alt+Return")
    check_picture(display, window, "Alt+Enter after maximise")
    if "MAXIMIZED" in wm_state(display, window):
        fail("the window stays maximised after leaving full screen")


def check_focus_change(display, window, intro):
    """Alt held while the focus goes away, released elsewhere: back on the intro, F4 alone must
    not read as Alt+F4. The other window lies over the intro; its colour must not stay."""
    geometry = run_tool(display, "xdotool", "getwindowgeometry", str(window)).stdout
    x, y = geometry.split("Position:")[1].split()[0].split(",")
    colour = "#%06x" % OTHER_COLOUR
    other = subprocess.Popen(["xmessage", "-bg", colour, "-fg", colour, "-geometry",
                              "640x480+%s+%s" % (x, y), "other window"],
                             env=environment(display), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    try:
        wmctrl(display, window, "-a")
        keys(display, "keydown", "alt")
        other_window = find_window(display, other, "xmessage")
        wmctrl(display, other_window, "-a")
        wmctrl(display, other_window, "-e", "0,%s,%s,640,480" % (x, y), "-r")
        keys(display, "keyup", "alt")
        wmctrl(display, window, "-a")
        keys(display, "keydown", "F4")
        time.sleep(0.3)
        rows = window_pixels(display, window, *SIZE)
        keys(display, "keyup", "F4")
        leftover = sum(1 for row in rows for pixel in row if pixel == OTHER_COLOUR)
        if leftover:
            fail("after the focus came back %d pixels still show the other window" % leftover)
        time.sleep(SHORTEST_FADE + 1.5)  # a fade would have ended the intro by now
        if intro.poll() is not None:
            fail("F4 after the focus came back read as Alt+F4: the intro ended (status %d)" %
                 intro.returncode)
    finally:
        other.kill()
        other.wait()


def check_close_button(display, window, intro):
    closed = time.monotonic()
    wmctrl(display, window, "-c")
    if intro.poll() is not None or client_size(display, window) is None:
        fail("the close button closed the window at once (status %s)" % intro.returncode)
    print("close button: exit 0 after %.2f s" % wait_faded_exit(intro, closed, "close button"))


def main():
    with xvfb(SCREEN, window_manager=True) as x:
        intro = start(x.display)
        try:
            window = find_window(x.display, intro)
            wait_whole_picture(x.display, window, "start")
            check_alt_enter(x.display, window, "640x480")
            check_late_window_manager(x, window)
            check_maximise(x.display, window)
            check_focus_change(x.display, window, intro)
            check_close_button(x.display, window, intro)
        finally:
            stop(intro)
        # --scale keeps its size through full screen and back, each pixel a whole block.
        intro = start(x.display, ["--scale", "2"])
        try:
            window = find_window(x.display, intro)
            check_picture(x.display, window, "--scale 2", (1280, 960), 2)
            check_alt_enter(x.display, window, "--scale 2", (1280, 960), 2)
        finally:
            stop(intro)
        # --fullscreen covers the screen from the start; the last of it and --window wins.
        for args, size, scale in ((["-f"], SCREEN, 2), (["--fullscreen", "--window"], SIZE, 1)):
            intro = start(x.display, args)
            try:
                check_picture(x.display, find_window(x.display, intro), " ".join(args), size,
                              scale)
            finally:
                stop(intro)
    print("PASS")


main()
