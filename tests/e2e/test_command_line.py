"""The command line without a window: help and version on standard output with status 0, every
help line within 80 columns, and status 1 when that output cannot be written; a bad option or
value (out of range, not plain decimal, empty, an ambiguous abbreviation), one line on standard
error naming it with a hint to --help and status 2; a named
file that cannot be loaded (missing, a directory, a FIFO, empty, not a module or picture), one
line `intro: FILE: why` and status 1. None of these opens a window or waits on the file."""
import os
import shutil
import subprocess
import tempfile

from session import HEADER, INTRO, MODULE, environment, fail


def expect(args, status, out_check, err_check):
    """Without a display: a run that tried to open a window would say so."""
    try:
        result = subprocess.run([INTRO, *args], capture_output=True, text=True, timeout=30,
                                env=environment(None))
    except subprocess.TimeoutExpired:
        fail("%s did not end: it waits on something" % " ".join(args))
    if result.returncode != status or not out_check(result.stdout) or \
            not err_check(result.stderr):
        fail("intro %s: status %d, stdout %r, stderr %r" %
             (" ".join(args), result.returncode, result.stdout[:300], result.stderr[:300]))


def one_line(*parts):
    return lambda err: err.count("\n") == 1 and all(p in err for p in parts)


def main():
    nothing = "".__eq__
    expect(["--help"], 0, lambda out: out.startswith("Usage: intro") and "--rate HZ" in out and
           max(map(len, out.splitlines())) <= 80, nothing)
    expect(["-V"], 0, lambda out: out.startswith("intro ") and out.count("\n") == 1, nothing)
    for args in (["--help"], ["--version"]):
        with open("/dev/full", "w") as full:
            result = subprocess.run([INTRO, *args], stdout=full, stderr=subprocess.PIPE,
                                    text=True, timeout=30, env=environment(None))
        if result.returncode != 1 or not one_line("intro: write error")(result.stderr):
            fail("intro %s > /dev/full: status %d, stderr %r" % (args[0], result.returncode,
                                                                  result.stderr))
    for bad, named in ((["--bogus"], "--bogus"), (["--scale", "0"], "--scale"),
                       (["--volume=101"], "--volume"), (["--rate"], "--rate"),
                       (["a.xm", "b.xm"], "b.xm"), (["--scale", "+2"], "--scale"),
                       (["--capture", "a.mkv", "--seconds", "0x10"], "--seconds"),
                       (["--seconds", ""], "--seconds: the value is empty"),
                       (["--rate="], "--rate: the value is empty"),
                       (["--s", "2"], "'--s' is ambiguous: --scale, --seed, --seconds")):
        expect(bad, 2, nothing, one_line(named, "--help"))

    tmp = tempfile.mkdtemp(prefix="intro_cli_")
    directory, fifo, empty, missing = (os.path.join(tmp, n) for n in ("d", "f", "e", "m"))
    os.mkdir(directory)
    os.mkfifo(fifo)
    open(empty, "wb").close()
    for option in (["--module"], [], ["--header"]):
        for path, why in ((missing, "No such file"), (directory, "is a directory"),
                          (fifo, "is not a regular file"), (empty, "is empty")):
            expect(option + [path], 1, nothing, one_line("intro: %s: %s" % (path, why)))
    expect([HEADER], 1, nothing, one_line("intro: %s: is not a module" % HEADER))
    expect(["--header", MODULE], 1, nothing,
           one_line("intro: %s: is not a Windows bitmap" % MODULE))
    shutil.rmtree(tmp)
    print("ok")


main()
