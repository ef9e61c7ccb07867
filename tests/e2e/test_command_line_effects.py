"""Each window option's effect on the running intro, at the smallest and largest values it takes
and one between. --seed N: the live window shows exactly render_frames --seed N's frames (seeds
0, 7 and 2^32-1), and --rate 1 shows them one a second; --rate 1000 runs the 256-frame fade in
well under the display's 4.3 s. --volume 0, 50 and 100: the sound SDL's disk driver receives is
the module at that gain. --scale 1, 5 and 8: a window of that many times 640x480, and a scale
whose window would not fit the monitor's usable area comes down to one that does, with one line
saying so. --display 0 and 63: centred on the only monitor, or on the window system's choice
where the monitor does not exist. (--rate 30, --scale 2, --once, --header, --module, -f and -w
are checked in the window, audio and data files tests.)"""
import os
import shutil
import signal
import time

from session import (COMMAND, SIZE, check_seed_at_rate_1, client_size, fail, find_window,
                     gain_curve, intro_copy, module_left, peak, run, run_tool, start, stop,
                     wait_exit, xvfb)

SEEDS = (0, 7, 4294967295)
SOUND_RATE = 44100


def check_rate_1000(display, program):
    intro = start(display, ["--rate", "1000"], os.path.dirname(program), program)
    try:
        find_window(display, intro)
        time.sleep(1.0)
        intro.send_signal(signal.SIGTERM)
        asked = time.monotonic()
        status, _, err = wait_exit(intro)
        took = time.monotonic() - asked
    finally:
        stop(intro)
    # 256 frames take 0.256 s at 1000 a second; at the display's 60 Hz 4.27 s. A slow machine (or
    # a sanitizer: about 1.1 s under ASan here, with its exit-time leak check) draws fewer than
    # 1000 a second, never more.
    if status != 0 or not 0.25 <= took <= 3.8:
        fail("--rate 1000: status %d, the fade took %.2f s: %s" % (status, took, err))
    print("--rate 1000: fade in %.2f s" % took)


def check_volume(display):
    reference = module_left(6.0)
    for volume in (0, 50, 100):
        result = run(display, ["--volume", str(volume)], seconds=1.5)
        left = result.sound[0::2]
        if result.status != 0 or len(left) < SOUND_RATE:
            fail("--volume %d: status %d, %d frames of sound" % (volume, result.status, len(left)))
        if volume == 0:
            if peak(result.sound) != 0.0:
                fail("--volume 0: sound peak %.4f" % peak(result.sound))
            continue
        # The first second, before the fade the close request starts.
        gains = [g for frame, g in gain_curve(left, reference) if frame < SOUND_RATE]
        if len(gains) < SOUND_RATE // 4 or any(abs(g - volume / 100.0) > 1e-4 for g in gains):
            fail("--volume %d: gains from %.4f to %.4f" % (volume, min(gains, default=0),
                                                          max(gains, default=0)))


def check_window_size(display, scale, size, line=""):
    """The window's client area with --scale, and what the intro said."""
    intro = start(display, ["--scale", str(scale), "--rate", "1"])
    try:
        window = find_window(display, intro)
        deadline = time.monotonic() + 10.0
        while client_size(display, window) != size and time.monotonic() < deadline:
            time.sleep(0.2)
        if client_size(display, window) != size:
            fail("--scale %d: a window of %s, not %s" % (scale, client_size(display, window), size))
        intro.send_signal(signal.SIGKILL)
        _, _, err = wait_exit(intro)
    finally:
        stop(intro)
    if err != line:
        fail("--scale %d: printed %r, expected %r" % (scale, err, line))


def check_display(display, number, position):
    intro = start(display, ["--display", str(number), "--rate", "1"])
    try:
        window = find_window(display, intro)
        deadline = time.monotonic() + 10.0
        while True:
            info = run_tool(display, "xwininfo", "-id", str(window)).stdout
            found = tuple(int(info.split("Absolute upper-left %s:" % axis)[1].split()[0])
                          for axis in "XY")
            if found == position:
                break
            if time.monotonic() > deadline:
                fail("--display %d: the window is at %s, not %s" % (number, found, position))
            time.sleep(0.2)
    finally:
        stop(intro)


def main():
    copy = intro_copy()
    program = os.path.join(copy, COMMAND)
    with xvfb((1024, 768)) as x:
        for seed in SEEDS:
            check_seed_at_rate_1(x.display, seed, program)
        check_rate_1000(x.display, program)
        check_volume(x.display)
        check_window_size(x.display, 1, SIZE)
        check_window_size(x.display, 3, SIZE, COMMAND + ": scale 3 does not fit the monitor's "
                          "usable 1024x768, scale 1 instead\n")
        for number in (0, 63):
            check_display(x.display, number, ((1024 - 640) // 2, (768 - 480) // 2))
    shutil.rmtree(copy)
    with xvfb((5120, 3840)) as x:
        check_window_size(x.display, 8, (5120, 3840))
        check_window_size(x.display, 5, (3200, 2400))
    print("PASS")


main()
