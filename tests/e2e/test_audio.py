"""The intro's sound end to end: run under its own Xvfb with SDL's disk audio driver, it plays
the shipped module while running, lowers it step by step in the 256-frame fade and exits 0; with
no module or a broken one it runs silent and still fades and exits 0.

The disk driver writes exactly the frames the engine hands to the device (32-bit float stereo
at 44100 Hz, as the engine opens it). The same module rendered offline by music_probe is what
those frames are before the volume, so their ratio is the gain the fade applied."""
import array
import os
import shutil
import subprocess
import sys
import tempfile
import time

from window_session import Xvfb, fail, find_window, focus, keys, send_delete_window, stop, \
    wait_exit

RATE = 44100
DATA = os.environ["INTRO_DATA_DIR"]


def hold_alt_f4(display, window):
    """Alt and F4 held together for a few frames, as a user would."""
    focus(display, window)
    keys(display, "keydown", "alt", "F4")
    time.sleep(0.3)
    keys(display, "keyup", "F4", "alt")


def run_intro(workdir, display, seconds_before_close, close, disk_audio=True, program=None):
    """Runs the intro (or a copy of it) in workdir for the given time, asks it to close with
    close(display, window) and waits for its end. Returns (exit status, what it printed, path of
    the sound the disk driver wrote); without disk_audio SDL picks the machine's own output."""
    sound = os.path.join(tempfile.mkdtemp(prefix="intro_audio_"), "sound.raw")
    env = dict(os.environ, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("SDL_AUDIODRIVER", None)
    if disk_audio:
        env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=sound)
    # Both streams into one file: a pipe merged into stdout would be lost to wait_exit, which
    # returns stderr only.
    log = open(os.path.join(os.path.dirname(sound), "printed.txt"), "w+")
    intro = subprocess.Popen([program or os.environ["INTRO_BIN"]], cwd=workdir, env=env,
                             stdout=log, stderr=subprocess.STDOUT, text=True)
    try:
        window = find_window(display, intro)
        time.sleep(seconds_before_close)
        if intro.poll() is not None:
            fail("the intro ended before it was asked to close")
        close(display, window)
        status, _ = wait_exit(intro)
        log.seek(0)
        return status, log.read(), sound
    finally:
        stop(intro)
        log.close()


def read_stereo(path, skip=0):
    """32-bit float stereo frames after skip bytes of header, as two lists."""
    samples = array.array("f")
    with open(path, "rb") as f:
        samples.frombytes(f.read()[skip:])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples[0::2], samples[1::2]


def peak(values, start=0, end=None):
    return max((abs(v) for v in values[start:end]), default=0.0)


def gain_curve(heard, reference):
    """(frame, gain) where the reference is loud enough to read the gain from the ratio. The
    heard sound may start with device silence written before playback began: the offset is
    where both first sound."""
    first_heard = next((i for i, v in enumerate(heard) if v != 0.0), None)
    if first_heard is None:
        fail("the intro wrote only silence")
    offset = first_heard - next(i for i, v in enumerate(reference) if v != 0.0)
    if offset < 0:
        fail("the heard sound starts before the module does")
    return [(i, heard[i] / reference[i - offset])
            for i in range(first_heard, min(len(heard), len(reference) + offset))
            if abs(reference[i - offset]) > 0.02]


def check_shipped_module(display):
    status, _, sound = run_intro(DATA, display, 4.0, hold_alt_f4)
    if status != 0:
        fail("the intro exited with status %d" % status)
    left, right = read_stereo(sound)
    seconds = len(left) / RATE
    if seconds < 5.0:
        fail("only %.1f s of sound were written" % seconds)
    # Running: the module's opening is pads fading in; from two seconds on every half second
    # sounds.
    for start in range(2 * RATE, 4 * RATE, RATE // 2):
        if max(peak(left, start, start + RATE // 2), peak(right, start, start + RATE // 2)) < 0.01:
            fail("silence at %.1f s while running" % (start / RATE))

    reference_wav = os.path.join(os.path.dirname(sound), "reference.wav")
    probe = subprocess.run([os.path.join(os.environ["INTRO_BUILD_DIR"], "music_probe"),
                            os.path.join(DATA, "module.xm"), "--seconds", "%.3f" % (seconds + 1.0),
                            "--fps", "1", "--wav", reference_wav], capture_output=True, timeout=120)
    if probe.returncode != 0:
        fail("music_probe failed: " + probe.stderr.decode())
    curve = gain_curve(left, read_stereo(reference_wav, skip=44)[0])
    if len(curve) < RATE:
        fail("too little sound to follow the gain")

    # Before the fade the gain is exactly 1; after it, it has fallen to a few 256ths at most.
    if any(abs(g - 1.0) > 1e-4 for _, g in curve[: len(curve) // 4]):
        fail("the sound before the fade is not the module at full volume")
    final_gain = curve[-1][1]
    if final_gain > 0.05:
        fail("the fade ended at gain %.4f" % final_gain)
    # Step by step: the gain never rises, and falls only in ramps spread over a block of 1024
    # frames. A fade frame lowers it by 1/256; a block may have to take several frames' steps
    # when the audio thread was held up, so up to 16 steps per block are let pass, still 64
    # times less per frame than a single step applied at once. The fall from 0.9 to 0.1 spans
    # a couple of seconds, not one jump.
    for (previous_frame, previous_gain), (frame, gain) in zip(curve, curve[1:]):
        if gain > previous_gain + 1e-4:
            fail("the gain rose from %.5f to %.5f at frame %d" % (previous_gain, gain, frame))
        if previous_gain - gain > 16.0 / 256.0 / 1024.0 * (frame - previous_frame) + 1e-4:
            fail("the gain fell from %.5f to %.5f in %d frames" %
                 (previous_gain, gain, frame - previous_frame))
    fall_frames = next(f for f, g in curve if g < 0.1) - next(f for f, g in curve if g < 0.9)
    fall_seconds = fall_frames / RATE
    if fall_seconds < 1.5:
        fail("the fade fell from 0.9 to 0.1 in only %.2f s" % fall_seconds)
    print("sound %.2f s, fade from 0.9 to 0.1 over %.2f s, final gain %.4f" %
          (seconds, fall_seconds, final_gain))


def check_silent_run(display, module_bytes, what, close):
    workdir = tempfile.mkdtemp(prefix="intro_nomusic_")
    with open(os.path.join(DATA, "header.bmp"), "rb") as src, \
            open(os.path.join(workdir, "header.bmp"), "wb") as dst:
        dst.write(src.read())
    if module_bytes is not None:
        with open(os.path.join(workdir, "module.xm"), "wb") as f:
            f.write(module_bytes)
    # A copy outside the build tree: the build's own intro would find the source tree's module.
    program = os.path.join(workdir, "intro")
    shutil.copy(os.environ["INTRO_BIN"], program)
    status, _, sound = run_intro(workdir, display, 1.5, close, program=program)
    if status != 0:
        fail("with %s the intro exited with status %d" % (what, status))
    if os.path.exists(sound) and max(map(peak, read_stereo(sound))) != 0.0:
        fail("with %s the intro was not silent" % what)
    print("%s: silent, faded, exit 0" % what)


def main():
    with Xvfb() as xvfb:
        check_shipped_module(xvfb.display)
        check_silent_run(xvfb.display, None, "no module.xm", send_delete_window)
        with open(os.path.join(DATA, "module.xm"), "rb") as f:
            shipped = f.read()
        check_silent_run(xvfb.display, shipped[:200] + bytes(range(256)) * 4, "a broken module.xm",
                         hold_alt_f4)
        # With whatever output the machine has (on a build machine usually none, where the sound
        # libraries would complain on their own), the intro prints nothing and exits 0.
        status, printed, _ = run_intro(DATA, xvfb.display, 1.5, hold_alt_f4, disk_audio=False)
        if status != 0 or printed:
            fail("with the default audio output: status %d, printed %r" % (status, printed[:500]))
    print("ok")


if __name__ == "__main__":
    main()
