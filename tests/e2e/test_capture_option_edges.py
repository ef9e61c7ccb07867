"""The options that shape a capture, at their edges (test_capture_formats covers rate 50 and 60,
seed 1 and --seconds 0): --rate 1 and 1000 give pictures exactly 1/rate s apart from 0 with the
sound as long as they are; --seed 0 and 2^32-1 give the first pictures of render_frames with
that seed, exactly (lossless); --seconds 86400, the longest, sets out to capture a day's frames
before the fade (as its progress on a terminal counts them) and Ctrl+C ends it with status 130
and no file."""
import os
import pty
import re
import select
import signal
import subprocess
import tempfile
import time

from session import (HEADER, INTRO, MODULE, SIZE, capture, fail, probe, rendered_rgb, tool,
                     wait_exit)

FADE_FRAMES = 256
PICTURE_BYTES = SIZE[0] * SIZE[1] * 3


def check_rate(work, rate, seconds):
    path = os.path.join(work, "rate_%d.mkv" % rate)
    capture(path, "--rate", str(rate), "--seconds", seconds)
    frames = round(float(seconds) * rate) + FADE_FRAMES
    found = probe(path, "-show_entries", "packet=codec_type,pts_time,duration_time")["packets"]
    times = sorted(float(p["pts_time"]) for p in found if p["codec_type"] == "video")
    if len(times) != frames or any(abs(t - n / rate) > 0.0005 for n, t in enumerate(times)):
        fail("--rate %d: %d pictures from %.4f s, expected %d 1/%d s apart from 0" %
             (rate, len(times), times[0] if times else -1, frames, rate))
    sound_end = max(float(p["pts_time"]) + float(p["duration_time"]) for p in found
                    if p["codec_type"] == "audio")
    if abs(sound_end - frames / rate) > 1.0 / rate:
        fail("--rate %d: the sound ends at %.3f s, the pictures at %.3f s" %
             (rate, sound_end, frames / rate))


def check_seed(work, seed):
    path = os.path.join(work, "seed.mkv")
    capture(path, "--seed", str(seed), "--seconds", "0.05", "--lossless")
    first = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-frames:v", "2",
                            "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], capture_output=True,
                           timeout=120).stdout
    os.remove(path)
    render = tool("render_frames", "--seed", str(seed), "--module", MODULE, "--header", HEADER,
                  "--out", work, "--frames", "1,2")
    if render.returncode != 0:
        fail("render_frames failed: " + render.stderr)
    for number in (1, 2):
        expected = rendered_rgb(os.path.join(work, "frame_%05d.bin" % number))
        if first[(number - 1) * PICTURE_BYTES:number * PICTURE_BYTES] != expected:
            fail("--seed %d: picture %d differs from render_frames' frame" % (seed, number))


def check_longest_seconds(work):
    path = os.path.join(work, "day.mkv")
    leader, follower = pty.openpty()
    process = subprocess.Popen([INTRO, "--capture", path, "--module", MODULE, "--header", HEADER,
                                "--seconds", "86400"], stdout=subprocess.DEVNULL,
                               stderr=follower, text=True)
    os.close(follower)
    progress, total = b"", None
    deadline = time.monotonic() + 60.0
    try:
        while total is None and time.monotonic() < deadline and process.poll() is None:
            if not select.select([leader], [], [], 1.0)[0]:
                continue
            try:
                progress += os.read(leader, 4096)
            except OSError:  # the terminal's other end closed: the capture ended
                break
            found = re.search(rb"capture: \d+/(\d+) frames", progress)
            total = found and int(found.group(1))
        process.send_signal(signal.SIGINT)
        status, _, _ = wait_exit(process)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        os.close(leader)
    if total != 86400 * 60 + FADE_FRAMES or status != 130 or os.path.exists(path) or \
            os.path.exists(path + ".part"):
        fail("--seconds 86400: %s frames in all, status %s, progress %r" %
             (total, status, progress[-200:]))


def main():
    with tempfile.TemporaryDirectory(prefix="capture_edges_") as work:
        check_rate(work, 1, "0")
        check_rate(work, 1000, "0.01")
        for seed in (0, 4294967295):
            check_seed(work, seed)
        check_longest_seconds(work)
    print("ok")


main()
