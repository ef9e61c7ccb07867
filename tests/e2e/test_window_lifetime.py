"""What the intro leaves behind however it ends, and how it ends when its window goes. The
server's screen saver does not come on while the intro runs, and comes back by itself after a
hang-up, a kill or an abort, with the screen-saver timeout that `xset q` shows untouched. Another
client destroying the window (`xdotool windowclose`), with openbox as window manager and without
one, ends the intro with one line and status 1, never an abort."""
import ctypes
import resource
import re
import signal
import time

from session import (COMMAND, check_one_line_and_status_1, fail, find_window, keys, run_tool, start,
                     stop, wait_exit, wait_whole_picture, xvfb)

SAVER_TIMEOUT = 2  # seconds without input before the server's screen saver comes on
SCREEN_SAVER_ON = 1  # XScreenSaverQueryInfo's state while the saver is active


class SaverInfo(ctypes.Structure):
    _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int),
                ("til_or_since", ctypes.c_ulong), ("idle", ctypes.c_ulong),
                ("event_mask", ctypes.c_ulong)]


def saver_on(display):
    """Whether the server's screen saver is active, through the ScreenSaver extension."""
    x11, xss = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXss.so.1")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xss.XScreenSaverQueryInfo.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                          ctypes.POINTER(SaverInfo)]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        fail("cannot open display " + display)
    info = SaverInfo()
    try:
        if not xss.XScreenSaverQueryInfo(connection, x11.XDefaultRootWindow(connection),
                                         ctypes.byref(info)):
            fail("the X server has no ScreenSaver extension")
    finally:
        x11.XCloseDisplay(connection)
    return info.state == SCREEN_SAVER_ON


def saver_timeout(display):
    """The X server's screen-saver timeout in seconds, as `xset q` reports it."""
    return int(re.search(r"timeout:\s*(\d+)", run_tool(display, "xset", "q").stdout).group(1))


def check_screen_saver(display):
    run_tool(display, "xset", "s", str(SAVER_TIMEOUT))
    # The check that the saver comes back after the intro only means something if it comes on.
    run_tool(display, "xset", "s", "reset")
    deadline = time.monotonic() + SAVER_TIMEOUT + 10.0
    while not saver_on(display):
        if time.monotonic() > deadline:
            fail("the screen saver does not come on by itself: nothing to check")
        time.sleep(0.2)
    for ending in (signal.SIGHUP, signal.SIGKILL, signal.SIGABRT):
        name = signal.Signals(ending).name
        run_tool(display, "xset", "s", "reset")
        intro = start(display)
        try:
            window = find_window(display, intro)
            wait_whole_picture(display, window, name)
            time.sleep(SAVER_TIMEOUT + 1.5)  # no input all along
            if saver_on(display):
                fail("%s: the screen saver came on while the intro ran" % name)
            intro.send_signal(ending)
            status, _, _ = wait_exit(intro)
        finally:
            stop(intro)
        if status != -ending:
            fail("%s: the intro ended with status %d" % (name, status))
        if saver_timeout(display) != SAVER_TIMEOUT:
            fail("after %s the screen-saver timeout is %d, not %d as before" %
                 (name, saver_timeout(display), SAVER_TIMEOUT))
        deadline = time.monotonic() + SAVER_TIMEOUT + 10.0
        while not saver_on(display):
            if time.monotonic() > deadline:
                fail("after %s the screen saver does not come back" % name)
            time.sleep(0.2)
        print("%s: screen saver back, timeout %d" % (name, SAVER_TIMEOUT))


def check_window_destroyed(display, what):
    intro = start(display)
    try:
        window = find_window(display, intro)
        wait_whole_picture(display, window, what)
        keys(display, "windowclose", str(window))
        check_one_line_and_status_1(intro, what,
                                    COMMAND + ": the window was destroyed by another program")
    finally:
        stop(intro)


def main():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # the abort leaves no core file behind
    with xvfb() as x:
        check_screen_saver(x.display)
        check_window_destroyed(x.display, "windowclose without a window manager")
    with xvfb(window_manager=True) as x:
        check_window_destroyed(x.display, "windowclose under openbox")
    print("PASS")


main()
