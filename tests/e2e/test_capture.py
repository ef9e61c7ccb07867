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

from session import (CAPTURE_MODULE, COMMAND, HEADER, MODULE, SIZE, THREAD_SANITIZER,
                     capture_command, checked, fail, find_window, intro_copy, read, read_samples,
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
    """`intro --capture path` on the shipped data with that status (and one line on stderr if
    `one_line`), no temporary file left; its stderr."""
    result = subprocess.run(capture_command(path, *options), capture_output=True, text=True,
                            timeout=600, **popen)
    if result.returncode != status:
        fail("capture to %s: status %d, expected %d: %s" % (path, result.returncode, status,
                                                             result.stderr))
    if temporary_files(path):
        fail("%s left behind" % temporary_files(path))
    if one_line and len(result.stderr.splitlines()) != 1:
        fail("not one line on standard error: %r" % result.stderr)
    return result.stderr


def probe(path, *entries):
    return json.loads(checked("ffprobe", "-v", "error", "-of", "json", *entries, path).stdout)


def decode(path, stream, raw_format, *limit):
    """The decoded pictures ("v", raw_format a pixel format) or sound ("a", a raw sample format
    such as s16le) of the file; `limit` adds options such as -frames:v 2."""
    args = ["-f", "rawvideo", "-pix_fmt", raw_format] if stream == "v" else ["-f", raw_format]
    result = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:" + stream, *limit,
                             *args, "-"], capture_output=True, timeout=300)
    if result.returncode != 0:
        fail("ffmpeg cannot decode %s: %s" % (path, result.stderr.decode(errors="replace")))
    return result.stdout


def check_timing(path, rate, frames):
    """Every picture 1/rate s after the one before from 0 and the sound as long as the pictures.
    Opus starts 312 samples early (its look-ahead), which moves the other stream by 6.5 ms."""
    found = probe(path, "-show_entries",
                  "packet=codec_type,pts_time,duration_time:stream=start_time")
    times = sorted(float(p["pts_time"]) for p in found["packets"] if p["codec_type"] == "video")
    close = min(0.001, 0.5 / rate)
    if len(times) != frames or abs(times[0]) > (0.008 if path.endswith(".webm") else close) or \
            any(abs(t - times[0] - n / rate) > close for n, t in enumerate(times)):
        fail("%s: %d pictures from %.4f s, expected %d 1/%d s apart" % (
            path, len(times), times[0] if times else -1, frames, rate))
    if any(abs(float(s["start_time"])) >= 1.0 / rate for s in found["streams"]):
        fail("%s: streams start at %s" % (path, [s["start_time"] for s in found["streams"]]))
    sound_end = max(float(p["pts_time"]) + float(p["duration_time"]) for p in found["packets"]
                    if p["codec_type"] == "audio")
    if abs(sound_end - frames / rate) > 1.0 / rate:
        fail("%s: the sound ends at %.3f s, the pictures at %.3f s" % (path, sound_end,
                                                                     frames / rate))


def check_pictures(path, work, seed, numbers, *render_options):
    """The capture's pictures `numbers` equal render_frames' with that seed, byte for byte."""
    pictures = decode(path, "v", "rgb24", "-frames:v", str(max(numbers)))
    tool("render_frames", "--seed", str(seed), "--module", MODULE, "--header", HEADER, "--out",
         work, "--frames", ",".join(map(str, numbers)), *render_options, expect=0)
    for number in numbers:
        expected = rendered_rgb(os.path.join(work, "frame_%05d.bin" % number))
        if pictures[(number - 1) * PICTURE_BYTES:number * PICTURE_BYTES] != expected:
            fail("--seed %d: picture %d differs from render_frames' frame" % (seed, number))


def to_float(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def fade_gains():
    """The gain on each sound frame: 1 before the fade, then in fade frame k a ramp from the last
    frame's volume to (257 - k) / 256, as the engine applies it."""
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
    if len(got) != FRAMES * PER_FRAME * 2:
        fail("%d sound frames, expected %d" % (len(got) // 2, FRAMES * PER_FRAME))
    wav = os.path.join(work, "probe.wav")
    tool("music_probe", MODULE, "--seconds", repr(FRAMES / RATE), "--wav", wav, expect=0)
    heard, gains = read_samples(wav, skip=44), fade_gains()
    for i, sample in enumerate(got):
        expected = heard[i] * gains[i // 2] * 32768.0
        if abs(sample - expected) > 1.0 and not (sample == 32767 and expected > 32767):
            fail("sound frame %d (picture %d): %d, expected %.2f" % (
                i // 2, i // 2 // PER_FRAME + 1, sample, expected))
    if max(map(abs, got)) < 1000:
        fail("the captured sound is silent")


def capture_file(work, name, video, audio, rate, frames, *options):
    """Captures to work/name; checks its one summary line, streams and timing; its path."""
    path = os.path.join(work, name)
    summary = capture(path, *options)
    found = probe(path, "-show_entries", "stream=codec_type,codec_name,pix_fmt")["streams"]
    codecs = {s["codec_type"]: (s["codec_name"], s.get("pix_fmt")) for s in found}
    if len(summary.splitlines()) != 1 or codecs != {"video": video, "audio": (audio, None)}:
        fail("%s: streams %s, summary %r (one line without a terminal)" % (name, codecs, summary))
    check_timing(path, rate, frames)
    return path


def check_formats(work):
    """Lossless .mkv equal to render_frames and music_probe through the fade; the default .mkv
    within 40 dB of it and the same twice; .mp4 with its index first; .webm; the rate's edges."""
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
    if not found or float(found.group(1)) < 40.0:
        fail("default .mkv against the lossless capture: %s" % (found and found.group(0)))
    for name in ("a.mkv", "b.mkv"):
        capture(os.path.join(work, name), "--seconds", "0.5")
    if read(os.path.join(work, "a.mkv")) != read(os.path.join(work, "b.mkv")):
        fail("two captures with the default seed differ")
    mp4 = capture_file(work, "out.mp4", ("h264", "yuv420p"), "aac", 50, 20 + FADE_FRAMES,
                       "--seconds", "0.4", "--rate", "50")
    head = read(mp4)
    if not 0 < head.find(b"moov") < head.find(b"mdat"):
        fail("the mp4 index does not come before the media data")
    for name, video, audio, rate, seconds in (
            ("out.webm", ("vp9", "yuv420p"), "opus", 60, "0"),
            ("rate_1.mkv", ("h264", "yuv420p"), "flac", 1, "0"),
            ("rate_1000.mkv", ("h264", "yuv420p"), "flac", 1000, "0.01")):
        capture_file(work, name, video, audio, rate, round(float(seconds) * rate) + FADE_FRAMES,
                     "--seconds", seconds, "--rate", str(rate))
    for seed in (0, 4294967295):  # the seed's edges, exactly
        path = os.path.join(work, "seed.mkv")
        capture(path, "--seed", str(seed), "--seconds", "0.05", "--lossless")
        check_pictures(path, work, seed, (1, 2))
        os.remove(path)


def check_longest_seconds(work):
    """--seconds 86400 sets out to capture a day's frames (as its progress on a terminal counts
    them); Ctrl+C then ends it with status 130, removing its temporary file."""
    path = os.path.join(work, "day.mkv")
    leader, follower = pty.openpty()
    process = subprocess.Popen(capture_command(path, "--seconds", "86400"),
                               stdout=subprocess.DEVNULL, stderr=follower)
    os.close(follower)
    progress, total, started = b"", None, []
    deadline = time.monotonic() + 60.0
    try:
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
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        os.close(leader)
    if total != 86400 * 60 + FADE_FRAMES or status != 130 or not started or \
            temporary_files(path) or os.path.exists(path):
        fail("--seconds 86400: %s frames in all, status %s, temporary files %s then %s, "
             "progress %r" % (total, status, started, temporary_files(path), progress[-200:]))


def check_names_are_files(work):
    """pipe:1.mkv, clip:2.mkv and file:x.mkv are files; tcp://host:port/x.mkv is a path
    (refused while its folder is missing), and a listener on that port is never contacted."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    address = "tcp://127.0.0.1:%d/x.mkv" % listener.getsockname()[1]
    for name in ("pipe:1.mkv", "clip:2.mkv", "file:x.mkv"):
        result = subprocess.run(capture_command(name, *QUICK), cwd=work, capture_output=True,
                                timeout=600)
        if result.returncode != 0 or result.stdout or \
                not decode(os.path.join(work, name), "a", "s16le"):
            fail("%s: status %d, %d bytes on standard output" % (name, result.returncode,
                                                                  len(result.stdout)))
    if sorted(os.listdir(work)) != ["clip:2.mkv", "file:x.mkv", "pipe:1.mkv"]:
        fail("the URL-like names made %s" % sorted(os.listdir(work)))
    refused_at_once(address + " without its folder", capture_command(address, *QUICK),
                    ["tcp:/"], work)
    os.makedirs(os.path.join(work, os.path.dirname(address)))
    capture(os.path.join(work, address), *QUICK)
    if not os.path.isfile(os.path.join(work, address)) or select.select([listener], [], [], 0)[0]:
        fail("no file at %s, or its port was contacted" % address)
    listener.close()


def check_links_not_followed(work):
    """Links at FILE and at the old fixed temporary name are never written through."""
    victim = write(os.path.join(work, "victim"), b"precious")
    target = os.path.join(work, "out.mkv")
    os.symlink(victim, target + ".part")
    os.symlink(victim, target)
    capture(target, *QUICK, status=1)
    capture(target, *QUICK, "--force")
    if read(victim) != b"precious":
        fail("a capture wrote through a planted link")
    if os.path.islink(target) or not os.path.islink(target + ".part"):
        fail("--force did not replace the link at FILE with the capture (or touched FILE.part)")


def check_two_at_once(work):
    """Two captures into one FILE end with one whole capture or one clean refusal."""
    references = []
    for seed in ("1", "2"):
        capture(os.path.join(work, "reference%s.mkv" % seed), *QUICK, "--seed", seed)
        references.append(read(os.path.join(work, "reference%s.mkv" % seed)))
    if references[0] == references[1]:
        fail("the two seeds made the same capture")
    shared = os.path.join(work, "shared.mkv")
    # With --force the last rename wins; without, the second finds FILE taken.
    for force, expected in ((["--force"], [[0, 0]]), ([], [[0, 1], [1, 0]])):
        if os.path.exists(shared):
            os.remove(shared)
        runs = [subprocess.Popen(capture_command(shared, *QUICK, "--seed", seed, *force),
                                 stderr=subprocess.PIPE, text=True) for seed in ("1", "2")]
        statuses = [run.wait(timeout=600) for run in runs]
        result = read(shared)
        if statuses not in expected or result not in references or temporary_files(shared):
            fail("two captures %s into one file: statuses %s, %s, a reference: %s, left %s" %
                 (force, statuses, [run.stderr.read() for run in runs], result in references,
                  temporary_files(shared)))
        decode(shared, "v", "rgb24")


def refused_at_once(what, command, needles, cwd, **options):
    """Status 1 within a second with one line holding every needle; that line."""
    started = time.monotonic()
    result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=60,
                            **options)
    took = time.monotonic() - started
    if result.returncode != 1 or len(result.stderr.splitlines()) != 1 or took > 1.0 or \
            not all(needle in result.stderr for needle in needles):
        fail("%s: status %d after %.2f s: %r" % (what, result.returncode, took, result.stderr))
    return result.stderr


def check_refused_before_work(work):
    """A folder as FILE, an existing FILE without --force, no module, a module whose FFmpeg
    library is missing or broken: refused before the first frame, the library named."""
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
    if sorted(os.listdir(work)) != before or read(old) != b"older":
        fail("a refused capture changed %s" % sorted(os.listdir(work)))


def expect_only_old(directory, names):
    if sorted(os.listdir(directory)) != names:
        fail("%s holds %s afterwards, expected %s" % (directory, os.listdir(directory), names))
    for name in names:
        if read(os.path.join(directory, name)) != OLD:
            fail(name + " was changed")


def wait_written(process, target, size):
    """Until the capture's temporary file holds more than size bytes."""
    deadline = time.monotonic() + 120
    while not any(os.path.getsize(os.path.join(os.path.dirname(target), n)) > size
                  for n in temporary_files(target)):
        if process.poll() is not None or time.monotonic() > deadline:
            fail("the capture did not get going: %s" %
                 (process.stderr.read() if process.poll() is not None else "still running"))
        time.sleep(0.05)


def check_failures(work):
    """An extension without a format, a missing or unwritable folder, the file size limit and
    each stopping signal: one line, the stated status, nothing left, an older FILE untouched."""
    message = capture(os.path.join(work, "out.avi"), status=2, one_line=True)
    if not all(extension in message for extension in (".mkv", ".mp4", ".webm")):
        fail("the extension message does not list the supported ones: " + message)
    capture(os.path.join(work, "out.mp4"), "--lossless", status=2, one_line=True)
    capture(os.path.join(work, "missing", "out.mkv"), "--seconds", "0", status=1, one_line=True)
    expect_only_old(work, [])
    # Root writes through any mode bits; sysfs refuses new files even to root.
    closed = "/sys" if os.getuid() == 0 else os.path.join(work, "closed")
    os.makedirs(closed, 0o555, exist_ok=True)
    before = sorted(os.listdir(closed))
    capture(os.path.join(closed, "out.mkv"), "--seconds", "0", status=1, one_line=True)
    if sorted(os.listdir(closed)) != before:
        fail("the capture left something in " + closed)
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
        if process.returncode != 128 + number or len(errors.splitlines()) != 1:
            fail("after %s: status %d, %r" % (signal.Signals(number).name, process.returncode,
                                              errors))
        expect_only_old(work, ["out.mkv"])


def mapped(what, pid, ffmpeg_expected):
    """FFmpeg's libraries are mapped by the process exactly when expected."""
    with open("/proc/%d/maps" % pid) as f:
        files = {line.split()[-1] for line in f if "/" in line}
    ffmpeg = sorted(f for f in files if FFMPEG.search(f))
    if not any("libSDL2" in f for f in files) or bool(ffmpeg) != ffmpeg_expected:
        fail("%s maps %s among %d files" % (what, ffmpeg or "no FFmpeg library", len(files)))


def check_not_loaded(work):
    """The running intro maps none of FFmpeg's libraries; a capture does, which shows the check
    can see them."""
    with xvfb() as x, running(x.display) as intro:
        find_window(x.display, intro)
        time.sleep(1.0)
        mapped("the running intro", intro.pid, False)
    target = os.path.join(work, "out.mkv")
    process = subprocess.Popen(capture_command(target), stderr=subprocess.PIPE, text=True)
    try:
        wait_written(process, target, -1)
        mapped("a capture", process.pid, True)
    finally:
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=60)


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
