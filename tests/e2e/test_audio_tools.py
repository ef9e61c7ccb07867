"""The music tools end to end. music_probe prints one line per video frame whose level word and
spectrum are those of the frames heard at that moment (checked against the WAV it writes), the
WAV as long as asked; files it cannot load (missing, a directory, a FIFO, empty, broken) are
refused with an error and status 1, without waiting on them. make_module rebuilds
data/module.xm from tools/score/module.txt byte for byte, and reports a score error instead of
writing a file."""
import cmath
import math
import os
import tempfile

from session import DATA, MODULE, fail, read_samples, tool

RATE = 44100


def read_wav(path):
    with open(path, "rb") as f:
        head = f.read(44)
    if head[:4] != b"RIFF" or head[8:16] != b"WAVEfmt " or head[36:40] != b"data":
        fail("the WAV header is not the plain 44-byte one")
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
    wav = os.path.join(workdir, "out.wav")
    result = tool("music_probe", MODULE, "--seconds", "12", "--fps", "50", "--wav", wav)
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

    paths = [os.path.join(workdir, name) for name in ("missing", "dir", "fifo", "empty", "broken")]
    os.mkdir(paths[1])
    os.mkfifo(paths[2])
    open(paths[3], "wb").close()
    with open(paths[4], "wb") as f:
        f.write(b"Extended Module: " + bytes(300))
    for path in paths:
        run = tool("music_probe", path, "--seconds", "1", timeout=30)
        if run.returncode != 1 or not run.stderr.startswith("error: ") or run.stdout:
            fail("%s: status %d, stderr %r" % (path, run.returncode, run.stderr))


def check_make_module(workdir):
    score = os.path.join(os.path.dirname(DATA), "tools", "score", "module.txt")
    built = os.path.join(workdir, "module.xm")
    run = tool("make_module", score, built, timeout=120)
    if run.returncode != 0:
        fail("make_module failed: " + run.stderr)
    with open(built, "rb") as f, open(MODULE, "rb") as g:
        if f.read() != g.read():
            fail("data/module.xm differs from what the score makes; rebuild and commit it")

    with open(score) as f, open(os.path.join(workdir, "broken.txt"), "w") as g:
        g.write(f.read().replace("A-3 07", "H-3 07", 1))
    broken_out = os.path.join(workdir, "broken.xm")
    run = tool("make_module", g.name, broken_out, timeout=120)
    if run.returncode != 1 or "line" not in run.stderr or os.path.exists(broken_out):
        fail("a bad note was not reported: status %d, %r" % (run.returncode, run.stderr))


with tempfile.TemporaryDirectory(prefix="music_tools_") as scratch:
    check_probe(scratch)
    check_make_module(scratch)
print("ok")
