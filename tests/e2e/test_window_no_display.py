"""Without a display the intro cannot open its window: it says why in exactly one line on
standard error and exits 1."""
from window_session import fail, start_intro, wait_exit


def main():
    intro = start_intro(None)
    status, err = wait_exit(intro)
    if status != 1:
        fail("exit status %d without a display, expected 1" % status)
    lines = err.splitlines()
    if len(lines) != 1 or not lines[0].strip():
        fail("expected one line on stderr, got %r" % err)
    if not err.endswith("\n"):
        fail("the stderr line is not terminated: %r" % err)
    print("stderr: " + lines[0])
    print("PASS")


main()
