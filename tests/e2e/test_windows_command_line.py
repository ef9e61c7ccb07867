"""The Windows build's command line under Wine, without a display: help and version on standard
output with status 0, as the Linux build prints them (help lines within 80 columns); a bad
option or value gets one line on standard error naming it with a hint to --help, nothing on
standard output, and status 2. The console's line ends are "\\r\\n" on Windows: each line must end
in exactly one of them (a program that writes "\\r\\n" through a text-mode stream sends
"\\r\\r\\n"), and no other carriage return may appear."""
import os
import subprocess

from session import COMMAND, command, environment, fail, INTRO

# Messages start with the command's name, with or without the ".exe" that Windows shows.
NAMES = (os.path.splitext(COMMAND)[0], COMMAND)


def run(args):
    """Status, stdout and stderr as text with Windows' line ends read as "\\n"."""
    try:
        result = subprocess.run(command(INTRO, *args), capture_output=True, timeout=120,
                                env=environment(None))
    except subprocess.TimeoutExpired:
        fail("%s did not end: it waits on something" % " ".join(args))
    texts = []
    for name, raw in (("stdout", result.stdout), ("stderr", result.stderr)):
        lines = raw.replace(b"\r\n", b"\n")
        if b"\r" in lines:
            fail("%s %s: a stray carriage return on %s: %r" % (COMMAND, " ".join(args), name,
                                                                raw[:300]))
        texts.append(lines.decode())
    return result.returncode, texts[0], texts[1]


def expect(args, status, out_check, err_check):
    got, out, err = run(args)
    if got != status or not out_check(out) or not err_check(err):
        fail("%s %s: status %d, stdout %r, stderr %r" %
             (COMMAND, " ".join(args), got, out[:300], err[:300]))


def one_line(*parts):
    return lambda err: err.count("\n") == 1 and err.endswith("\n") and \
        err.startswith(tuple(name + ": " for name in NAMES)) and all(p in err for p in parts)


def main():
    nothing = "".__eq__
    expect(["--help"], 0,
           lambda out: out.startswith(tuple("Usage: %s [OPTION]" % name for name in NAMES)) and
           "--rate HZ" in out and "--seed" in out and max(map(len, out.splitlines())) <= 80,
           nothing)
    for version in (["-V"], ["--version"]):
        expect(version, 0, lambda out: out.startswith(tuple(name + " " for name in NAMES)) and
               out.count("\n") == 1, nothing)
    for bad, named in ((["--bogus"], "--bogus"), (["--scale", "0"], "--scale"),
                       (["--volume=101"], "--volume"), (["--rate"], "--rate"),
                       (["--rate="], "--rate: the value is empty")):
        expect(bad, 2, nothing, one_line(named, "--help"))
    print("ok")


main()
