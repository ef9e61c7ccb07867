"""Captures read back, each after one summary line, with every picture at the asked rate from 0
and the sound as long as the pictures. Lossless .mkv: the frames before and through the fade
equal to render_frames --module, the sound equal to music_probe's up to the fade and then ramped
down frame by frame by the fade's volume. The default .mkv: H.264 at least 40 dB from the
lossless one, FLAC, and the same file twice for the default seed. .mp4: H.264 and AAC with its
index before the media data; .webm: VP9 and Opus."""
import array
import os
import re
import struct
import subprocess
import tempfile

from session import HEADER, MODULE, SIZE, capture, decode, fail, probe, rendered_rgb, tool

RATE, SOUND_RATE, FADE_FRAMES = 60, 44100, 256
SECONDS = 2
BEFORE_FADE = SECONDS * RATE
FRAMES = BEFORE_FADE + FADE_FRAMES
PER_FRAME = SOUND_RATE // RATE
CHECKED = (1, BEFORE_FADE // 2, BEFORE_FADE + 1, FRAMES)  # start, middle, fade's first and last
PICTURE_BYTES = SIZE[0] * SIZE[1] * 3


def check_timing(path, rate, frames):
    """Every picture 1/rate s after the one before from 0, and the sound as long as the pictures.
    Opus starts 312 samples early (its encoder's look-ahead, dropped when decoded), which moves
    the other stream by that much (6.5 ms); every stream starts within a picture of 0."""
    found = probe(path, "-show_entries",
                  "packet=codec_type,pts_time,duration_time:stream=start_time")
    times = sorted(float(p["pts_time"]) for p in found["packets"] if p["codec_type"] == "video")
    if len(times) != frames or abs(times[0]) > (0.008 if path.endswith(".webm") else 0.001) or \
            any(abs(t - times[0] - n / rate) > 0.001 for n, t in enumerate(times)):
        fail("%s: %d pictures from %.3f s, expected %d 1/%d s apart" % (
            path, len(times), times[0], frames, rate))
    if any(abs(float(s["start_time"])) >= 1.0 / rate for s in found["streams"]):
        fail("%s: streams start at %s" % (path, [s["start_time"] for s in found["streams"]]))
    sound_end = max(float(p["pts_time"]) + float(p["duration_time"]) for p in found["packets"]
                    if p["codec_type"] == "audio")
    if abs(sound_end - frames / rate) > 1.0 / rate:
        fail("%s: the sound ends at %.3f s, the pictures at %.3f s" % (path, sound_end,
                                                                     frames / rate))


def check_pictures(path, work):
    pictures = decode(path, "v", "rgb24")
    if len(pictures) != FRAMES * PICTURE_BYTES:
        fail("decoded %d bytes of pictures" % len(pictures))
    render = tool("render_frames", "--seed", "1", "--module", MODULE, "--header", HEADER,
                  "--close-at", str(BEFORE_FADE + 1), "--out", work, "--frames",
                  ",".join(map(str, CHECKED)))
    if render.returncode != 0:
        fail("render_frames failed: " + render.stderr)
    for number in CHECKED:
        expected = rendered_rgb(os.path.join(work, "frame_%05d.bin" % number))
        if pictures[(number - 1) * PICTURE_BYTES:number * PICTURE_BYTES] != expected:
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
    if tool("music_probe", MODULE, "--seconds", repr(FRAMES / RATE), "--wav", wav).returncode:
        fail("music_probe failed")
    with open(wav, "rb") as f:
        heard = array.array("f")
        heard.frombytes(f.read()[44:])
    gains = fade_gains()
    for i, sample in enumerate(got):
        expected = heard[i] * gains[i // 2] * 32768.0
        # 16-bit FLAC: within one step of the 16-bit scale, full scale clipped to 32767.
        if abs(sample - expected) > 1.0 and not (sample == 32767 and expected > 32767):
            fail("sound frame %d (picture %d): %d, expected %.2f" % (
                i // 2, i // 2 // PER_FRAME + 1, sample, expected))
    if max(map(abs, got)) < 1000:
        fail("the captured sound is silent")


def capture_file(work, name, video, audio, rate, frames, *options):
    """Captures to work/name and checks its one summary line, streams and timing; its path."""
    path = os.path.join(work, name)
    summary = capture(path, *options)
    found = probe(path, "-show_entries", "stream=codec_type,codec_name,pix_fmt")["streams"]
    codecs = {s["codec_type"]: (s["codec_name"], s.get("pix_fmt")) for s in found}
    if len(summary.splitlines()) != 1 or codecs != {"video": video, "audio": (audio, None)}:
        fail("%s: streams %s, summary %r (one line without a terminal)" % (name, codecs, summary))
    check_timing(path, rate, frames)
    return path


def main():
    with tempfile.TemporaryDirectory(prefix="capture_") as work:
        lossless = capture_file(work, "lossless.mkv", ("ffv1", "bgr0"), "flac", RATE, FRAMES,
                                "--seconds", str(SECONDS), "--lossless")
        check_pictures(lossless, work)
        check_sound(lossless, work)

        default = capture_file(work, "default.mkv", ("h264", "yuv420p"), "flac", RATE, FRAMES,
                               "--seconds", str(SECONDS))
        result = subprocess.run(
            ["ffmpeg", "-v", "info", "-nostats", "-i", default, "-i", lossless, "-lavfi",
             "[1:v]format=yuv420p[reference];[0:v][reference]psnr", "-f", "null", "-"],
            capture_output=True, text=True, timeout=300)
        found = re.search(r"PSNR .* average:([0-9.]+)", result.stderr)
        if not found or float(found.group(1)) < 40.0:
            fail("default .mkv against the lossless capture: %s" % (found and found.group(0)))
        first, second = os.path.join(work, "a.mkv"), os.path.join(work, "b.mkv")
        capture(first, "--seconds", "0.5")
        capture(second, "--seconds", "0.5")
        with open(first, "rb") as a, open(second, "rb") as b:
            if a.read() != b.read():
                fail("two captures with the default seed differ")

        mp4 = capture_file(work, "out.mp4", ("h264", "yuv420p"), "aac", 50, 20 + FADE_FRAMES,
                           "--seconds", "0.4", "--rate", "50")
        with open(mp4, "rb") as f:
            head = f.read()
        if not 0 < head.find(b"moov") < head.find(b"mdat"):
            fail("the mp4 index does not come before the media data")
        capture_file(work, "out.webm", ("vp9", "yuv420p"), "opus", 60, FADE_FRAMES, "--seconds",
                     "0")
    print("ok")


main()
