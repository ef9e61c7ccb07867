"""--rate paces the frame loop instead of the display: at 30 frames per second the 256-frame fade
takes about 8.5 s, twice as long as at the display's 60 Hz."""
import os
import subprocess
import time

from window_session import (Xvfb, fail, find_window, intro_command, intro_environment,
                            send_delete_window, stop, wait_exit)

FADE_AT_30 = 256 / 30.0


def main():
    with Xvfb() as xvfb:
        intro = subprocess.Popen([intro_command(), "--rate", "30"], cwd=os.environ["INTRO_DATA_DIR"],
                                 env=intro_environment(xvfb.display), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE, text=True)
        try:
            window = find_window(xvfb.display, intro)
            time.sleep(1.0)
            send_delete_window(xvfb.display, window)
            asked = time.monotonic()
            status, err = wait_exit(intro)
            seconds = time.monotonic() - asked
        finally:
            stop(intro)
    if status != 0:
        fail("status %d: %s" % (status, err))
    # Never faster than the rate; slower only by what a loaded machine adds.
    if not FADE_AT_30 - 0.3 <= seconds <= FADE_AT_30 * 1.5:
        fail("the fade at --rate 30 took %.2f s, not about %.2f s" % (seconds, FADE_AT_30))
    print("fade at --rate 30: %.2f s" % seconds)


if __name__ == "__main__":
    main()
