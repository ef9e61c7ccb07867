"""The capture as a user meets it: each format's content, the options at their edges, URL-like
names, every way it fails or is stopped, and what it costs the live intro."""
import array
import json
import os
import pty
import re
import resource
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time

from session import (CAPTURE_MODULE, COMMAND, HEADER, MODULE, SIZE, THREAD_SANITIZER, background,
                     capture_command, checked, find_window, intro_copy, must, read, read_samples,
                     rendered_rgb, running, tool, wait_exit, write, xvfb)

RATE, SOUND_RATE, FADE_FRAMES, SECONDS = 60, 44100, 256, 2
BEFORE_FADE = SECONDS * RATE
FRAMES = BEFORE_FADE + FADE_FRAMES
PER_FRAME = SOUND_RATE // RATE
PICTURE_BYTES = SIZE[0] * SIZE[1] * 3
QUICK = ["--seconds", "0.2"]
OLD = b"an older capture"
FFMPEG = re.compile(r"/lib(av[a-z]+|sw[a-z]+)\.so")


def temporary_files(path):
    """The capture's temporary files for path (path.XXXXXX.part beside it)."""
    folder, name = os.path.split(path)
    pattern = re.compile(re.escape(name) + r"\.[A-Za-z0-9]{6}\.part")
    try:
        return [n for n in os.listdir(folder or ".") if pattern.fullmatch(n)]
    except OSError:
        return []


def capture(path, *options, status=0, one_line=False, **popen):
    """Its stderr once `intro --capture path` ends with status, leaving no temporary file."""
    result = subprocess.run(capture_command(path, *options), capture_output=True, text=True,
                            timeout=600, **popen)
    must(result.returncode == status, "capture to %s: status %d, expected %d: %s" % (
        path, result.returncode, status, result.stderr))
    must(not temporary_files(path), "%s left behind" % temporary_files(path))
    must(not one_line or len(result.stderr.splitlines()) == 1, "not one line: %r" % result.stderr)
    return result.stderr


def probe(path, *entries):
    return json.loads(checked("ffprobe", "-v", "error", "-of", "json", *entries, path).stdout)


def decode(path, stream, raw_format, *limit):
    """The file's pictures ("v", in pixel format raw_format) or sound ("a", e.g. s16le)."""
    args = ["-f", "rawvideo", "-pix_fmt", raw_format] if stream == "v" else ["-f", raw_format]
    result = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:" + stream, *limit,
                             *args, "-"], capture_output=True, timeout=300)
    must(result.returncode == 0, "ffmpeg cannot decode %s: %s" % (path, result.stderr[-2000:]))
    return result.stdout


def check_timing(path, rate, frames):
    """Pictures 1/rate s apart from 0, the sound as long (Opus's look-ahead moves them 6.5 ms)."""
    found = probe(path, "-show_entries",
                  "packet=codec_type,pts_time,duration_time:stream=start_time")
    times = sorted(float(p["pts_time"]) for p in found["packets"] if p["codec_type"] == "video")
    close = min(0.001, 0.5 / rate)
    must(len(times) == frames and abs(times[0]) <= (0.008 if path.endswith(".webm") else close)
         and all(abs(t - times[0] - n / rate) <= close for n, t in enumerate(times)),
         "%s: %d pictures from %s s, expected %d 1/%d s apart" % (path, len(times), times[:1],
                                                                  frames, rate))
    must(all(abs(float(s["start_time"])) < 1.0 / rate for s in found["streams"]),
         "%s: streams start at %s" % (path, [s["start_time"] for s in found["streams"]]))
    sound_end = max(float(p["pts_time"]) + float(p["duration_time"]) for p in found["packets"]
                    if p["codec_type"] == "audio")
    must(abs(sound_end - frames / rate) <= 1.0 / rate, "%s: the sound ends at %.3f s, the "
         "pictures at %.3f s" % (path, sound_end, frames / rate))


def check_pictures(path, work, seed, numbers, *render_options):
    """The capture's pictures `numbers` equal render_frames' with that seed, byte for byte."""
    pictures = decode(path, "v", "rgb24", "-frames:v", str(max(numbers)))
    tool("render_frames", "--seed", str(seed), "--module", MODULE, "--header", HEADER, "--out",
         work, "--frames", ",".join(map(str, numbers)), *render_options, expect=0)
    for number in numbers:
        must(pictures[(number - 1) * PICTURE_BYTES:number * PICTURE_BYTES] ==
             rendered_rgb(os.path.join(work, "frame_%05d.bin" % number)),
             "--seed %d: picture %d differs from render_frames' frame" % (seed, number))


def to_float(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def fade_gains():
    """Each sound frame's gain: 1, then in fade frame k a ramp from the last to (257 - k) / 256."""
    gains, before = [1.0] * (BEFORE_FADE * PER_FRAME), 1.0
    for k in range(1, FADE_FRAMES + 1):
        volume = to_float((257 - k) / 256)
        step = to_float(to_float(volume - before) / PER_FRAME)
        gains += [to_float(before + to_float(step * (i + 1))) for i in range(PER_FRAME - 1)]
        gains.append(volume)
        before = volume
    return gains


def check_sound(path, work):
    """music_probe's sound through the fade's gains, within one 16-bit step."""
    got = array.array("h", decode(path, "a", "s16le"))
    must(len(got) == FRAMES * PER_FRAME * 2, "%d sound frames, expected %d" % (
        len(got) // 2, FRAMES * PER_FRAME))
    wav = os.path.join(work, "probe.wav")
    tool("music_probe", MODULE, "--seconds", repr(FRAMES / RATE), "--wav", wav, expect=0)
    heard, gains = read_samples(wav, skip=44), fade_gains()
    for i, sample in enumerate(got):
        expected = heard[i] * gains[i // 2] * 32768.0
        must(abs(sample - expected) <= 1.0 or sample == 32767 and expected > 32767, "sound frame "
             "%d (picture %d): %d, expected %.2f" % (i // 2, i // 2 // PER_FRAME + 1, sample,
                                                      expected))
    must(max(map(abs, got)) >= 1000, "the captured sound is silent")


def capture_file(work, name, video, audio, rate, frames, *options):
    """Captures to work/name; checks its one summary line, streams and timing; its path."""
    path = os.path.join(work, name)
    summary = capture(path, *options)
    found = probe(path, "-show_entries", "stream=codec_type,codec_name,pix_fmt")["streams"]
    codecs = {s["codec_type"]: (s["codec_name"], s.get("pix_fmt")) for s in found}
    must(len(summary.splitlines()) == 1 and codecs == {"video": video, "audio": (audio, None)},
         "%s: streams %s, summary %r (one line without a terminal)" % (name, codecs, summary))
    check_timing(path, rate, frames)
    return path


def check_formats(work):
    """Lossless .mkv equal to render_frames and music_probe; the default .mkv within 40 dB of it
    and the same twice; .mp4 with its index first; .webm; the rate's and the seed's edges."""
    lossless = capture_file(work, "lossless.mkv", ("ffv1", "bgr0"), "flac", RATE, FRAMES,
                            "--seconds", str(SECONDS), "--lossless")
    check_pictures(lossless, work, 1, (1, BEFORE_FADE // 2, BEFORE_FADE + 1, FRAMES),
                   "--close-at", str(BEFORE_FADE + 1))
    check_sound(lossless, work)
    default = capture_file(work, "default.mkv", ("h264", "yuv420p"), "flac", RATE, FRAMES,
                           "--seconds", str(SECONDS))
    result = subprocess.run(
        ["ffmpeg", "-v", "info", "-nostats", "-i", default, "-i", lossless, "-lavfi",
         "[1:v]format=yuv420p[reference];[0:v][reference]psnr", "-f", "null", "-"],
        capture_output=True, text=True, timeout=300)
    found = re.search(r"PSNR .* average:([0-9.]+)", result.stderr)
    must(found and float(found.group(1)) >= 40.0, "default .mkv against the lossless capture: "
         "%s" % (found and found.group(0)))
    for name in ("a.mkv", "b.mkv"):
        capture(os.path.join(work, name), "--seconds", "0.5")
    must(read(os.path.join(work, "a.mkv")) == read(os.path.join(work, "b.mkv")),
         "two captures with the default seed differ")
    for name, video, audio, rate, seconds in (
            ("out.mp4", ("h264", "yuv420p"), "aac", 50, "0.4"),
            ("out.webm", ("vp9", "yuv420p"), "opus", 60, "0"),
            ("rate_1.mkv", ("h264", "yuv420p"), "flac", 1, "0"),
            ("rate_1000.mkv", ("h264", "yuv420p"), "flac", 1000, "0.01")):
        capture_file(work, name, video, audio, rate, round(float(seconds) * rate) + FADE_FRAMES,
                     "--seconds", seconds, "--rate", str(rate))
    mp4 = read(os.path.join(work, "out.mp4"))
    must(0 < mp4.find(b"moov") < mp4.find(b"mdat"), "the mp4 index is not first")
    for seed in (0, 4294967295):  # the seed's edges, exactly
        path = os.path.join(work, "seed.mkv")
        capture(path, "--seed", str(seed), "--seconds", "0.05", "--lossless")
        check_pictures(path, work, seed, (1, 2))
        os.remove(path)


def check_longest_seconds(work):
    """--seconds 86400 counts a day's frames on a terminal; Ctrl+C: status 130, nothing left."""
    path = os.path.join(work, "day.mkv")
    leader, follower = pty.openpty()
    progress, total, deadline = b"", None, time.monotonic() + 60.0
    with background(capture_command(path, "--seconds", "86400"), stdout=subprocess.DEVNULL,
                    stderr=follower) as process:
        os.close(follower)
        while total is None and time.monotonic() < deadline and process.poll() is None:
            if select.select([leader], [], [], 1.0)[0]:
                try:
                    progress += os.read(leader, 4096)
                except OSError:  # the terminal's other end closed: the capture ended
                    break
            found = re.search(rb"capture: \d+/(\d+) frames", progress)
            total = found and int(found.group(1))
        started = temporary_files(path)
        process.send_signal(signal.SIGINT)
        status, _, _ = wait_exit(process)
    os.close(leader)
    must(total == 86400 * 60 + FADE_FRAMES and status == 130 and started and not
         temporary_files(path) and not os.path.exists(path), "--seconds 86400: %s frames in all, "
         "status %s, temporary files %s then %s, progress %r" % (
             total, status, started, temporary_files(path), progress[-200:]))


def check_names_are_files(work):
    """pipe:1.mkv, clip:2.mkv, file:x.mkv and tcp://host:port/x.mkv (refused without its folder)
    are files; a listener on that port is never contacted."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    address = "tcp://127.0.0.1:%d/x.mkv" % listener.getsockname()[1]
    for name in ("pipe:1.mkv", "clip:2.mkv", "file:x.mkv"):
        result = subprocess.run(capture_command(name, *QUICK), cwd=work, capture_output=True,
                                timeout=600)
        must(result.returncode == 0 and not result.stdout and decode(
            os.path.join(work, name), "a", "s16le"), "%s: status %d, %d bytes on standard output"
             % (name, result.returncode, len(result.stdout)))
    must(sorted(os.listdir(work)) == ["clip:2.mkv", "file:x.mkv", "pipe:1.mkv"],
         "the URL-like names made %s" % sorted(os.listdir(work)))
    refused_at_once(address + " without its folder", capture_command(address, *QUICK),
                    ["tcp:/"], work)
    os.makedirs(os.path.join(work, os.path.dirname(address)))
    capture(os.path.join(work, address), *QUICK)
    contacted = select.select([listener], [], [], 0)[0]
    must(os.path.isfile(os.path.join(work, address)) and not contacted,
         "no file at %s, or its port was contacted" % address)
    listener.close()


def check_links_not_followed(work):
    """Links at FILE and at the old fixed temporary name are never written through."""
    victim = write(os.path.join(work, "victim"), b"precious")
    target = os.path.join(work, "out.mkv")
    os.symlink(victim, target + ".part")
    os.symlink(victim, target)
    capture(target, *QUICK, status=1)
    capture(target, *QUICK, "--force")
    must(read(victim) == b"precious", "a capture wrote through a planted link")
    must(not os.path.islink(target) and os.path.islink(target + ".part"),
         "--force did not replace the link at FILE with the capture (or touched FILE.part)")


def check_two_at_once(work):
    """Two captures into one FILE end with one whole capture or one clean refusal."""
    for seed in ("1", "2"):
        capture(os.path.join(work, "reference%s.mkv" % seed), *QUICK, "--seed", seed)
    references = [read(os.path.join(work, "reference%s.mkv" % seed)) for seed in ("1", "2")]
    must(references[0] != references[1], "the two seeds made the same capture")
    shared = os.path.join(work, "shared.mkv")
    # With --force the last rename wins; without, the second finds FILE taken.
    for force, expected in ((["--force"], [[0, 0]]), ([], [[0, 1], [1, 0]])):
        if os.path.exists(shared):
            os.remove(shared)
        runs = [subprocess.Popen(capture_command(shared, *QUICK, "--seed", seed, *force),
                                 stderr=subprocess.PIPE, text=True) for seed in ("1", "2")]
        statuses = [run.wait(timeout=600) for run in runs]
        result = read(shared)
        must(statuses in expected and result in references and not temporary_files(shared),
             "two captures %s into one file: statuses %s, %s, a reference: %s, left %s" % (
                 force, statuses, [run.stderr.read() for run in runs], result in references,
                 temporary_files(shared)))
        decode(shared, "v", "rgb24")


def refused_at_once(what, command, needles, cwd, **options):
    """Status 1 within a second with one line holding every needle; that line."""
    started = time.monotonic()
    result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=60,
                            **options)
    took = time.monotonic() - started
    must(result.returncode == 1 and len(result.stderr.splitlines()) == 1 and took <= 1.0 and all(
        needle in result.stderr for needle in needles), "%s: status %d after %.2f s: %r" % (
            what, result.returncode, took, result.stderr))
    return result.stderr


def check_refused_before_work(work):
    """A folder as FILE, an existing FILE without --force, no module, a module whose FFmpeg
    library is missing or broken: refused at once, the library named."""
    folder, old = os.path.join(work, "folder.mkv"), write(os.path.join(work, "old.mkv"), b"older")
    os.mkdir(folder)
    before = sorted(os.listdir(work))
    refused_at_once("a folder as FILE", capture_command(folder, "--force"), ["folder"], work)
    refused_at_once("an existing FILE", capture_command(old), ["--force"], work)
    scratch = tempfile.mkdtemp()
    # A copy outside the build tree finds no module.
    bin_folder = intro_copy(folder=os.path.join(scratch, "bin"), header=False)
    lone = [os.path.join(bin_folder, COMMAND)] + capture_command(old, "--force")[1:]
    message = refused_at_once("no module", lone, ["not installed"], work)
    library = next(word for word in checked("ldd", CAPTURE_MODULE).stdout.split()
                   if word.startswith("libavcodec.so."))
    # The module where the copy looks first, needing a libavcodec that no system has.
    where = message.split("looked for ")[1].split(", ")[0].rstrip(")\n")
    os.makedirs(os.path.dirname(where))
    absent = library.replace("libavcodec", "libavcodeX")
    write(where, read(CAPTURE_MODULE).replace(library.encode() + b"\0", absent.encode() + b"\0"))
    refused_at_once("libavcodec missing", lone, [absent, "install the Debian packages"], work)
    # An empty file found first by the library's name.
    write(os.path.join(scratch, library), b"")
    refused_at_once("libavcodec broken", capture_command(old, "--force"),
                    [library, "install the Debian packages", "libavcodec" + library.split(".")[-1]],
                    work, env=dict(os.environ, LD_LIBRARY_PATH=scratch))
    shutil.rmtree(scratch)
    must(sorted(os.listdir(work)) == before and read(old) == b"older",
         "a refused capture changed %s" % sorted(os.listdir(work)))


def expect_only_old(directory, names):
    found = sorted(os.listdir(directory))
    must(found == names and all(read(os.path.join(directory, n)) == OLD for n in names),
         "%s holds %s afterwards, expected %s unchanged" % (directory, found, names))


def wait_written(process, target, size):
    """Until the capture's temporary file holds more than size bytes."""
    deadline = time.monotonic() + 120
    while not any(os.path.getsize(os.path.join(os.path.dirname(target), n)) > size
                  for n in temporary_files(target)):
        must(process.poll() is None and time.monotonic() < deadline, "the capture did not get "
             "going: %s" % (process.stderr.read() if process.poll() is not None else "running"))
        time.sleep(0.05)


def check_failures(work):
    """An unknown extension, a missing or unwritable folder, the file size limit, each stopping
    signal: one line, the stated status, nothing left, an older FILE untouched."""
    message = capture(os.path.join(work, "out.avi"), status=2, one_line=True)
    must(all(extension in message for extension in (".mkv", ".mp4", ".webm")),
         "the extension message does not list the supported ones: " + message)
    capture(os.path.join(work, "out.mp4"), "--lossless", status=2, one_line=True)
    capture(os.path.join(work, "missing", "out.mkv"), "--seconds", "0", status=1, one_line=True)
    expect_only_old(work, [])
    # Root writes through any mode bits; sysfs refuses new files even to root.
    closed = "/sys" if os.getuid() == 0 else os.path.join(work, "closed")
    os.makedirs(closed, 0o555, exist_ok=True)
    before = sorted(os.listdir(closed))
    capture(os.path.join(closed, "out.mkv"), "--seconds", "0", status=1, one_line=True)
    must(sorted(os.listdir(closed)) == before, "the capture left something in " + closed)
    if closed != "/sys":
        os.rmdir(closed)
    target = write(os.path.join(work, "out.mkv"), OLD)
    limit = 1 << 20  # far below a capture of the fade alone
    capture(target, "--seconds", "0", "--lossless", "--force", status=1, one_line=True,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
    expect_only_old(work, ["out.mkv"])
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGPIPE):
        process = subprocess.Popen(capture_command(target, "--force"), stderr=subprocess.PIPE,
                                   text=True)
        wait_written(process, target, 100000)
        process.send_signal(number)
        _, errors = process.communicate(timeout=60)
        must(process.returncode == 128 + number and len(errors.splitlines()) == 1, "after %s: "
             "status %d, %r" % (signal.Signals(number).name, process.returncode, errors))
        expect_only_old(work, ["out.mkv"])


def mapped(what, pid, ffmpeg_expected):
    """FFmpeg's libraries are mapped by the process exactly when expected."""
    with open("/proc/%d/maps" % pid) as f:
        files = {line.split()[-1] for line in f if "/" in line}
    ffmpeg = sorted(f for f in files if FFMPEG.search(f))
    must(any("libSDL2" in f for f in files) and bool(ffmpeg) == ffmpeg_expected,
         "%s maps %s among %d files" % (what, ffmpeg or "no FFmpeg library", len(files)))


def check_not_loaded(work):
    """The running intro maps none of FFmpeg's libraries; a capture does (the check sees them)."""
    with xvfb() as x, running(x.display) as intro:
        find_window(x.display, intro)
        time.sleep(1.0)
        mapped("the running intro", intro.pid, False)
    target = os.path.join(work, "out.mkv")
    with background(capture_command(target), stderr=subprocess.PIPE, text=True) as process:
        wait_written(process, target, -1)
        mapped("a capture", process.pid, True)


def main():
    for check in (check_refused_before_work, check_failures, check_names_are_files,
                  check_links_not_followed, check_two_at_once, check_not_loaded,
                  check_longest_seconds, check_formats):
        if THREAD_SANITIZER and check is check_formats:
            print("check_formats: left out, this build makes no render_frames or music_probe")
            continue
        with tempfile.TemporaryDirectory(prefix="capture_") as work:
            check(work)
        print(check.__name__ + ": ok")
    print("ok")


main()
