"""The capture against the ffmpeg program encoding the same frames.

For each container: `cubescroll --capture` of S seconds (plus the fade) beside `ffmpeg` encoding the
same pictures, given as raw frames from memory, and the same sound with the same codec settings;
the two run alternately, N rounds; printed are the median times and the median of the rounds'
ratios, with the peak resident memory of each capture, both programs' processor seconds and the
load average before each run, since the machine may be shared.

With --presets it also encodes the raw frames with x264 at each given preset and CRF 18 through
the ffmpeg program and prints the speed, the size and the PSNR against the lossless capture: the
figures behind the default .mkv settings.

    python3 bench/capture_bench.py BUILD_DIR [--seconds 15] [--runs 3] [--presets a,b,c]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RATE = 60
FADE_FRAMES = 256

# The codec settings of each container, as the ffmpeg program spells them; they must stay those
# of src/capture/video_file.cpp.
X264 = ["-c:v", "libx264", "-preset", "superfast", "-crf", "18", "-pix_fmt", "yuv420p"]
FLAC = ["-c:a", "flac", "-sample_fmt", "s16"]
FORMATS = {
    "mkv": ([], "out.mkv", X264 + FLAC),
    "mp4": ([], "out.mp4", X264 + ["-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"]),
    "webm": ([], "out.webm",
             ["-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "32", "-b:v", "0",
              "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1", "-tile-columns", "1",
              "-c:a", "libopus", "-b:a", "160k", "-ar", "48000"]),
    "lossless": (["--lossless"], "out.mkv",
                 ["-c:v", "ffv1", "-level", "3", "-slices", "4", "-slicecrc", "0",
                  "-pix_fmt", "bgr0"] + FLAC),
}


def timed(command, cwd=None):
    """Wall seconds, peak resident memory (MB) and processor seconds of one run."""
    start = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if status != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), error))
    return wall, usage.ru_maxrss / 1024.0, usage.ru_utime + usage.ru_stime


def raw_input_args(work):
    return ["-f", "rawvideo", "-pix_fmt", "bgr0", "-s", "640x480", "-r", str(RATE),
            "-i", os.path.join(work, "frames.raw"),
            "-f", "f32le", "-ar", "44100", "-ac", "2", "-i", os.path.join(work, "sound.raw"),
            "-map", "0:v", "-map", "1:a"]


def psnr(reference, candidate):
    """Mean PSNR over the frames and the Y, U and V planes, the lossless frames converted to
    yuv420p as the encoder's input was: the coding loss, not the chroma subsampling's."""
    result = subprocess.run(
        ["ffmpeg", "-v", "info", "-nostats", "-i", candidate, "-i", reference, "-lavfi",
         "[1:v]format=yuv420p[b];[0:v][b]psnr", "-f", "null", "-"],
        capture_output=True, text=True)
    found = re.search(r"PSNR .* average:([0-9.inf]+)", result.stderr)
    return found.group(1) if found else "?"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--seconds", type=float, default=15.0)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--formats", default="mkv,mp4,webm,lossless")
    parser.add_argument("--presets", default="")
    args = parser.parse_args()
    intro = os.path.abspath(os.path.join(args.build, "cubescroll"))  # INTRO_COMMAND
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    frames = round(args.seconds * RATE) + FADE_FRAMES
    video_seconds = frames / RATE
    # Raw frames live in memory, so that reading them costs ffmpeg next to nothing.
    work = tempfile.mkdtemp(prefix="capture_bench_", dir="/dev/shm")
    try:
        lossless = os.path.join(work, "lossless.mkv")
        capture = [intro, "--seconds", str(args.seconds)]
        timed(capture + ["--capture", lossless, "--lossless"], cwd=data)
        subprocess.run(["ffmpeg", "-v", "error", "-i", lossless,
                        "-map", "0:v", "-f", "rawvideo", "-pix_fmt", "bgr0",
                        os.path.join(work, "frames.raw"),
                        "-map", "0:a", "-f", "f32le", os.path.join(work, "sound.raw")],
                       check=True)
        print("%d frames (%.2f s of video), %d rounds, alternating; load average before each run"
              % (frames, video_seconds, args.runs))
        print("%-9s %10s %10s %7s %9s %8s %9s %14s  loads" % (
            "container", "capture s", "ffmpeg s", "ratio", "x realtm", "peak MB", "size MB",
            "cpu s (ffmpeg)"))
        for name in [f for f in args.formats.split(",") if f]:
            options, out_name, codec_args = FORMATS[name]
            ours, theirs, peaks, loads, our_cpu, their_cpu = [], [], [], [], [], []
            out = os.path.join(work, out_name)
            for _ in range(args.runs):
                loads.append(os.getloadavg()[0])
                wall, peak, cpu = timed(capture + ["--capture", out] + options, cwd=data)
                ours.append(wall)
                our_cpu.append(cpu)
                peaks.append(peak)
                size = os.path.getsize(out)
                os.remove(out)
                loads.append(os.getloadavg()[0])
                wall, _, cpu = timed(["ffmpeg", "-v", "error", "-y"] + raw_input_args(work) +
                                     codec_args + [out])
                theirs.append(wall)
                their_cpu.append(cpu)
                os.remove(out)
            mine, base = statistics.median(ours), statistics.median(theirs)
            # Each round's pair ran back to back under about the same load.
            ratio = statistics.median(a / b for a, b in zip(ours, theirs))
            print("%-9s %10.2f %10.2f %7.2f %9.2f %8.0f %9.1f %6.1f (%5.1f)  %s" % (
                name, mine, base, ratio, video_seconds / mine, max(peaks), size / 1e6,
                statistics.median(our_cpu), statistics.median(their_cpu),
                " ".join("%.1f" % load for load in loads)))
        if args.presets:
            print("\nx264 at CRF 18 through the ffmpeg program (one run each)")
            print("%-10s %9s %9s %9s %9s" % ("preset", "seconds", "x realtm", "size MB", "PSNR dB"))
            for preset in args.presets.split(","):
                out = os.path.join(work, "preset.mkv")
                codec = list(X264)
                codec[codec.index("-preset") + 1] = preset
                wall, _, _ = timed(["ffmpeg", "-v", "error", "-y"] + raw_input_args(work) + codec +
                                FLAC + [out])
                print("%-10s %9.2f %9.2f %9.1f %9s" % (
                    preset, wall, video_seconds / wall, os.path.getsize(out) / 1e6,
                    psnr(lossless, out)))
                os.remove(out)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
