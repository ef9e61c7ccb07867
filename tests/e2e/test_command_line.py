"""The command line without a window: help and version on standard output with status 0; a bad
option or value, one line on standard error naming it with a hint to --help and status 2; a named
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
           lambda out: out.startswith("Usage: %s [OPTION]" % COMMAND) and "--rate HZ" in out,
           nothing)
    expect(["-V"], 0, lambda out: out.startswith(COMMAND + " ") and out.count("\n") == 1, nothing)
    if os.environ.get("INTRO_HAS_CAPTURE", "1") == "1":
        expect(["--help"], 0, lambda out: "--capture FILE" in out and "-y, --force" in out,
               nothing)
    else:
        expect(["--help"], 0, lambda out: "--capture" not in out and "--force" not in out,
               nothing)
        for words in (["--capture", "out.mkv"], ["-y"], ["--seconds", "1"]):
            expect(words, 2, nothing, one_line("this build has no capture"))
    for bad, named in ((["--bogus"], "--bogus"), (["--scale", "0"], "--scale"),
                       (["--volume=101"], "--volume"), (["--rate"], "--rate"),
                       (["a.xm", "b.xm"], "b.xm")):
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
