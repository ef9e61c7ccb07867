"""Losing the display while the intro runs ends it at once with status 1 and one line saying why,
never with a crash."""
from window_session import Xvfb, fail, find_window, start_intro, stop, wait_exit


def main():
    with Xvfb() as x:
        intro = start_intro(x.display)
        try:
            find_window(x.display, intro)
            x.process.kill()
            x.process.wait(timeout=10)
            status, err = wait_exit(intro)
            if status != 1:
                fail("exit status %d after the display went away: %s" % (status, err))
            if err.strip().splitlines() != ["intro: lost the connection to the display"]:
                fail("expected one line on stderr, got %r" % err)
        finally:
            stop(intro)
    print("PASS")


main()
