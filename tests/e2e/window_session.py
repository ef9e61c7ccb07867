"""Shared pieces of the window tests: a private X server, the intro started on it, finding its
window, keyboard focus, and the requests a window manager and a user would send."""
import ctypes
import ctypes.util
import os
import signal
import subprocess
import sys
import time

# Generous: CI machines are slow and the suite also runs under the sanitizers.
EXIT_TIMEOUT = 60.0
# 256 frames at 60 Hz take 4.27 s; the fade may not run faster than the refresh.
SHORTEST_FADE = 4.0


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def intro_command():
    path = os.environ.get("INTRO_BIN", "")
    if not os.path.exists(path):
        fail("INTRO_BIN does not name the built intro: " + repr(path))
    return path


class Xvfb:
    """A private X server without a window manager; -displayfd picks a free display number, and
    -noreset keeps it from restarting (and refusing connections) when its last client leaves."""

    def __init__(self, size=(1024, 768)):
        self.size = size

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % self.size, "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            fail("Xvfb did not start")
        self.display = ":" + number
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)


class WindowManager:
    """Openbox on a private X server, as a light desktop's window manager: it decorates, focuses
    and maximises windows and grants full screen."""

    def __init__(self, display):
        self.display = display

    def __enter__(self):
        self.process = subprocess.Popen(["openbox", "--sm-disable"],
                                        env=intro_environment(self.display),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20.0
        while run_tool(self.display, "wmctrl", "-m").returncode != 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                fail("openbox did not start")
            time.sleep(0.2)
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)


def intro_environment(display, extra=None):
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", **(extra or {}))
    env.pop("WAYLAND_DISPLAY", None)
    if display is None:
        env.pop("DISPLAY", None)
    else:
        env["DISPLAY"] = display
    return env


def start_intro(display, extra_env=None, args=()):
    return subprocess.Popen([intro_command(), *args], cwd=os.environ["INTRO_DATA_DIR"],
                            env=intro_environment(display, extra_env), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)


def run_tool(display, *args, timeout=15):
    return subprocess.run(list(args), env=intro_environment(display), capture_output=True,
                          text=True, timeout=timeout)


def find_window(display, process, timeout=30.0):
    """The id of the window titled exactly "intro"."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process.poll() is not None:
            fail("the intro ended before its window appeared, status %d: %s" %
                 (process.returncode, process.stderr.read()))
        found = run_tool(display, "xdotool", "search", "--name", "^intro$")
        ids = found.stdout.split()
        if ids:
            return int(ids[0])
        time.sleep(0.2)
    fail("no window titled 'intro' appeared")


def screen_saver_timeout(display):
    """The X server's screen-saver timeout in seconds, as `xset q` reports it."""
    for line in run_tool(display, "xset", "q").stdout.splitlines():
        words = line.split()
        if words[:1] == ["timeout:"]:
            return int(words[1])
    fail("xset q reports no screen-saver timeout")


def window_exists(display, window):
    return run_tool(display, "xwininfo", "-id", str(window)).returncode == 0


def client_size(display, window):
    info = run_tool(display, "xwininfo", "-id", str(window)).stdout
    fields = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
    return int(fields["Width"]), int(fields["Height"])


def window_title(display, window):
    return run_tool(display, "xdotool", "getwindowname", str(window)).stdout.rstrip("\n")


def focus(display, window):
    """Without a window manager nobody hands the new window the keyboard; do it as one would."""
    result = run_tool(display, "xdotool", "windowfocus", "--sync", str(window))
    if result.returncode != 0:
        fail("could not focus the window: " + result.stderr)


def keys(display, action, *names):
    result = run_tool(display, "xdotool", action, *names)
    if result.returncode != 0:
        fail("xdotool %s %s failed: %s" % (action, " ".join(names), result.stderr))


def wait_faded_exit(process, since, what):
    """Seconds from `since` until the intro ended with status 0; fails if it ended otherwise or
    too soon for the 256-frame fade to have run."""
    status, err = wait_exit(process)
    took = time.monotonic() - since
    if status != 0:
        fail("%s: exit status %d: %s" % (what, status, err))
    if took < SHORTEST_FADE:
        fail("%s: exited after %.2f s, before the fade could run" % (what, took))
    return took


def wait_exit(process, timeout=EXIT_TIMEOUT):
    """Status and stderr of the intro once it ends; fails if it runs past the timeout."""
    try:
        _, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        fail("the intro did not exit within %.0f s" % timeout)
    return process.returncode, err


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGKILL)
        process.communicate()


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_delete_window(display, window):
    """WM_DELETE_WINDOW as a window manager sends it when the user clicks the close button."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_Event)]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = xlib.XOpenDisplay(display.encode())
    if not connection:
        fail("cannot connect to " + display)
    event = _Event()
    event.client.type = 33  # ClientMessage
    event.client.window = window
    event.client.message_type = xlib.XInternAtom(connection, b"WM_PROTOCOLS", 0)
    event.client.format = 32
    event.client.data[0] = xlib.XInternAtom(connection, b"WM_DELETE_WINDOW", 0)
    event.client.data[1] = 0  # CurrentTime
    if not xlib.XSendEvent(connection, window, 0, 0, ctypes.byref(event)):
        fail("XSendEvent refused the close request")
    xlib.XSync(connection, 0)
    xlib.XCloseDisplay(connection)


class _Image(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


def window_pixels(display, window, width, height):
    """The window's client area as rows of 0xRRGGBB values (a 24-bit server assumed)."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XGetImage.restype = ctypes.POINTER(_Image)
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = xlib.XOpenDisplay(display.encode())
    if not connection:
        fail("cannot connect to " + display)
    image = xlib.XGetImage(connection, window, 0, 0, width, height, 0xFFFFFFFF, 2)  # ZPixmap
    if not image:
        fail("cannot read the window's picture")
    info = image.contents
    if info.bits_per_pixel != 32:
        fail("expected 32 bits per pixel from the X server, got %d" % info.bits_per_pixel)
    raw = ctypes.string_at(info.data, info.bytes_per_line * height)
    rows = []
    for y in range(height):
        line = raw[y * info.bytes_per_line:y * info.bytes_per_line + 4 * width]
        rows.append([int.from_bytes(line[4 * x:4 * x + 3], "little") for x in range(width)])
    xlib.XCloseDisplay(connection)  # the image itself is left to the process's end
    return rows


def lit_share(rows, x0=0, y0=0, width=None, height=None):
    """The share of non-black pixels in a rectangle of a screenshot (the whole one by default)."""
    width = width or len(rows[0]) - x0
    height = height or len(rows) - y0
    lit = sum(1 for row in rows[y0:y0 + height] for pixel in row[x0:x0 + width] if pixel != 0)
    return lit / float(width * height)


def dark_edges(rows, x0, y0, width, height, band=80):
    """Which edges (bands of `band` pixels) of the picture at x0, y0 show nothing: the effects
    reach all four edges of a whole picture."""
    bands = (("left", x0, y0, band, height), ("right", x0 + width - band, y0, band, height),
             ("top", x0, y0, width, band), ("bottom", x0, y0 + height - band, width, band))
    return [name for name, x, y, w, h in bands if lit_share(rows, x, y, w, h) < 0.002]


def wait_size(display, window, size, what, timeout=15.0):
    deadline = time.monotonic() + timeout
    while client_size(display, window) != size:
        if time.monotonic() > deadline:
            fail("%s: the client area is %dx%d, not %dx%d" %
                 ((what,) + client_size(display, window) + size))
        time.sleep(0.1)


def wait_for_picture(display, window, size, what, timeout=30.0):
    """A screenshot of the client area once it shows something (start-up may take a while)."""
    deadline = time.monotonic() + timeout
    while True:
        rows = window_pixels(display, window, *size)
        if lit_share(rows) >= 0.01:
            return rows
        if time.monotonic() > deadline:
            fail("%s: the window shows a black picture" % what)
        time.sleep(0.3)
