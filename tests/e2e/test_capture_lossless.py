"""A lossless capture of the shipped module read back: 60 pictures a second from 0, the frames
before and through the fade equal to render_frames --module, the sound equal to music_probe's up
to the fade and then ramped down frame by frame by the fade's volume, both streams as long as
each other; and a default .mkv of the same frames at least 40 dB from the lossless one."""
import array
import os
import re
import struct
import subprocess
import tempfile

from capture_session import (BUILD, FADE_FRAMES, HEADER, HEIGHT, MODULE, RATE, SOUND_RATE, WIDTH,
                             capture, decode, probe, streams)
from window_session import fail

SECONDS = 2
BEFORE_FADE = SECONDS * RATE
FRAMES = BEFORE_FADE + FADE_FRAMES
PER_FRAME = SOUND_RATE // RATE
CHECKED = (1, BEFORE_FADE // 2, BEFORE_FADE + 1, FRAMES)  # start, middle, fade's first and last
DEFAULT_SEED = "1"


def check_timing(path):
    packets = probe(path, "-select_streams", "v", "-show_entries", "packet=pts_time")["packets"]
    times = [float(p["pts_time"]) for p in packets]
    if len(times) != FRAMES:
        fail("%d pictures, expected %d (%d s and the fade)" % (len(times), FRAMES, SECONDS))
    for number, time in enumerate(sorted(times)):
        if abs(time - number / RATE) > 0.001:
            fail("picture %d at %.4f s, not %.4f s" % (number, time, number / RATE))
    durations = []
    for stream in probe(path, "-show_entries", "stream_tags=DURATION")["streams"]:
        h, m, s = stream["tags"]["DURATION"].split(":")
        durations.append(int(h) * 3600 + int(m) * 60 + float(s))
    if len(durations) != 2 or any(abs(d - FRAMES / RATE) > 1 / RATE for d in durations):
        fail("stream durations %s, the pictures last %.3f s" % (durations, FRAMES / RATE))


def check_pictures(path, work):
    pictures = decode(path, "v", "rgb24")
    if len(pictures) != FRAMES * WIDTH * HEIGHT * 3:
        fail("decoded %d bytes of pictures" % len(pictures))
    render = subprocess.run(
        [os.path.join(BUILD, "render_frames"), "--seed", DEFAULT_SEED, "--module", MODULE,
         "--header", HEADER, "--close-at", str(BEFORE_FADE + 1), "--out", work,
         "--frames", ",".join(map(str, CHECKED))], capture_output=True, text=True, timeout=600)
    if render.returncode != 0:
        fail("render_frames failed: " + render.stderr)
    for number in CHECKED:
        with open(os.path.join(work, "frame_%05d.bin" % number), "rb") as f:
            words = f.read()
        expected = bytearray(WIDTH * HEIGHT * 3)
        for channel, byte in ((0, 2), (1, 1), (2, 0)):  # red, green, blue of 0xAARRGGBB words
            expected[channel::3] = words[byte::4]
        start = (number - 1) * WIDTH * HEIGHT * 3
        if pictures[start:start + len(expected)] != expected:
            fail("picture %d differs from render_frames' frame %d" % (number, number))


def to_float(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def fade_gains():
    """The gain on each sound frame: 1 before the fade, then in fade frame k a ramp from the last
    frame's volume to (257 - k) / 256, as the engine applies it."""
    gains = [1.0] * (BEFORE_FADE * PER_FRAME)
    before = 1.0
    for k in range(1, FADE_FRAMES + 1):
        volume = to_float((257 - k) / 256)
        step = to_float(to_float(volume - before) / PER_FRAME)
        gains += [to_float(before + to_float(step * (i + 1))) for i in range(PER_FRAME - 1)]
        gains.append(volume)
        before = volume
    return gains


def check_sound(path, work):
    got = array.array("h")
    got.frombytes(decode(path, "a", "s16le"))
    if len(got) != FRAMES * PER_FRAME * 2:
        fail("%d sound frames, expected %d" % (len(got) // 2, FRAMES * PER_FRAME))
    wav = os.path.join(work, "probe.wav")
    probe_run = subprocess.run([os.path.join(BUILD, "music_probe"), MODULE, "--seconds",
                                repr(FRAMES / RATE), "--wav", wav], capture_output=True,
                               timeout=600)
    if probe_run.returncode != 0:
        fail("music_probe failed")
    with open(wav, "rb") as f:
        heard = array.array("f")
        heard.frombytes(f.read()[44:])
    gains = fade_gains()
    loudest = 0
    for i, sample in enumerate(got):
        expected = heard[i] * gains[i // 2] * 32768.0
        # 16-bit FLAC: within one step of the 16-bit scale, full scale clipped to 32767.
        if abs(sample - expected) > 1.0 and not (sample == 32767 and expected > 32767):
            fail("sound frame %d (picture %d): %d, expected %.2f" % (
                i // 2, i // 2 // PER_FRAME + 1, sample, expected))
        loudest = max(loudest, abs(sample))
    if loudest < 1000:
        fail("the captured sound is silent")


def check_default_quality(lossless, work):
    default = os.path.join(work, "default.mkv")
    capture(default, "--seconds", str(SECONDS))
    if streams(default) != {"video": ("h264", "yuv420p"), "audio": ("flac", None)}:
        fail("default .mkv streams: %s" % streams(default))
    result = subprocess.run(
        ["ffmpeg", "-v", "info", "-nostats", "-i", default, "-i", lossless, "-lavfi",
         "[1:v]format=yuv420p[reference];[0:v][reference]psnr", "-f", "null", "-"],
        capture_output=True, text=True, timeout=300)
    found = re.search(r"PSNR .* average:([0-9.]+)", result.stderr)
    if not found or float(found.group(1)) < 40.0:
        fail("default .mkv against the lossless capture: %s" % (found and found.group(0)))


def main():
    with tempfile.TemporaryDirectory(prefix="capture_") as work:
        path = os.path.join(work, "lossless.mkv")
        result = capture(path, "--seconds", str(SECONDS), "--lossless")
        if len(result.stderr.splitlines()) != 1:
            fail("not one summary line without a terminal: %r" % result.stderr)
        if streams(path) != {"video": ("ffv1", "bgr0"), "audio": ("flac", None)}:
            fail("lossless streams: %s" % streams(path))
        check_timing(path)
        check_pictures(path, work)
        check_sound(path, work)
        check_default_quality(path, work)
    print("ok")


if __name__ == "__main__":
    main()
