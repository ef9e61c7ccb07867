"""Every way a capture can fail ends with one line on standard error and the stated status, no
FILE.part left behind and an existing FILE untouched: an extension without a format, a
directory that does not exist or cannot be written, the file size limit, and Ctrl+C."""
import os
import resource
import signal
import subprocess
import tempfile
import time

from capture_session import capture_command
from window_session import fail

OLD = b"an older capture"


def run(command, expected_status, **popen_args):
    result = subprocess.run(command, capture_output=True, text=True, timeout=600, **popen_args)
    if result.returncode != expected_status:
        fail("%s: status %d, expected %d (%s)" % (" ".join(command), result.returncode,
                                                  expected_status, result.stderr))
    if len(result.stderr.splitlines()) != 1:
        fail("not one line on standard error: %r" % result.stderr)
    return result.stderr


def expect_untouched(directory, names):
    left = sorted(os.listdir(directory))
    if left != sorted(names):
        fail("%s holds %s afterwards, expected %s" % (directory, left, sorted(names)))
    for name in names:
        with open(os.path.join(directory, name), "rb") as f:
            if f.read() != OLD:
                fail(name + " was changed")


def place_old(directory, name):
    with open(os.path.join(directory, name), "wb") as f:
        f.write(OLD)


def check_bad_names(work):
    message = run(capture_command(os.path.join(work, "out.avi")), 2)
    if not all(extension in message for extension in (".mkv", ".mp4", ".webm")):
        fail("the extension message does not list the supported ones: " + message)
    run(capture_command(os.path.join(work, "out.mp4"), "--lossless"), 2)
    run(capture_command(os.path.join(work, "missing", "out.mkv"), "--seconds", "0"), 1)
    expect_untouched(work, [])


def check_unwritable_directory(work):
    if os.getuid() == 0:
        # Root writes through any mode bits; sysfs refuses new files even to root.
        closed = "/sys"
    else:
        closed = os.path.join(work, "closed")
        os.mkdir(closed, 0o555)
    before = sorted(os.listdir(closed))
    run(capture_command(os.path.join(closed, "out.mkv"), "--seconds", "0"), 1)
    if sorted(os.listdir(closed)) != before:
        fail("the capture left something in " + closed)


def check_file_size_limit(work):
    place_old(work, "out.mkv")
    limit = 1 << 20  # far below a capture of the fade alone

    def limit_file_size():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    run(capture_command(os.path.join(work, "out.mkv"), "--seconds", "0", "--lossless"), 1,
        preexec_fn=limit_file_size)
    expect_untouched(work, ["out.mkv"])


def check_interrupt(work):
    place_old(work, "out.mkv")
    part = os.path.join(work, "out.mkv.part")
    process = subprocess.Popen(capture_command(os.path.join(work, "out.mkv")),
                               stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 120
    while not (os.path.exists(part) and os.path.getsize(part) > 100000):
        if process.poll() is not None or time.monotonic() > deadline:
            fail("the capture did not get going: %s" % process.stderr.read())
        time.sleep(0.05)
    process.send_signal(signal.SIGINT)
    _, errors = process.communicate(timeout=60)
    if process.returncode != 130 or len(errors.splitlines()) != 1:
        fail("after Ctrl+C: status %d, %r" % (process.returncode, errors))
    expect_untouched(work, ["out.mkv"])


def main():
    for check in (check_bad_names, check_unwritable_directory, check_file_size_limit,
                  check_interrupt):
        with tempfile.TemporaryDirectory(prefix="capture_fail_") as work:
            check(work)
    print("ok")


if __name__ == "__main__":
    main()
