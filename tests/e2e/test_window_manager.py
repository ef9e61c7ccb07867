"""The intro under a real window manager (openbox): the screen saver is off while it runs and back
to its earlier setting after; Alt+Enter and maximising both make the window cover the screen with
the picture centred and scaled by a whole factor, and Alt+Enter brings back 640x480; a key held
while the focus goes to another window and back is not reported held afterwards, and the whole
picture is drawn again; the close button, through the window manager, fades and exits 0."""
import subprocess
import time

from window_session import (SHORTEST_FADE, WindowManager, Xvfb, dark_edges, fail, find_window,
                            intro_environment, keys, run_tool, screen_saver_timeout, start_intro,
                            stop, wait_faded_exit, wait_for_picture, wait_size, window_pixels)

SCREEN = (1600, 1200)  # 640x480 fits twice: full screen shows the picture at scale 2
SCALE = 2
OTHER_COLOUR = 0x123456  # the other window's background, which must not stay on the intro's


def activate(display, window):
    result = run_tool(display, "wmctrl", "-i", "-a", str(window))
    if result.returncode != 0:
        fail("wmctrl could not activate window %d: %s" % (window, result.stderr))
    time.sleep(0.5)


def check_covers_screen(display, window, what):
    check_scaled_picture(display, window, SCREEN, what)


def check_scaled_picture(display, window, size, what):
    """The window has the given size, the picture centred, scaled by SCALE, black around it."""
    wait_size(display, window, size, what)
    time.sleep(0.5)
    rows = wait_for_picture(display, window, size, what)
    width, height = 640 * SCALE, 480 * SCALE
    left, top = (size[0] - width) // 2, (size[1] - height) // 2
    dark = dark_edges(rows, left, top, width, height)
    if dark:
        fail("%s: the %s edge of the centred picture is black" % (what, ", ".join(dark)))
    border = sum(1 for y in range(size[1]) for x in range(size[0])
                 if rows[y][x] and not (left <= x < left + width and top <= y < top + height))
    if border:
        fail("%s: %d pixels around the centred picture are not black" % (what, border))
    # Whole-factor scaling: every picture pixel is a SCALE x SCALE block of one colour.
    uneven = 0
    for y in range(top, top + height, SCALE):
        row, below = rows[y], rows[y + 1]
        for x in range(left, left + width, SCALE):
            p = row[x]
            if row[x + 1] != p or below[x] != p or below[x + 1] != p:
                uneven += 1
    if uneven:
        fail("%s: %d picture pixels are not whole %dx%d blocks" % (what, uneven, SCALE, SCALE))


def check_windowed(display, window, what):
    wait_size(display, window, (640, 480), what)
    time.sleep(0.5)
    rows = wait_for_picture(display, window, (640, 480), what)
    dark = dark_edges(rows, 0, 0, 640, 480)
    if dark:
        fail("%s: the %s edge of the picture is black" % (what, ", ".join(dark)))


def wm_state(display, window):
    return run_tool(display, "xprop", "-id", str(window), "_NET_WM_STATE").stdout


def check_full_screen_switches(display, window):
    activate(display, window)
    keys(display, "key", "alt+Return")
    check_covers_screen(display, window, "Alt+Enter")
    keys(display, "key", "alt+Return")
    check_windowed(display, window, "Alt+Enter again")

    result = run_tool(display, "wmctrl", "-i", "-r", str(window), "-b",
                      "add,maximized_vert,maximized_horz")
    if result.returncode != 0:
        fail("wmctrl could not maximise: " + result.stderr)
    check_covers_screen(display, window, "maximise")
    if "FULLSCREEN" not in wm_state(display, window):
        fail("maximising did not switch to full screen: " + wm_state(display, window))
    activate(display, window)
    keys(display, "key", "alt+Return")
    check_windowed(display, window, "Alt+Enter after maximise")
    if "MAXIMIZED" in wm_state(display, window):
        fail("the window stays maximised after leaving full screen")
    print("full screen and back: Alt+Enter and maximise PASS")


def check_focus_change(display, window, intro):
    """Alt held while the focus goes away, released elsewhere: back on the intro, F4 alone must
    not read as Alt+F4. The other window lies over the intro; its colour must not stay."""
    geometry = run_tool(display, "xdotool", "getwindowgeometry", str(window)).stdout
    position = geometry.split("Position:")[1].split()[0].split(",")
    other = subprocess.Popen(
        ["xmessage", "-bg", "#%06x" % OTHER_COLOUR, "-fg", "#%06x" % OTHER_COLOUR, "-geometry",
         "640x480+%s+%s" % (position[0], position[1]), "other window"],
        env=intro_environment(display), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        activate(display, window)
        keys(display, "keydown", "alt")
        deadline = time.monotonic() + 15.0
        found = []
        while not found:
            if time.monotonic() > deadline:
                fail("the other window did not appear")
            found = run_tool(display, "xdotool", "search", "--name", "^xmessage$").stdout.split()
            time.sleep(0.2)
        other_window = int(found[0])
        activate(display, other_window)
        run_tool(display, "wmctrl", "-i", "-r", str(other_window), "-e",
                 "0,%s,%s,640,480" % (position[0], position[1]))
        time.sleep(0.5)
        keys(display, "keyup", "alt")
        activate(display, window)
        keys(display, "keydown", "F4")
        time.sleep(0.3)
        rows = window_pixels(display, window, 640, 480)
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
    print("focus away and back: held keys cleared, picture redrawn PASS")


def check_scaled_window(display):
    """--scale keeps its size through full screen and back, each pixel a whole block."""
    intro = start_intro(display, args=["--scale", str(SCALE)])
    try:
        window = find_window(display, intro)
        scaled = (640 * SCALE, 480 * SCALE)
        check_scaled_picture(display, window, scaled, "--scale %d" % SCALE)
        activate(display, window)
        keys(display, "key", "alt+Return")
        check_covers_screen(display, window, "--scale %d, Alt+Enter" % SCALE)
        keys(display, "key", "alt+Return")
        check_scaled_picture(display, window, scaled, "--scale %d, Alt+Enter again" % SCALE)
    finally:
        stop(intro)
    print("a window of --scale %d keeps its size through full screen and back PASS" % SCALE)


def main():
    with Xvfb(SCREEN) as x, WindowManager(x.display):
        before = screen_saver_timeout(x.display)
        if before == 0:
            fail("the X server starts with its screen saver off: nothing to check")
        intro = start_intro(x.display)
        try:
            window = find_window(x.display, intro)
            wait_for_picture(x.display, window, (640, 480), "start")
            if screen_saver_timeout(x.display) != 0:
                fail("the screen saver is on while the intro runs")
            check_full_screen_switches(x.display, window)
            check_focus_change(x.display, window, intro)

            result = run_tool(x.display, "wmctrl", "-i", "-c", str(window))
            if result.returncode != 0:
                fail("wmctrl could not close the window: " + result.stderr)
            closed = time.monotonic()
            took = wait_faded_exit(intro, closed, "close button")
            print("close button through the window manager: exit 0 after %.2f s PASS" % took)
        finally:
            stop(intro)
        after = screen_saver_timeout(x.display)
        if after != before:
            fail("the screen-saver timeout is %d after exit, not %d as before" % (after, before))
        print("screen saver off while running, %d s again after exit PASS" % before)
        check_scaled_window(x.display)
    print("PASS")


main()
