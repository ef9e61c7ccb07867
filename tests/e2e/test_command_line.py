"""The command line without a window: help and version on standard output with status 0, every
help line within 80 columns, and status 1 when that output cannot be written; a bad option or
value (out of range, not plain decimal, empty, an ambiguous abbreviation), one line on standard
error naming it with a hint to --help and status 2; a named
file that cannot be loaded (missing, a directory, a FIFO, empty, not a module or picture), one
line `COMMAND: FILE: why` and status 1. Every message starts with the command's own name, as GNU
tools' do. None of these opens a window or waits on the file. A build without the capture
neither lists nor takes its options: --capture gets one line saying so and status 2."""
import os
import shutil
import subprocess
import tempfile

from session import COMMAND, HEADER, INTRO, MODULE, environment, fail


def expect(args, status, out_check, err_check):
    """Without a display: a run that tried to open a window would say so."""
    try:
        result = subprocess.run([INTRO, *args], capture_output=True, text=True, timeout=30,
                                env=environment(None))
    except subprocess.TimeoutExpired:
        fail("%s did not end: it waits on something" % " ".join(args))
    if result.returncode != status or not out_check(result.stdout) or \
            not err_check(result.stderr):
        fail("%s %s: status %d, stdout %r, stderr %r" %
             (COMMAND, " ".join(args), result.returncode, result.stdout[:300], result.stderr[:300]))


def one_line(*parts):
    return lambda err: err.count("\n") == 1 and all(p in err for p in parts)


def main():
    nothing = "".__eq__
    expect(["--help"], 0,
           lambda out: out.startswith("Usage: %s [OPTION]" % COMMAND) and "--rate HZ" in out and
           max(map(len, out.splitlines())) <= 80, nothing)
    expect(["-V"], 0, lambda out: out.startswith(COMMAND + " ") and out.count("\n") == 1, nothing)
    if os.environ.get("INTRO_HAS_CAPTURE", "1") == "1":
        expect(["--help"], 0, lambda out: "--capture FILE" in out and "-y, --force" in out,
               nothing)
    else:
        expect(["--help"], 0, lambda out: "--capture" not in out and "--force" not in out,
               nothing)
        for words in (["--capture", "out.mkv"], ["-y"], ["--seconds", "1"]):
            expect(words, 2, nothing, one_line("this build has no capture"))
    for args in (["--help"], ["--version"]):
        with open("/dev/full", "w") as full:
            result = subprocess.run([INTRO, *args], stdout=full, stderr=subprocess.PIPE,
                                    text=True, timeout=30, env=environment(None))
        if result.returncode != 1 or not one_line(COMMAND + ": write error")(result.stderr):
            fail("%s %s > /dev/full: status %d, stderr %r" % (COMMAND, args[0], result.returncode,
                                                               result.stderr))
    bad_words = [(["--bogus"], "--bogus"), (["--scale", "0"], "--scale"),
                 (["--volume=101"], "--volume"), (["--rate"], "--rate"),
                 (["a.xm", "b.xm"], "b.xm"), (["--scale", "+2"], "--scale"),
                 (["--rate="], "--rate: the value is empty"),
                 (["--s", "2"], "'--s' is ambiguous: --scale, --seed, --seconds")]
    if os.environ.get("INTRO_HAS_CAPTURE", "1") == "1":
        bad_words += [(["--capture", "a.mkv", "--seconds", "0x10"], "--seconds"),
                      (["--seconds", ""], "--seconds: the value is empty")]
    for bad, named in bad_words:
        expect(bad, 2, nothing, one_line(COMMAND + ": ", named, "--help"))

    tmp = tempfile.mkdtemp(prefix="intro_cli_")
    directory, fifo, empty, missing = (os.path.join(tmp, n) for n in ("d", "f", "e", "m"))
    os.mkdir(directory)
    os.mkfifo(fifo)
    open(empty, "wb").close()
    for option in (["--module"], [], ["--header"]):
        for path, why in ((missing, "No such file"), (directory, "is a directory"),
                          (fifo, "is not a regular file"), (empty, "is empty")):
            expect(option + [path], 1, nothing, one_line("%s: %s: %s" % (COMMAND, path, why)))
    expect([HEADER], 1, nothing, one_line("%s: %s: is not a module" % (COMMAND, HEADER)))
    expect(["--header", MODULE], 1, nothing,
           one_line("%s: %s: is not a Windows bitmap" % (COMMAND, MODULE)))
    shutil.rmtree(tmp)
    print("ok")


main()
