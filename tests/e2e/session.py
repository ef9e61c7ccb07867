"""What the end-to-end scripts share: the built programs and data, one private X server per script,
the intro run in a block that always stops it, its pictures, its sound and its frames."""
import array
import contextlib
import glob
import os
import re
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import types

INTRO = os.environ["INTRO_BIN"]
# The command a user types, which starts each of its messages; its window is still titled "intro".
COMMAND = os.path.basename(INTRO)
BUILD, DATA = os.environ["INTRO_BUILD_DIR"], os.environ["INTRO_DATA_DIR"]
MODULE, HEADER = os.path.join(DATA, "module.xm"), os.path.join(DATA, "header.bmp")
CAPTURE_MODULE = os.environ.get("INTRO_CAPTURE_MODULE", "")  # the capture's writer, if built
SIZE = (640, 480)
SHORTEST_FADE = 4.0  # 256 frames at 60 Hz take 4.27 s; the fade may not run faster
# Under ThreadSanitizer a frame takes several times longer to draw: no upper bounds on durations.
THREAD_SANITIZER = os.environ.get("INTRO_SANITIZER") == "thread"
FAST = ["--rate", "240"]  # where the fade is not under test, a high rate makes it short
# The Windows build's programs run through an emulator (tools/wine_run.py), told the display.
EMULATOR = shlex.split(os.environ.get("INTRO_EMULATOR", ""))
EXE = os.path.splitext(INTRO)[1]  # ".exe" in the Windows build
WINDOWS = EXE == ".exe"


def fail(message, status=1):
    print(("SKIP: " if status == 77 else "FAIL: ") + message)
    sys.exit(status)


def skip(message):
    fail(message, 77)  # CTest's SKIP_RETURN_CODE


def must(ok, message):
    """ok, or a failure with message."""
    return ok or fail(message)


def wait_until(ready, timeout, message, interval=0.1):
    """ready()'s first truthy value, polled; after timeout s a failure with message(/call)."""
    deadline = time.monotonic() + timeout
    while not (value := ready()):
        must(time.monotonic() < deadline, message() if callable(message) else message)
        time.sleep(interval)
    return value


def call(args, expect=None, timeout=600, **options):
    """Runs a command to its end; a status other than `expect`, if given, fails with its output."""
    result = subprocess.run(list(args), capture_output=True, text=True, timeout=timeout, **options)
    if expect is not None and result.returncode != expect:
        fail("%s: status %d, expected %d: %s%s" % (" ".join(args), result.returncode, expect,
                                                    result.stdout[-2000:], result.stderr[-2000:]))
    return result


def checked(*args, **options):
    return call(args, 0, **options)


def tool(name, *args, **options):
    """One of the build's tools, through the emulator if any."""
    return call([*EMULATOR, os.path.join(BUILD, name + EXE), *args], **options)


def x_tool(display, *args, expect=None):
    """An X client (xdotool, wmctrl, xwininfo...) on display."""
    return call(args, expect, 15, env=environment(display))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def environment(display, **extra):
    """The environment with DISPLAY, SDL's dummy audio and `extra`; a None value removes one."""
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", WAYLAND_DISPLAY=None, DISPLAY=display)
    if EMULATOR:
        env["INTRO_WINE_DISPLAY"] = display
    env.update(extra)
    return {name: value for name, value in env.items() if value is not None}


@contextlib.contextmanager
def background(args, **popen):
    """A process that is killed when the block ends, if it has not ended by then."""
    process = subprocess.Popen(args, **popen)
    try:
        yield process
    finally:
        if process.poll() is None:
            process.terminate()
            process.wait(timeout=60)


class Server(types.SimpleNamespace):
    @contextlib.contextmanager
    def window_manager(self):
        """openbox on this server while the block runs (decorations, focus, full screen)."""
        with background(["openbox", "--sm-disable"], env=environment(self.display),
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as manager:
            wait_until(lambda: must(manager.poll() is None, "openbox ended") and x_tool(
                self.display, "wmctrl", "-m").returncode == 0, 20.0, "openbox did not start")
            self.manager = manager
            yield manager
            self.manager = None


@contextlib.contextmanager
def xvfb(size=(1600, 1200), window_manager=False):
    """A private X server on a free display (-displayfd), kept up when its last client leaves."""
    read_end, write_end = os.pipe()
    with background(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % size,
                     "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) as process:
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            display = ":" + reader.readline().strip()
        if display == ":":
            fail("Xvfb did not start")
        if os.environ.get("INTRO_WINEPREFIX"):
            # A warm Wine session keeps the X server it first met: end it (such scripts run alone).
            subprocess.run(EMULATOR + ["--stop"], check=True, timeout=60)
        server = Server(display=display, process=process, manager=None)
        with server.window_manager() if window_manager else contextlib.nullcontext():
            yield server


@contextlib.contextmanager
def running(display, args=(), cwd=DATA, program=INTRO, **env):
    """The intro on display (None: none), killed at the block's end (the emulator's: SIGTERM)."""
    process = subprocess.Popen([*EMULATOR, program, *args], cwd=cwd,
                               env=environment(display, **env), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    try:
        yield process
    finally:
        if process.poll() is None and EMULATOR:  # it passes SIGTERM on to the program
            process.send_signal(signal.SIGTERM)
            with contextlib.suppress(subprocess.TimeoutExpired):
                process.communicate(timeout=30)
        if process.poll() is None:
            process.kill()
            process.communicate()


def wait_exit(process, timeout=60.0):
    """Status, standard output and standard error once the program ends."""
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        fail("the intro did not exit within %.0f s" % timeout)
    return process.returncode, out, err


def check_one_line_and_status_1(intro, what, line=None):
    """The intro ended with status 1 and one line on stderr (exactly `line` when given)."""
    status, out, err = wait_exit(intro)
    must(status == 1 and not out and len(err.strip().splitlines()) == 1 and err.endswith("\n")
         and (not line or err == line + "\n"), "%s: status %d, %r, %r" % (what, status, out, err))


def find_window(display, process, name="intro", timeout=30.0):
    """The id of the window titled exactly `name`."""
    def search():
        if process.poll() is not None:
            fail("%s ended before its window appeared, status %d: %s" %
                 (name, process.returncode, process.stderr.read() if process.stderr else ""))
        return x_tool(display, "xdotool", "search", "--name", "^%s$" % name).stdout.split()
    return int(wait_until(search, timeout, "no window titled %r appeared" % name)[0])


def geometry(display, window):
    """The client area's (x, y, width, height) on the screen; None once the window is gone."""
    info = x_tool(display, "xwininfo", "-id", str(window)).stdout
    found = re.search(r"Absolute upper-left X:\s+(-?\d+).*Absolute upper-left Y:\s+(-?\d+).*"
                      r"Width: (\d+)\s+Height: (\d+)", info, re.S)
    return tuple(map(int, found.groups())) if found else None


def client_size(display, window):
    found = geometry(display, window)
    return found and found[2:]


def keys(display, action, *names):
    """An xdotool command (`key`, `keydown`, `type`, `windowfocus`...), which must succeed."""
    x_tool(display, "xdotool", action, *names, expect=0)


def sigterm(display, window, process):
    process.send_signal(signal.SIGTERM)


def hold_alt_f4(display, window, process=None):
    """Alt and F4 held together for a few frames, as a user would."""
    keys(display, "windowfocus", "--sync", str(window))
    keys(display, "keydown", "alt", "F4")
    time.sleep(0.3)
    keys(display, "keyup", "F4", "alt")


def wm_close(display, window, process=None):
    """The window manager's close request (the close button's), which also reaches Wine."""
    x_tool(display, "wmctrl", "-i", "-c", str(window), expect=0)


def grab_window(display, window, width, height, seconds=None, rate=25):
    """The client area as rgb24 pictures (each one server request): one, or `rate` a second."""
    span = ["-framerate", str(rate), "-t", "%.1f" % seconds] if seconds else []
    grab = subprocess.run(["ffmpeg", "-v", "error", "-f", "x11grab", "-draw_mouse", "0"] + span +
                          ["-window_id", str(window), "-video_size", "%dx%d" % (width, height),
                           "-i", display] + ([] if seconds else ["-frames:v", "1"]) +
                          ["-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          capture_output=True, timeout=60)
    size = width * height * 3
    must(grab.returncode == 0 and grab.stdout and not len(grab.stdout) % size,
         "cannot read the window's picture: " + grab.stderr.decode(errors="replace"))
    return [grab.stdout[i:i + size] for i in range(0, len(grab.stdout), size)]


def window_pixels(display, window, width, height):
    """The client area as rows of 0xRRGGBB values."""
    data = grab_window(display, window, width, height)[0]
    words = [int.from_bytes(data[i:i + 3], "big") for i in range(0, len(data), 3)]
    return [words[y * width:(y + 1) * width] for y in range(height)]


def wait_whole_picture(display, window, what, size=SIZE, picture=None, timeout=30.0):
    """A screenshot once the client area has `size` and `picture` (all) reaches its four edges."""
    deadline = time.monotonic() + timeout
    while client_size(display, window) != size:
        must(time.monotonic() < deadline, "%s: the client area is %s, not %dx%d" % (
            (what, client_size(display, window)) + size))
        time.sleep(0.1)
    x0, y0, width, height = picture or (0, 0) + size
    band = 80  # the effects reach all four edges of the picture
    bands = (("left", x0, y0, band, height), ("right", x0 + width - band, y0, band, height),
             ("top", x0, y0, width, band), ("bottom", x0, y0 + height - band, width, band))
    while True:
        rows = window_pixels(display, window, *size)
        dark = [name for name, x, y, w, h in bands
                if sum(1 for row in rows[y:y + h] for p in row[x:x + w] if p) < 0.002 * w * h]
        if not dark:
            return rows
        must(time.monotonic() < deadline, "%s: the picture's %s edge stays black" % (
            what, ", ".join(dark)))
        time.sleep(0.2)


def read_samples(path, skip=0):
    """32-bit floats (interleaved stereo) after skip bytes; none if the file is missing."""
    samples = array.array("f")
    if os.path.exists(path):
        samples.frombytes(read(path)[skip:])
    return samples


def module_left(seconds):
    """The shipped module's left channel as music_probe renders it, before any volume."""
    with tempfile.TemporaryDirectory(prefix="intro_reference_") as scratch:
        wav = os.path.join(scratch, "reference.wav")
        tool("music_probe", MODULE, "--seconds", "%.3f" % seconds, "--fps", "1", "--wav", wav,
             expect=0)
        return read_samples(wav, skip=44)[0::2]


def gain_curve(heard, reference):
    """(frame, gain) where the reference is loud; both aligned where they first sound."""
    first_heard = next((i for i, v in enumerate(heard) if v != 0.0), None)
    must(first_heard is not None, "the intro wrote only silence")
    offset = first_heard - next(i for i, v in enumerate(reference) if v != 0.0)
    must(offset >= 0, "the heard sound starts before the module does")
    return [(i, heard[i] / reference[i - offset])
            for i in range(first_heard, min(len(heard), len(reference) + offset))
            if abs(reference[i - offset]) > 0.02]


def peak(values):
    return max(map(abs, values), default=0.0)


def run(display, args=(), cwd=DATA, program=INTRO, seconds=2.5, close=sigterm,
        audio="disk", **env):
    """Status, out, err, screen, sound and seconds from window to end; closed by close() if any."""
    with tempfile.TemporaryDirectory(prefix="intro_run_") as scratch:
        sound = os.path.join(scratch, "sound.raw")
        env = dict({"SDL_AUDIODRIVER": audio, "SDL_DISKAUDIOFILE": sound}, **env)
        with running(display, args, cwd, program, **env) as process:
            window = find_window(display, process)
            shown = time.monotonic()
            time.sleep(seconds)
            screen = window_pixels(display, window, *SIZE)
            if close:
                must(process.poll() is None, "the intro ended before it was asked to close")
                close(display, window, process)
            status, out, err = wait_exit(process)
            return types.SimpleNamespace(status=status, out=out, err=err, screen=screen,
                                         sound=read_samples(sound),
                                         took=time.monotonic() - shown)


def intro_copy(module=None, folder=None, header=True):
    """A folder (new unless given) with a copy of the intro, header.bmp, and `module` if given."""
    folder = folder or tempfile.mkdtemp(prefix="intro_copy_")
    os.makedirs(folder, exist_ok=True)
    libraries = glob.glob(os.path.join(os.path.dirname(INTRO), "*.dll")) if WINDOWS else []
    for path in [INTRO] + libraries + ([HEADER] if header else []):
        shutil.copy(path, folder)
    if module is not None:
        write(os.path.join(folder, "module.xm"), module)
    return folder


def one_order_module(path):
    """Writes the shipped module cut to its first order (7.68 s) to path; returns path."""
    module = bytearray(read(MODULE))
    module[64:66] = (1).to_bytes(2, "little")  # song length: one order
    return write(path, module)


def bitmap(width, height, bits, data, compression=0, colours=0, masks=b""):
    """A BMP file with a 40-byte header and these pixels, masks and palette size."""
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(data), 2835,
                       2835, colours, 0)
    offset = 14 + len(info) + len(masks)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + info + masks + data


def rendered_rgb(path):
    """A render_frames .bin page (little-endian 0xAARRGGBB words) as rgb24 bytes."""
    words = read(path)
    rgb = bytearray(len(words) // 4 * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = words[2::4], words[1::4], words[0::4]
    return bytes(rgb)


RENDERED = 8  # frames rendered per seed: --rate 1 shows at most these within the checks


def rendered_frames(seed):
    """render_frames --seed seed's first frames as rgb24 bytes, as the window shows them."""
    with tempfile.TemporaryDirectory(prefix="intro_seed_") as out:
        tool("render_frames", "--seed", str(seed), "--header", HEADER, "--out", out, "--frames",
             ",".join(str(n) for n in range(1, RENDERED + 1)), expect=0)
        return [rendered_rgb(os.path.join(out, "frame_%05d.bin" % n))
                for n in range(1, RENDERED + 1)]


def check_seed_at_rate_1(display, seed, program, watch=3.5):
    """The window shows render_frames' frames in order, at least two, one a second at most."""
    frames = rendered_frames(seed)
    with running(display, ["--seed", str(seed), "--rate", "1"], os.path.dirname(program),
                 program) as intro:
        window = find_window(display, intro)
        shown = time.monotonic()
        seen = []
        for picture in grab_window(display, window, *SIZE, seconds=watch):
            if picture in frames and frames.index(picture) + 1 >= max(seen, default=0):
                seen.append(frames.index(picture) + 1)
            else:
                must(not seen, "--seed %d: after frames %s the window shows no later frame of "
                     "render_frames'" % (seed, sorted(set(seen))))
        took, distinct = time.monotonic() - shown, sorted(set(seen))
        must(len(distinct) >= 2 and max(seen) <= took + 2,
             "--seed %d --rate 1: frames %s seen in %.1f s" % (seed, distinct, took))
        print("--seed %d --rate 1: frames %s in %d pictures" % (seed, distinct, len(seen)))


def read_header():
    """The shipped picture's pixel words, top row first (512x96 32-bit ARGB bit fields)."""
    data = read(HEADER)
    offset, size, width, height, _, bits, compression = struct.unpack_from("<IIiiHHI", data, 10)
    must((size, width, height, bits, compression, struct.unpack_from("<4I", data, 54)) ==
         (108, 512, 96, 32, 3, (0xFF0000, 0xFF00, 0xFF, 0xFF000000)), "unexpected header.bmp")
    return b"".join(data[offset + r * 2048:offset + (r + 1) * 2048] for r in range(95, -1, -1))


def close_colour(a, b):  # equal but for the blend's rounding
    return all(abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF)) <= 2 for s in (0, 8, 16))


def colour_share(screen, colour):
    """Share of pixels of that colour in the middle of the header's band."""
    band = [p for row in screen[40:136] for p in row[80:560]]
    return sum(1 for p in band if close_colour(p, colour)) / float(len(band))


def shows_header(screen, top=40):
    """Every 8th full row of the shipped picture on its row, 95% of it, at the wave's 64 +- 8."""
    words = struct.unpack("<%dI" % (512 * 96), read_header())
    picture = [[(w >> 24, w & 0xFFFFFF) for w in words[i:i + 512]] for i in range(0, 512 * 96, 512)]
    rows = [i for i, row in enumerate(picture) if sum(1 for a, _ in row if a == 255) >= 200]
    for i in rows[::8]:
        opaque = [(x, rgb) for x, (alpha, rgb) in enumerate(picture[i]) if alpha == 255]
        line = screen[top + i]
        best = max(sum(1 for x, rgb in opaque if close_colour(line[shift + x], rgb))
                   for shift in range(55, 74))
        if best < 0.95 * len(opaque):
            return False
    return bool(rows)


def capture_command(path, *options):
    return [INTRO, "--capture", path, "--module", MODULE, "--header", HEADER, *options]
