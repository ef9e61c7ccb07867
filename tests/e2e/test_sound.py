"""The intro's sound through SDL's disk driver (its ratio to music_probe's render is the fade's
gain), without a device, and the music tools."""
import cmath
import math
import os
import shutil
import tempfile

from session import (COMMAND, DATA, FAST, MODULE, gain_curve, hold_alt_f4, intro_copy, module_left,
                     must, one_order_module, peak, read, read_samples, run, shows_header, sigterm,
                     tool, write, xvfb)

RATE = 44100
SHORT_SECONDS = 7.68  # one pass of the module cut to one order; the scroll text's takes 112 s


def no_sound_line(err):
    return err.startswith(COMMAND + ": no sound: ") and err.count("\n") == 1 and err.endswith("\n")


def check_shipped_module(display):
    """Full volume before the fade, then a fall in small ramps, never rising, to near silence."""
    result = run(display, seconds=4.0, close=hold_alt_f4)
    left = result.sound[0::2]
    must(result.status == 0 and len(left) >= 5 * RATE, "status %d, %.1f s of sound" % (
        result.status, len(left) / RATE))
    curve = gain_curve(left, module_left(len(left) / RATE + 1.0))
    must(len(curve) >= RATE, "too little sound to follow the gain")
    # Before the fade the gain is exactly 1; after it, it has fallen to a few 256ths at most.
    must(all(abs(g - 1.0) <= 1e-4 for _, g in curve[: len(curve) // 4]),
         "the sound before the fade is not the module at full volume")
    must(curve[-1][1] <= 0.05, "the fade ended at gain %.4f" % curve[-1][1])
    # The gain never rises and falls in ramps: at most 16 of the fade's 1/256 steps (a held-up
    # audio thread catching up) per 1024-frame block; 0.9 to 0.1 takes seconds, not one jump.
    for (previous_frame, previous_gain), (frame, gain) in zip(curve, curve[1:]):
        must(gain <= previous_gain + 1e-4 and
             previous_gain - gain <= 16.0 / 256.0 / 1024.0 * (frame - previous_frame) + 1e-4,
             "the gain went from %.5f to %.5f in %d frames" % (previous_gain, gain,
                                                               frame - previous_frame))
    fall = next(f for f, g in curve if g < 0.1) - next(f for f, g in curve if g < 0.9)
    must(fall >= 1.5 * RATE, "the fade fell from 0.9 to 0.1 in only %.2f s" % (fall / RATE))


def check_silent_runs(display):
    """No module or a broken one: silent, and still fades and exits 0."""
    broken = read(MODULE)[:200] + bytes(range(256)) * 4
    for what, module, close in (("no module.xm", None, sigterm),
                                ("a broken module.xm", broken, hold_alt_f4)):
        workdir = intro_copy(module)
        result = run(display, FAST, workdir, os.path.join(workdir, COMMAND), 1.5, close)
        shutil.rmtree(workdir)
        must(result.status == 0 and peak(result.sound) == 0.0, "with %s: status %d, peak %.4f" % (
            what, result.status, peak(result.sound)))


def check_no_device(display):
    """A driver SDL does not have, then a device that cannot open (the disk driver's file in a
    directory that does not exist); the second under --once, at the display's rate."""
    result = run(display, FAST, seconds=1.5, audio="no_such_driver")
    must(result.status == 0 and no_sound_line(result.err) and "no_such_driver" in result.err and
         shows_header(result.screen), "without a sound driver: status %d, stderr %r" % (
             result.status, result.err))
    scratch = tempfile.mkdtemp(prefix="intro_nodevice_")
    short = one_order_module(os.path.join(scratch, "short.xm"))
    result = run(display, ["--once", short], seconds=1.0, close=None,
                 SDL_DISKAUDIOFILE="/nonexistent/intro/sound.raw")
    shutil.rmtree(scratch)
    # The module's pass, then the 256-frame fade; far less than the scroll text's pass.
    must(result.status == 0 and no_sound_line(result.err) and shows_header(result.screen) and
         SHORT_SECONDS + 3.5 < result.took < SHORT_SECONDS + 25.0, "--once without a sound "
         "device: status %d after %.1f s, %r" % (result.status, result.took, result.err))
    print("--once without a sound device: %.1f s" % result.took)


def read_wav(path):
    head = read(path)[:44]
    must(head[:4] == b"RIFF" and head[8:16] == b"WAVEfmt " and head[36:40] == b"data",
         "the WAV header is not the plain 44-byte one")
    return read_samples(path, skip=44)


def level_word(samples, end):
    peaks = [max(abs(samples[2 * i + c]) for i in range(end - 882, end)) for c in (0, 1)]
    left, right = (32768 if p >= 1.0 else int(p * 32768.0) for p in peaks)
    return left | right << 16


def spectrum_bin(samples, end, k):
    """2|X_k| / 1024 of the Hann-windowed mono mix of the 1024 frames before end."""
    total = 0j
    for n in range(max(0, 1024 - end), 1024):  # before playback started: silence
        i = end - 1024 + n
        mono = (samples[2 * i] + samples[2 * i + 1]) * 0.5
        window = 0.5 - 0.5 * math.cos(2.0 * math.pi * n / 1024)
        total += mono * window * cmath.exp(-2j * math.pi * k * n / 1024)
    return 2.0 * abs(total) / 1024


def check_probe(workdir):
    """A line per video frame: the level and spectrum of the WAV it writes up to then; files it
    cannot load refused with status 1, without waiting."""
    wav = os.path.join(workdir, "out.wav")
    result = tool("music_probe", MODULE, "--seconds", "12", "--fps", "50", "--wav", wav, expect=0)
    lines, samples = result.stdout.splitlines(), read_wav(wav)
    must(len(lines) == 600 and len(samples) == 12 * RATE * 2, "12 s at 50 fps: %d lines, %d "
         "samples in the WAV" % (len(lines), len(samples)))
    loud_frames = 0
    for number in (1, 100, 300, 451, 600):
        fields = lines[number - 1].split()
        must(len(fields) == 130 and int(fields[0]) == number, "line %d: not 'frame level 128 "
             "values'" % number)
        end = number * RATE // 50
        expected = level_word(samples, end)
        must(int(fields[1], 16) == expected, "frame %d: level %s, the heard frames give %08X" % (
            number, fields[1], expected))
        for k in (1, 5, 40, 128):
            value, want = float(fields[1 + k]), spectrum_bin(samples, end, k)
            must(abs(value - want) <= 1e-4 + 1e-3 * want, "frame %d bin %d: %f, the heard frames "
                 "give %f" % (number, k, value, want))
        loud_frames += expected != 0
    must(loud_frames >= 3, "the module is silent where it should play")

    paths = [os.path.join(workdir, name) for name in ("missing", "dir", "fifo", "empty", "broken")]
    os.mkdir(paths[1])
    os.mkfifo(paths[2])
    write(paths[3], b"")
    write(paths[4], b"Extended Module: " + bytes(300))
    for path in paths:
        run = tool("music_probe", path, "--seconds", "1", timeout=30, expect=1)
        must(run.stderr.startswith("error: ") and not run.stdout, "%s: stdout %r, stderr %r" % (
            path, run.stdout, run.stderr))


def check_make_module(workdir):
    """data/module.xm rebuilt from its score byte for byte; a score error reported, no file."""
    score = os.path.join(os.path.dirname(DATA), "tools", "score", "module.txt")
    built = os.path.join(workdir, "module.xm")
    tool("make_module", score, built, timeout=120, expect=0)
    must(read(built) == read(MODULE), "data/module.xm is not what the score makes; rebuild it")
    broken = write(os.path.join(workdir, "broken.txt"),
                   read(score).replace(b"A-3 07", b"H-3 07", 1))
    broken_out = os.path.join(workdir, "broken.xm")
    run = tool("make_module", broken, broken_out, timeout=120, expect=1)
    must("line" in run.stderr and not os.path.exists(broken_out), "a bad note: %r" % run.stderr)


def main():
    with tempfile.TemporaryDirectory(prefix="music_tools_") as scratch:
        check_probe(scratch)
        check_make_module(scratch)
    with xvfb() as x:
        check_shipped_module(x.display)
        check_silent_runs(x.display)
        check_no_device(x.display)
        # The machine's own output (usually none on a build machine): at most why there is none.
        result = run(x.display, FAST, seconds=1.5, close=hold_alt_f4, audio=None)
        must(result.status == 0 and not result.out and (not result.err or no_sound_line(
            result.err)), "with the default audio output: status %d, printed %r" % (
                result.status, (result.out + result.err)[:500]))
    print("ok")


main()
