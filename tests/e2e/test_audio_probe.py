"""music_probe end to end: one line per video frame whose level word and spectrum are those of
the frames heard at that moment (checked against the WAV it writes), the WAV as long as asked,
and files it cannot load refused with an error and status 1."""
import array
import cmath
import math
import os
import subprocess
import tempfile

from window_session import fail

RATE = 44100


def probe(*args):
    tool = os.path.join(os.environ["INTRO_BUILD_DIR"], "music_probe")
    return subprocess.run([tool, *args], capture_output=True, text=True, timeout=120)


def read_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:16] != b"WAVEfmt " or data[36:40] != b"data":
        fail("the WAV header is not the plain 44-byte one")
    samples = array.array("f")
    samples.frombytes(data[44:])
    return samples


def level_word(samples, end):
    words = []
    for channel in (0, 1):
        peak = max(abs(samples[2 * i + channel]) for i in range(end - 882, end))
        words.append(32768 if peak >= 1.0 else int(peak * 32768.0))
    return words[0] | words[1] << 16


def spectrum_bin(samples, end, k):
    """2|X_k| / 1024 of the Hann-windowed mono mix of the 1024 frames before end."""
    total = 0j
    for n in range(1024):
        i = end - 1024 + n
        if i < 0:
            continue  # before playback started: silence
        mono = (samples[2 * i] + samples[2 * i + 1]) * 0.5
        window = 0.5 - 0.5 * math.cos(2.0 * math.pi * n / 1024)
        total += mono * window * cmath.exp(-2j * math.pi * k * n / 1024)
    return 2.0 * abs(total) / 1024


def main():
    workdir = tempfile.mkdtemp(prefix="music_probe_")
    wav = os.path.join(workdir, "out.wav")
    result = probe(os.path.join(os.environ["INTRO_DATA_DIR"], "module.xm"), "--seconds", "12",
                   "--fps", "50", "--wav", wav)
    if result.returncode != 0:
        fail("music_probe failed: " + result.stderr)
    lines, samples = result.stdout.splitlines(), read_wav(wav)
    if len(lines) != 600 or len(samples) != 12 * RATE * 2:
        fail("12 s at 50 fps: %d lines, %d samples in the WAV" % (len(lines), len(samples)))

    loud_frames = 0
    for number in (1, 100, 300, 451, 600):
        fields = lines[number - 1].split()
        if len(fields) != 130 or int(fields[0]) != number:
            fail("line %d is not 'frame level 128 values'" % number)
        end = number * RATE // 50
        expected = level_word(samples, end)
        if int(fields[1], 16) != expected:
            fail("frame %d: level %s, the heard frames give %08X" % (number, fields[1], expected))
        for k in (1, 5, 40, 128):
            value, want = float(fields[1 + k]), spectrum_bin(samples, end, k)
            if abs(value - want) > 1e-4 + 1e-3 * want:
                fail("frame %d bin %d: %f, the heard frames give %f" % (number, k, value, want))
        loud_frames += expected != 0
    if loud_frames < 3:
        fail("the module is silent where it should play")

    broken = os.path.join(workdir, "broken.xm")
    with open(broken, "wb") as f:
        f.write(b"Extended Module: " + bytes(300))
    for path in (os.path.join(workdir, "nothing.xm"), broken):
        run = probe(path, "--seconds", "1")
        if run.returncode != 1 or not run.stderr.startswith("error: ") or run.stdout:
            fail("%s: status %d, stderr %r" % (path, run.returncode, run.stderr))
    print("ok")


if __name__ == "__main__":
    main()
