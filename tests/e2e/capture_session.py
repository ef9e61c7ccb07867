"""Shared pieces of the capture tests: running `intro --capture` on the shipped data and reading
the written file back through the ffmpeg and ffprobe programs."""
import json
import os
import subprocess

from window_session import fail

BUILD = os.environ["INTRO_BUILD_DIR"]
DATA = os.environ["INTRO_DATA_DIR"]
MODULE = os.path.join(DATA, "module.xm")
HEADER = os.path.join(DATA, "header.bmp")
WIDTH, HEIGHT, RATE, SOUND_RATE = 640, 480, 60, 44100
FADE_FRAMES = 256


def capture_command(path, *options):
    return [os.environ["INTRO_BIN"], "--capture", path, "--module", MODULE, "--header", HEADER,
            *options]


def capture(path, *options, timeout=600):
    result = subprocess.run(capture_command(path, *options), capture_output=True, text=True,
                            timeout=timeout)
    if result.returncode != 0:
        fail("capture to %s failed (%d): %s" % (path, result.returncode, result.stderr))
    if os.path.exists(path + ".part"):
        fail(path + ".part was left behind after a successful capture")
    return result


def probe(path, *entries):
    result = subprocess.run(["ffprobe", "-v", "error", "-of", "json", *entries, path],
                            capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        fail("ffprobe cannot read %s: %s" % (path, result.stderr))
    return json.loads(result.stdout)


def streams(path):
    """codec name of each stream by type, plus the video's pixel format."""
    found = probe(path, "-show_entries", "stream=codec_type,codec_name,pix_fmt")["streams"]
    return {s["codec_type"]: (s["codec_name"], s.get("pix_fmt")) for s in found}


def decode(path, stream, raw_format):
    """The decoded pictures ("v", raw_format a pixel format) or sound ("a", a raw sample format
    such as s16le) of the file."""
    args = ["-f", "rawvideo", "-pix_fmt", raw_format] if stream == "v" else ["-f", raw_format]
    result = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:" + stream, *args,
                             "-"], capture_output=True, timeout=300)
    if result.returncode != 0:
        fail("ffmpeg cannot decode %s: %s" % (path, result.stderr.decode(errors="replace")))
    return result.stdout
