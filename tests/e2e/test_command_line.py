"""The command line on Linux, under Wine and under node: each answer word for word (one line, its
status, no window); on Linux also each window option's effect."""
import glob
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zipfile

from session import (BUILD, COMMAND, EMULATOR, EXE, FAST, HEADER, INTRO, SIZE, bitmap, checked,
                     check_seed_at_rate_1, environment, fail, find_window, gain_curve, geometry,
                     intro_copy, module_left, must, peak, read, run, running, wait_exit,
                     wait_until, write, xvfb)

NAME = os.path.splitext(COMMAND)[0]  # every message starts with it, ".exe" or ".js" aside
CAPTURE = os.environ.get("INTRO_HAS_CAPTURE", "1") == "1"
LINUX = not EMULATOR
CONTROL = "a control character"


def refused(what):
    return "%s: %s (try '%s --help')" % (NAME, what, NAME)


# (arguments, status, the one stderr line); the parser's every word is its unit test's to check.
CASES = [(words, 2, refused(what)) for words, what in [
    (["--bogus"], "unknown option '--bogus'"),
    (["-fx"], "unknown option '-x'"),
    (["--rate"], "option '--rate' needs a value"),
    (["--rate="], "--rate: the value is empty"),
    (["--seed", ""], "--seed: the value is empty"),
    (["--module", ""], "--module: the file name is empty"),
    (["--sc=9"], "--scale: '9' is not a whole number from 1 to 8"),
    (["--volume=101"], "--volume: '101' is not a whole number from 0 to 100"),
    (["--header", "a\nb.bmp"], "--header: the file name 'a\\nb.bmp' has " + CONTROL),
    (["a.xm", "--", "-b.xm"], "one module only, '-b.xm' is one too many"),
    *([(["--capture", "a.mkv", "-f"], "--fullscreen goes with the window, not --capture"),
       (["--seconds", ""], "--seconds: the value is empty"),
       (["--lossless"], "--seconds, --lossless and --force go with --capture FILE")]
      if CAPTURE else [])]]
if not CAPTURE:
    CASES += [(words, 2, "%s: --%s: this build has no capture" % (NAME, option))
              for words, option in ((["--capture", "a.mkv"], "capture"), (["--seconds=1"],
                                    "seconds"), (["-y"], "force"))]


def run_intro(args, cwd=None, stdout=subprocess.PIPE):
    """Status, stdout and stderr; a Windows console's "\\r\\n" must be whole, read as "\\n"."""
    try:
        result = subprocess.run([*EMULATOR, INTRO, *args], cwd=cwd, stdout=stdout,
                                stderr=subprocess.PIPE, timeout=120, env=environment(None))
    except subprocess.TimeoutExpired:
        fail("%r did not end: it waits on something" % args)
    out, err = (raw.replace(b"\r\n", b"\n") if EXE else raw
                for raw in (result.stdout or b"", result.stderr))
    must(b"\r" not in out + err, "%r: a stray carriage return in %r" % (args, (out + err)[:300]))
    return result.returncode, out.decode(), err.decode()


def expect(args, status, err, out="".__eq__, cwd=None):
    got, stdout, stderr = run_intro(args, cwd)
    must(got == status and stderr == (err + "\n" if err else "") and out(stdout), "%r: status %d, "
         "stdout %r, stderr %r; expected %d, %r" % (args, got, stdout[:300], stderr, status, err))


def check_named_files(work):
    """Named files that cannot be loaded: one line `COMMAND: FILE: why`, status 1, no window."""
    good = read(HEADER)
    pictures = {"short.bmp": bitmap(512, 96, 24, b"\x80" * 100),
                "huge.bmp": bitmap(0x7FFFFFFF, 0x7FFFFFFF, 24, b"\x80" * 100),
                "palette.bmp": bitmap(512, 96, 8, b"\x80" * 100, colours=0xFFFFFFFF),
                "masks.bmp": bitmap(512, 96, 32, b"\x80" * 100, 3, masks=b"\0" * 12),
                "large.bmp": bitmap(4000, 3000, 24, b"\x80" * 100),
                "truncated.bmp": good[:len(good) // 2], "good.bmp": good, "empty": b""}
    for name, data in pictures.items():
        write(os.path.join(work, name), data)
        if name.endswith(".bmp") and name != "good.bmp":
            expect(["--header", name], 1, "%s: %s: is not a Windows bitmap that can be shown" %
                   (NAME, name), cwd=work)
    os.mkdir(os.path.join(work, "folder"))
    for option in (["--module"], [], ["--header"]):
        for path, why in (("\u00e9t\u00e9 \u2014 missing", "No such file"),
                          ("folder", "is a directory"), ("empty", "is empty")):
            status, out, err = run_intro(option + [path], work)
            must((status, out, err.count("\n")) == (1, "", 1) and err.startswith("%s: %s: %s" % (
                NAME, path, why)), "%r: status %d, %r, %r" % (option + [path], status, out, err))
    expect(["--module", "good.bmp"], 1, "%s: good.bmp: is not a module that can be played" % NAME,
           cwd=work)
    # A good picture passes its check and gets as far as the window, which is not to be had here.
    status, _, err = run_intro(["--header", "good.bmp", "--rate", "1"], work)
    must(status != 0 and "bitmap" not in err, "--header good.bmp: status %d, %r" % (status, err))


def check_linux_only(work):
    """What only Linux's shell can hand over: a FIFO, and output that cannot be written."""
    os.mkfifo(os.path.join(work, "fifo"))
    expect(["--header", "fifo"], 1, NAME + ": fifo: is not a regular file", cwd=work)
    for args in (["--help"], ["--version"]):
        with open("/dev/full", "w") as full:
            status, _, err = run_intro(args, stdout=full)
        must(status == 1 and err.startswith(NAME + ": write error") and err.count("\n") == 1,
             "%s > /dev/full: status %d, %r" % (args[0], status, err))


def check_executable():
    """A windowed program (no console on a double-click) importing only Windows' own DLLs; the
    zip ships this very exe, without a symbol table."""
    image = read(INTRO)
    zips = glob.glob(os.path.join(BUILD, "*-win64.zip"))
    must(len(zips) == 1, "not one Windows zip in %s: %s" % (BUILD, zips))
    with zipfile.ZipFile(zips[0]) as z:
        must(z.read(COMMAND) == image, "the zip's %s is not the exe the tests run" % COMMAND)
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    # The Subsystem field sits 68 bytes into the optional header, after the 24-byte PE header.
    must(image[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<H", image, pe + 92)[0] == 2,
         "%s is not a windowed PE program" % INTRO)
    table, symbols = struct.unpack_from("<II", image, pe + 12)  # the file header's symbol table
    must(not table and not symbols, "%s has %d symbols at %#x" % (COMMAND, symbols, table))
    dump = checked("x86_64-w64-mingw32-objdump", "-p", INTRO).stdout
    imports = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
               if "DLL Name:" in line}
    system = {"advapi32", "gdi32", "imm32", "kernel32", "msvcrt", "ole32", "oleaut32", "rpcrt4",
              "setupapi", "shell32", "user32", "version", "winmm", "dinput8", "uuid"}
    must(imports and not imports - {name + ".dll" for name in system},
         "%s imports %s beyond Windows' own DLLs" % (COMMAND, sorted(imports)))


def check_effects():
    """Window options at their edges: --seed's frames, --rate 1000's fade, --volume's gain, --scale
    (brought down to fit, saying so), --display, --once ending after the scroll text's pass."""
    copy = intro_copy()
    program = os.path.join(copy, os.path.basename(INTRO))
    with xvfb((1024, 768)) as x:
        for seed in (0, 7, 4294967295):
            check_seed_at_rate_1(x.display, seed, program)
        for args, least, most in ((["--rate", "1000"], 0.25, 3.8),
                                  (["--once", "--rate", "1000"], 6.0, 200)):
            with running(x.display, args, copy, program) as intro:
                find_window(x.display, intro)
                asked = time.monotonic()
                if "--once" not in args:
                    time.sleep(1.0)
                    asked = time.monotonic()
                    intro.send_signal(signal.SIGTERM)
                status, _, err = wait_exit(intro, timeout=most)
            # --rate 1000: 256 frames in 0.26 s; --once: 5790 frames of scroll text, the fade.
            took = time.monotonic() - asked
            must(status == 0 and least <= took <= most, "%s: status %d after %.2f s: %s" % (
                " ".join(args), status, took, err))
            print("%s: ended after %.2f s" % (" ".join(args), took))
        reference = module_left(6.0)
        for volume in (0, 50, 100):
            left = run(x.display, ["--volume", str(volume), *FAST], seconds=1.5).sound[0::2]
            # The first second's gain, before the fade the close request starts.
            gains = [g for frame, g in gain_curve(left, reference) if frame < 44100] \
                if volume else []
            must(len(left) >= 44100 and (peak(left) == 0 if volume == 0 else len(gains) >= 11025)
                 and all(abs(g - volume / 100) <= 1e-4 for g in gains), "--volume %d: %d samples, "
                 "gains %s" % (volume, len(left), sorted(gains)[:3]))
        check_window(x.display, ["--scale", "1"], SIZE)
        check_window(x.display, ["--scale", "3"], SIZE, "%s: scale 3 does not fit the monitor's "
                     "usable 1024x768, scale 1 instead\n" % NAME)
        for number in ("0", "63"):
            check_window(x.display, ["--display", number], SIZE, position=(192, 144))
    with xvfb((5120, 3840)) as x:
        check_window(x.display, ["--scale", "8"], (5120, 3840))
        check_window(x.display, ["--scale", "5"], (3200, 2400))
    shutil.rmtree(copy)


def check_window(display, args, size, line="", position=None):
    """The client area has `size` (at `position`, if given) and the intro says `line`."""
    with running(display, args + ["--rate", "1"]) as intro:
        window = find_window(display, intro)
        wait_until(lambda: geometry(display, window)[2:] == size and position in (
            None, geometry(display, window)[:2]), 10.0, lambda: "%r: window %s" % (
                args, geometry(display, window)))
        intro.send_signal(signal.SIGKILL)
        _, _, err = wait_exit(intro)
    must(err == line, "%r: printed %r, expected %r" % (args, err, line))


def main():
    for args, status, err in CASES:
        expect(args, status, err)
    usage = "Usage: %s [OPTION]" % NAME
    expect(["-fh", "--bogus"], 0, "", lambda out: out.startswith(usage) and "--rate HZ" in out and
           ("-y, --force" in out) == CAPTURE and max(map(len, out.splitlines())) <= 80)
    for version in (["-V"], ["--vers"]):
        expect(version, 0, "", lambda out: out.startswith(NAME + " ") and out.count("\n") == 1)
    work = tempfile.mkdtemp(prefix="intro_cli_")
    check_named_files(work)
    if LINUX:
        check_linux_only(work)
    shutil.rmtree(work)
    if EXE == ".exe":
        check_executable()
    # The window's options are the same in every build: checked in the one with the capture.
    if LINUX and CAPTURE:
        check_effects()
    print("ok")


main()
