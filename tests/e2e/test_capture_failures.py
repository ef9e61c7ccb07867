"""Every way a capture can fail ends with one line on standard error and the stated status, no
temporary file left behind and an existing FILE untouched: an extension without a format, a
directory that does not exist or cannot be written, the file size limit, and each signal that
stops it (Ctrl+C, kill, the terminal closing, Ctrl+\\, a reader of standard error gone)."""
import os
import resource
import signal
import subprocess
import tempfile
import time

from session import capture, capture_command, fail, temporary_files

OLD = b"an older capture"


def fails(path, status, *options, **popen):
    message = capture(path, *options, status=status, **popen)
    if len(message.splitlines()) != 1:
        fail("not one line on standard error: %r" % message)
    return message


def expect_only_old(directory, names):
    if sorted(os.listdir(directory)) != names:
        fail("%s holds %s afterwards, expected %s" % (directory, os.listdir(directory), names))
    for name in names:
        with open(os.path.join(directory, name), "rb") as f:
            if f.read() != OLD:
                fail(name + " was changed")


def main():
    with tempfile.TemporaryDirectory(prefix="capture_fail_") as work:
        message = fails(os.path.join(work, "out.avi"), 2)
        if not all(extension in message for extension in (".mkv", ".mp4", ".webm")):
            fail("the extension message does not list the supported ones: " + message)
        fails(os.path.join(work, "out.mp4"), 2, "--lossless")
        fails(os.path.join(work, "missing", "out.mkv"), 1, "--seconds", "0")
        expect_only_old(work, [])

        # Root writes through any mode bits; sysfs refuses new files even to root.
        closed = "/sys" if os.getuid() == 0 else os.path.join(work, "closed")
        os.makedirs(closed, 0o555, exist_ok=True)
        before = sorted(os.listdir(closed))
        fails(os.path.join(closed, "out.mkv"), 1, "--seconds", "0")
        if sorted(os.listdir(closed)) != before:
            fail("the capture left something in " + closed)

    with tempfile.TemporaryDirectory(prefix="capture_fail_") as work:
        target = os.path.join(work, "out.mkv")
        with open(target, "wb") as f:
            f.write(OLD)
        limit = 1 << 20  # far below a capture of the fade alone
        fails(target, 1, "--seconds", "0", "--lossless", "--force",
              preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
        expect_only_old(work, ["out.mkv"])
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT,
                       signal.SIGPIPE):
            stop_midway(work, target, number)
    print("ok")


def stop_midway(work, target, number):
    """The signal once the capture has written a good part of its file: status 128 + number,
    one line, nothing left but the older FILE."""
    process = subprocess.Popen(capture_command(target, "--force"), stderr=subprocess.PIPE,
                               text=True)
    deadline = time.monotonic() + 120
    while not any(os.path.getsize(os.path.join(work, n)) > 100000
                  for n in temporary_files(target)):
        if process.poll() is not None or time.monotonic() > deadline:
            fail("the capture did not get going: %s" % process.stderr.read())
        time.sleep(0.05)
    process.send_signal(number)
    _, errors = process.communicate(timeout=60)
    if process.returncode != 128 + number or len(errors.splitlines()) != 1:
        fail("after %s: status %d, %r" % (signal.Signals(number).name, process.returncode,
                                          errors))
    expect_only_old(work, ["out.mkv"])


main()
