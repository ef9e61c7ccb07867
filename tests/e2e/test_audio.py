"""The intro's sound end to end, through SDL's disk audio driver: it plays the shipped module
while running, lowers it step by step in the 256-frame fade and exits 0; with no module or a
broken one it runs silent and still fades and exits 0. Without a sound device (a driver that
cannot start, a device that cannot open) it says so in one line, "no sound: " and SDL's reason,
draws as before, and --once still ends after the module's length. With the machine's own output
it prints nothing but that line.

The disk driver writes exactly the frames the engine hands to the device (32-bit float stereo
at 44100 Hz). The same module rendered offline by music_probe is what those frames are before
the volume, so their ratio is the gain the fade applied."""
import os
import shutil
import tempfile

from session import (COMMAND, FAST, MODULE, fail, gain_curve, hold_alt_f4, intro_copy,
                     module_left, one_order_module, peak, run, shows_header, sigterm, xvfb)

RATE = 44100
SHORT_SECONDS = 7.68  # one pass of the module cut to one order; the scroll text's takes 112 s


def no_sound_line(err):
    return err.startswith(COMMAND + ": no sound: ") and err.count("\n") == 1 and err.endswith("\n")


def check_shipped_module(display):
    result = run(display, seconds=4.0, close=hold_alt_f4)
    left = result.sound[0::2]
    if result.status != 0 or len(left) < 5 * RATE:
        fail("status %d, %.1f s of sound" % (result.status, len(left) / RATE))

    curve = gain_curve(left, module_left(len(left) / RATE + 1.0))
    if len(curve) < RATE:
        fail("too little sound to follow the gain")

    # Before the fade the gain is exactly 1; after it, it has fallen to a few 256ths at most.
    if any(abs(g - 1.0) > 1e-4 for _, g in curve[: len(curve) // 4]):
        fail("the sound before the fade is not the module at full volume")
    if curve[-1][1] > 0.05:
        fail("the fade ended at gain %.4f" % curve[-1][1])
    # Step by step: the gain never rises (as it would after a gap in the sound), and falls only
    # in ramps spread over a block of 1024 frames. A fade frame lowers it by 1/256; a block may
    # have to take several frames' steps when the audio thread was held up, so up to 16 steps
    # per block are let pass, still 64 times less per frame than a single step applied at once.
    # The fall from 0.9 to 0.1 spans a couple of seconds, not one jump.
    for (previous_frame, previous_gain), (frame, gain) in zip(curve, curve[1:]):
        if gain > previous_gain + 1e-4 or \
                previous_gain - gain > 16.0 / 256.0 / 1024.0 * (frame - previous_frame) + 1e-4:
            fail("the gain went from %.5f to %.5f in %d frames" %
                 (previous_gain, gain, frame - previous_frame))
    fall = next(f for f, g in curve if g < 0.1) - next(f for f, g in curve if g < 0.9)
    if fall < 1.5 * RATE:
        fail("the fade fell from 0.9 to 0.1 in only %.2f s" % (fall / RATE))


def check_silent_runs(display):
    with open(MODULE, "rb") as f:
        broken = f.read()[:200] + bytes(range(256)) * 4
    for what, module, close in (("no module.xm", None, sigterm),
                                ("a broken module.xm", broken, hold_alt_f4)):
        workdir = intro_copy(module)
        result = run(display, FAST, workdir, os.path.join(workdir, COMMAND), 1.5, close)
        shutil.rmtree(workdir)
        if result.status != 0 or peak(result.sound) != 0.0:
            fail("with %s: status %d, peak %.4f" % (what, result.status, peak(result.sound)))


def check_no_device(display):
    """A driver SDL does not have, then a device that cannot open (the disk driver's file in a
    directory that does not exist); the second under --once, at the display's rate."""
    result = run(display, FAST, seconds=1.5, audio="no_such_driver")
    if result.status != 0 or not no_sound_line(result.err) or "no_such_driver" not in result.err \
            or not shows_header(result.screen):
        fail("without a sound driver: status %d, stderr %r" % (result.status, result.err))
    scratch = tempfile.mkdtemp(prefix="intro_nodevice_")
    short = one_order_module(os.path.join(scratch, "short.xm"))
    result = run(display, ["--once", short], seconds=1.0, close=None,
                 SDL_DISKAUDIOFILE="/nonexistent/intro/sound.raw")
    shutil.rmtree(scratch)
    if result.status != 0 or not no_sound_line(result.err) or not shows_header(result.screen):
        fail("without a sound device: status %d, stderr %r" % (result.status, result.err))
    # The module's pass, then the 256-frame fade; far less than the scroll text's pass.
    if not SHORT_SECONDS + 3.5 < result.took < SHORT_SECONDS + 25.0:
        fail("--once without a sound device ended after %.1f s" % result.took)
    print("--once without a sound device: %.1f s" % result.took)


def main():
    with xvfb() as x:
        check_shipped_module(x.display)
        check_silent_runs(x.display)
        check_no_device(x.display)
        # With whatever output the machine has (on a build machine usually none, where the sound
        # libraries would complain on their own), the intro prints at most why it has no sound.
        result = run(x.display, FAST, seconds=1.5, close=hold_alt_f4, audio=None)
        if result.status != 0 or result.out or (result.err and not no_sound_line(result.err)):
            fail("with the default audio output: status %d, printed %r" %
                 (result.status, (result.out + result.err)[:500]))
    print("ok")


main()
