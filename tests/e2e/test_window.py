"""The intro's window and every way it closes, on one X server, with and without openbox; under
Wine the cases a Windows window shares."""
import ctypes
import os
import re
import resource
import shutil
import signal
import subprocess
import time

from session import (COMMAND, SHORTEST_FADE, SIZE, THREAD_SANITIZER, WINDOWS, background,
                     check_one_line_and_status_1, check_seed_at_rate_1, client_size, environment,
                     find_window, geometry, hold_alt_f4, intro_copy, keys, must, running, sigterm,
                     wait_exit, wait_until, wait_whole_picture, window_pixels, wm_close, x_tool,
                     xvfb)

SCREEN = (1600, 1200)  # 640x480 fits twice: full screen shows the picture at scale 2
OTHER_COLOUR = 0x123456  # another window's background, which must not stay on the intro's
SAVER_TIMEOUT = 2  # seconds without input before the server's screen saver comes on


def brightness(rows):
    """The header's band, which stays in place while the effects around it come and go."""
    return sum((p >> 16) + ((p >> 8) & 0xFF) + (p & 0xFF) for row in rows[40:136] for p in row)


def close_and_check(display, window, intro, what, close):
    """The picture darkens in the window, then exits 0 after the fade; seconds since the request."""
    before = brightness(wait_whole_picture(display, window, what))
    asked = time.monotonic()
    close(display, window, intro)
    # Halfway at 60 frames a second; a slow machine drawing a quarter of them still darkens it.
    time.sleep(2.0)
    must(intro.poll() is None and client_size(display, window) == SIZE,
         "%s: the window went before the fade ran (status %s)" % (what, intro.returncode))
    during = brightness(window_pixels(display, window, *SIZE))
    must(0 < during < 0.9 * before, "%s: the header's band went from %d to %d two seconds into "
         "the fade" % (what, before, during))
    status, _, err = wait_exit(intro)
    took = time.monotonic() - asked
    must(status == 0 and took >= SHORTEST_FADE, "%s: status %d after %.2f s (the fade takes %s): "
         "%s" % (what, status, took, SHORTEST_FADE, err))
    print("%s: faded out and exited 0 after %.2f s" % (what, took))
    return took


def check_keys(display, window, intro):
    """Ordinary keys, a resize from outside and Alt+Enter without a window manager (no full
    screen) keep the whole picture 1:1 and the intro running."""
    keys(display, "windowsize", str(window), "800", "600")
    wait_whole_picture(display, window, "after a resize from outside")
    keys(display, "windowfocus", "--sync", str(window))
    keys(display, "type", "--delay", "20", "hello, intro! 123")
    keys(display, "key", "F1", "F10", "Escape", "Return", "BackSpace", "Tab", "Up", "KP_Enter",
         "ctrl+c", "ctrl+F4", "F4", "alt", "alt+x", "shift+F4")
    for what in ("full screen asked for", "back from full screen"):
        keys(display, "key", "alt+Return")
        time.sleep(1.0)
        wait_whole_picture(display, window, what)
    must(intro.poll() is None, "the intro ended after ordinary keys (status %s)" % intro.returncode)


def wmctrl(display, window, *args):
    x_tool(display, "wmctrl", "-i", *args, str(window), expect=0)
    time.sleep(0.5)


def check_picture(display, window, what, size=SIZE, scale=1):
    """The client area has `size`, the picture centred in black, in blocks of scale x scale."""
    width, height = 640 * scale, 480 * scale
    left, top = (size[0] - width) // 2, (size[1] - height) // 2
    rows = wait_whole_picture(display, window, what, size, (left, top, width, height))
    border = sum(1 for y in range(size[1]) for x in range(size[0])
                 if rows[y][x] and not (left <= x < left + width and top <= y < top + height))
    uneven = sum(1 for y in range(top, top + height, scale)
                 for x in range(left, left + width, scale)
                 if any(rows[y + dy][x:x + scale] != [rows[y][x]] * scale for dy in range(scale)))
    must(not border and not uneven, "%s: %d pixels around the picture not black, %d not whole "
         "%dx%d blocks" % (what, border, uneven, scale, scale))


def wm_state(display, window):
    return x_tool(display, "xprop", "-id", str(window), "_NET_WM_STATE").stdout


def alt_enter(x, window, what, windowed=SIZE, scale=1, late=False):
    """Alt+Enter fills the screen at scale 2 (also with a late window manager), and back again."""
    wmctrl(x.display, window, "-a")
    if late:
        x.manager.send_signal(signal.SIGSTOP)
    try:
        keys(x.display, "key", "alt+Return")
        time.sleep(1.0 if late else 0)
    finally:
        x.manager.send_signal(signal.SIGCONT)
    check_picture(x.display, window, what + ", Alt+Enter", SCREEN, 2)
    keys(x.display, "key", "alt+Return")
    check_picture(x.display, window, what + ", Alt+Enter again", windowed, scale)


def check_maximise(display, window):
    """Maximising switches to full screen; Alt+Enter leaves it, not maximised."""
    wmctrl(display, window, "-b", "add,maximized_vert,maximized_horz", "-r")
    check_picture(display, window, "maximise", SCREEN, 2)
    state = wm_state(display, window)
    must("FULLSCREEN" in state, "maximising did not switch to full screen: " + state)
    wmctrl(display, window, "-a")
    keys(display, "key", "alt+Return")
    check_picture(display, window, "Alt+Enter after maximise")
    must("MAXIMIZED" not in wm_state(display, window), "the window stays maximised")


def check_focus_change(display, window, intro):
    """Alt released on a window over the intro: back on it, F4 alone is not Alt+F4 and the other
    window's colour does not stay."""
    x, y = geometry(display, window)[:2]
    colour = "#%06x" % OTHER_COLOUR
    with background(["xmessage", "-bg", colour, "-fg", colour, "-geometry",
                     "640x480+%d+%d" % (x, y), "other window"], env=environment(display),
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as other:
        wmctrl(display, window, "-a")
        keys(display, "keydown", "alt")
        other_window = find_window(display, other, "xmessage")
        wmctrl(display, other_window, "-a")
        wmctrl(display, other_window, "-e", "0,%d,%d,640,480" % (x, y), "-r")
        keys(display, "keyup", "alt")
        wmctrl(display, window, "-a")
        keys(display, "keydown", "F4")
        time.sleep(0.3)
        rows = window_pixels(display, window, *SIZE)
        keys(display, "keyup", "F4")
    leftover = sum(1 for row in rows for pixel in row if pixel == OTHER_COLOUR)
    must(not leftover, "after the focus came back %d pixels show the other window" % leftover)
    time.sleep(5.5)  # a fade would have ended the intro by now
    must(intro.poll() is None, "F4 after the focus came back read as Alt+F4: %s" % intro.poll())


class SaverInfo(ctypes.Structure):
    _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int),
                ("til_or_since", ctypes.c_ulong), ("idle", ctypes.c_ulong),
                ("event_mask", ctypes.c_ulong)]


def saver_on(display):
    """Whether the server's screen saver is active (ScreenSaver extension, state 1)."""
    x11, xss = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXss.so.1")
    pointer, window = ctypes.c_void_p, ctypes.c_ulong
    x11.XOpenDisplay.restype, x11.XOpenDisplay.argtypes = pointer, [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype, x11.XDefaultRootWindow.argtypes = window, [pointer]
    x11.XCloseDisplay.argtypes = [pointer]
    xss.XScreenSaverQueryInfo.argtypes = [pointer, window, ctypes.POINTER(SaverInfo)]
    connection = must(x11.XOpenDisplay(display.encode()), "cannot open display " + display)
    info = SaverInfo()
    found = xss.XScreenSaverQueryInfo(connection, x11.XDefaultRootWindow(connection),
                                      ctypes.byref(info))
    x11.XCloseDisplay(connection)
    return must(found, "the X server has no ScreenSaver extension") and info.state == 1


def wait_saver(display, what):
    wait_until(lambda: saver_on(display), SAVER_TIMEOUT + 10.0, what + ": no screen saver", 0.2)


def check_screen_saver(display):
    """The saver stays off while the intro runs and comes back, its timeout untouched, after a
    hang-up, a kill or an abort (all hold it off alike: only the first is waited out)."""
    x_tool(display, "xset", "s", str(SAVER_TIMEOUT))
    x_tool(display, "xset", "s", "reset")
    wait_saver(display, "before the intro")  # else the check below means nothing
    for ending in (signal.SIGHUP, signal.SIGKILL, signal.SIGABRT):
        name = signal.Signals(ending).name
        x_tool(display, "xset", "s", "reset")
        with running(display) as intro:
            wait_whole_picture(display, find_window(display, intro), name)
            time.sleep(SAVER_TIMEOUT + 1.5 if ending == signal.SIGHUP else 0)  # no input
            must(not saver_on(display), "%s: the screen saver came on while the intro ran" % name)
            intro.send_signal(ending)
            status, _, _ = wait_exit(intro)
        timeout = int(re.search(r"timeout:\s*(\d+)", x_tool(display, "xset", "q").stdout)[1])
        must(status == -ending and timeout == SAVER_TIMEOUT, "%s: status %d, saver timeout %d "
             "afterwards" % (name, status, timeout))
        wait_saver(display, "after " + name)
    x_tool(display, "xset", "s", "off")


def check_destroyed(display, what):
    """Another client destroying the window ends the intro with one line and status 1."""
    with running(display) as intro:
        window = find_window(display, intro)
        wait_whole_picture(display, window, what)
        keys(display, "windowclose", str(window))
        check_one_line_and_status_1(intro, what,
                                    COMMAND + ": the window was destroyed by another program")


def check_moving(display, window, what):
    first = wait_whole_picture(display, window, what)
    time.sleep(0.3)
    must(window_pixels(display, window, *SIZE) != first, "%s: the picture does not change" % what)


def closed(display, what, close, args=("--rate", "60"), **env):
    """A fresh intro, its picture moving, closed by `close`; the seconds its fade took."""
    with running(display, list(args), **env) as intro:
        window = find_window(display, intro)
        check_moving(display, window, what)
        return close_and_check(display, window, intro, what, close)


def without_window_manager(x):
    if WINDOWS:  # no window manager to turn Alt+F4 into a close request of its own
        closed(x.display, "Alt+F4", hold_alt_f4)
        return
    with running(x.display) as intro:  # paced by the display
        window = find_window(x.display, intro)
        check_moving(x.display, window, "at start")
        check_keys(x.display, window, intro)
        close_and_check(x.display, window, intro, "Alt+F4 after ordinary keys", hold_alt_f4)
    # The picture reaches the window through each renderer SDL_RENDER_DRIVER names; --rate paces
    # the frame loop, not the display: at 30 frames a second the fade takes about 8.5 s.
    closed(x.display, "SIGTERM, OpenGL renderer", sigterm, SDL_RENDER_DRIVER="opengl")
    took = closed(x.display, "SIGTERM, software renderer at --rate 30", sigterm,
                  ["--rate", "30"], SDL_RENDER_DRIVER="software")
    must(256 / 30.0 - 0.3 <= took <= (float("inf") if THREAD_SANITIZER else 256 / 30.0 * 1.5),
         "the fade at --rate 30 took %.2f s, not about 8.5 s" % took)
    check_destroyed(x.display, "windowclose without a window manager")
    check_screen_saver(x.display)


def under_window_manager(x):
    if WINDOWS:
        copy = intro_copy()  # the header beside it, as in the rendered frames
        # Under Wine the first frame may come a second or two after the window.
        check_seed_at_rate_1(x.display, 7, os.path.join(copy, COMMAND), watch=6.0)
        shutil.rmtree(copy)
        closed(x.display, "the window manager's close", wm_close)
        return
    with running(x.display, ["--rate", "60"]) as intro:
        window = find_window(x.display, intro)
        alt_enter(x, window, "640x480")
        alt_enter(x, window, "window manager late", late=True)
        check_maximise(x.display, window)
        check_focus_change(x.display, window, intro)
        close_and_check(x.display, window, intro, "the close button", wm_close)
    check_destroyed(x.display, "windowclose under openbox")
    # --scale's size kept through full screen and back; -f is full screen unless --window follows.
    for args, size, scale in ((["--scale", "2"], (1280, 960), 2), (["-f"], SCREEN, 2),
                              (["--fullscreen", "--window"], SIZE, 1)):
        with running(x.display, args) as intro:
            window = find_window(x.display, intro)
            check_picture(x.display, window, " ".join(args), size, scale)
            if args[0] == "--scale":
                alt_enter(x, window, "--scale 2", size, scale)


def main():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # the abort leaves no core file behind
    with xvfb(SCREEN) as x:
        without_window_manager(x)
        with x.window_manager():
            under_window_manager(x)
        if not WINDOWS:
            with running(x.display) as intro:
                find_window(x.display, intro)
                x.process.kill()
                x.process.wait(timeout=10)
                check_one_line_and_status_1(intro, "display lost",
                                            COMMAND + ": lost the connection to the display")
    if not WINDOWS:
        with running(None) as intro:
            check_one_line_and_status_1(intro, "no display")
    print("PASS")


main()
