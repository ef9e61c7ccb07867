"""The capture costs the live intro nothing: neither `intro --version` nor the intro running in
its window maps any of FFmpeg's libraries (libav*, libsw*), read from /proc/PID/maps while each
runs; a capture does map them, which shows the check can see them."""
import os
import re
import signal
import subprocess
import tempfile
import time

from session import (COMMAND, INTRO, capture_command, fail, find_window, start, stop,
                     temporary_files, xvfb)

FFMPEG = re.compile(r"/lib(av[a-z]+|sw[a-z]+)\.so")


def mapped(pid):
    with open("/proc/%d/maps" % pid) as f:
        return {line.split()[-1] for line in f if "/" in line}


def check(what, pid, ffmpeg_expected):
    files = mapped(pid)
    ffmpeg = sorted(f for f in files if FFMPEG.search(f))
    if not any("libSDL2" in f for f in files):
        fail("%s: the maps read do not look like the intro's: %s" % (what, sorted(files)[:5]))
    if bool(ffmpeg) != ffmpeg_expected:
        fail("%s maps %s" % (what, ffmpeg or "no FFmpeg library"))
    print("%s: %d files mapped, FFmpeg's: %s" % (what, len(files), ffmpeg or "none"))


def check_version():
    """--version held at its one write by a pipe already full, so that it is read while alive."""
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    try:
        while True:
            os.write(write_end, b"x" * 4096)
    except BlockingIOError:
        pass
    os.set_blocking(write_end, True)
    process = subprocess.Popen([INTRO, "--version"], stdout=write_end)
    os.close(write_end)
    try:
        deadline = time.monotonic() + 30
        while "pipe_write" not in open("/proc/%d/wchan" % process.pid).read():
            if process.poll() is not None or time.monotonic() > deadline:
                fail("--version did not stop at its write")
            time.sleep(0.01)
        check(COMMAND + " --version", process.pid, False)
    finally:
        with os.fdopen(read_end, "rb") as reader:
            out = reader.read()
        process.wait(timeout=30)
    if process.returncode != 0 or not out.lstrip(b"x").startswith(COMMAND.encode() + b" "):
        fail("--version: status %d" % process.returncode)


def main():
    check_version()
    with xvfb() as x:
        intro = start(x.display)
        try:
            find_window(x.display, intro)
            time.sleep(1.0)
            check("the running intro", intro.pid, False)
        finally:
            stop(intro)
    with tempfile.TemporaryDirectory(prefix="capture_maps_") as work:
        target = os.path.join(work, "out.mkv")
        process = subprocess.Popen(capture_command(target), stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 60
            while not temporary_files(target):
                if process.poll() is not None or time.monotonic() > deadline:
                    fail("the capture did not start")
                time.sleep(0.05)
            check("a capture", process.pid, True)
        finally:
            process.send_signal(signal.SIGTERM)
            process.wait(timeout=60)
    print("ok")


main()
