"""Golden frames: seed 7's pictures by hash with every kernel level this processor runs, the
fade's end, bad arguments, and (given INTRO_REFERENCE_BUILD) other seeds byte for byte."""
import hashlib
import os
import sys
import tempfile

from session import HEADER, MODULE, checked, read, tool

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden_frames.txt")) as f:
    GOLDEN = dict(line.split() for line in f if line.strip() and not line.startswith("#"))
failures = []


def read_if(path):
    """The file's bytes; None if it was not written."""
    return read(path) if os.path.exists(path) else None


def render(out, *args, **env):
    return tool("render_frames", "--seed", "7", "--out", out, "--header", HEADER, *args,
                env=dict(os.environ, **env))


def kernels_used(result):
    lines = [l for l in result.stderr.splitlines() if l.startswith("render_frames: pixel kernels ")]
    return lines[0].split()[-1] if lines else None


def check_frames(out, names, label):
    for name in names:
        path = os.path.join(out, name)
        data = read_if(path) if os.path.exists(path.replace(".bin", ".png")) else None
        digest = data and hashlib.sha256(data).hexdigest()
        if digest != GOLDEN[name]:  # the hash also fixes the size
            failures.append(f"{label}: {name} {digest} (expected {GOLDEN[name]}), or no PNG")


ran, skipped = [], []
for level in ("scalar", "sse2", "avx2", "avx512"):
    with tempfile.TemporaryDirectory() as out:
        result = render(out, "--frames", "1,2,100,600", "--kernels", level)
        if result.returncode != 0:
            failures.append(f"{level}: render_frames failed: {result.stderr}")
        elif kernels_used(result) == level:
            check_frames(out, sorted(GOLDEN), level)
            ran.append(level)
        elif "not supported by this processor" in result.stderr:
            skipped.append(level)  # one line says so and the widest level runs
        else:
            failures.append(f"{level}: ran {kernels_used(result)} without saying why")
print("golden frames checked with kernels:", ", ".join(ran) or "none")
print("skipped, this processor lacks them:", ", ".join(skipped) or "none")

with tempfile.TemporaryDirectory() as out:
    # INTRO_KERNELS picks the level; a name that is no level gets one line and the widest.
    if kernels_used(render(out, "--frames", "1", INTRO_KERNELS="scalar")) != "scalar":
        failures.append("INTRO_KERNELS=scalar ran another level")
    result = render(out, "--frames", "1", INTRO_KERNELS="mmx")
    if result.returncode != 0 or len([l for l in result.stderr.splitlines() if "mmx" in l]) != 1:
        failures.append(f"INTRO_KERNELS=mmx: status {result.returncode}, {result.stderr!r}")
    check_frames(out, ["frame_00001.bin"], "mmx")

with tempfile.TemporaryDirectory() as out:
    # A close request in frame 50: frames 50..305 are the fade, 305 is black, then it stops.
    result = render(out, "--frames", "304,305,400", "--close-at", "50")
    if result.returncode != 0:
        failures.append("render with --close-at failed: " + result.stderr)
    else:
        for number, black in ((304, False), (305, True)):
            data = read_if(os.path.join(out, "frame_%05d.bin" % number))
            if any(data[0::4] + data[1::4] + data[2::4]) == black:
                failures.append(f"fade frame {number} is {'not ' if black else 'already '}black")
        if os.path.exists(os.path.join(out, "frame_00400.bin")):
            failures.append("rendering went on after the fade ended")

REFERENCE = os.environ.get("INTRO_REFERENCE_BUILD")
if REFERENCE:
    reference = os.path.join(REFERENCE, "render_frames")
    frames = ["1", "59", "333", "600"]
    for seed, music in (("3", []), ("4294967295", []), ("12345", ["--module", MODULE])):
        with tempfile.TemporaryDirectory() as ours, tempfile.TemporaryDirectory() as theirs:
            args = ["--seed", seed, "--frames", ",".join(frames), "--header", HEADER, *music]
            result = tool("render_frames", *args, "--out", ours, "--kernels", "scalar")
            checked(reference, *args, "--out", theirs, "--kernels", "scalar")
            for frame in frames:
                name = "frame_%05d.bin" % int(frame)
                expected = read(os.path.join(theirs, name))
                if result.returncode != 0 or read_if(os.path.join(ours, name)) != expected:
                    failures.append(f"seed {seed} {' '.join(music)}: {name} differs from "
                                    f"{reference}'s: {result.stderr}")
    print("seeds 3, 4294967295 and 12345 (with the music) equal to", reference)

for bad in (["--frames", "1"], ["--seed", "x", "--frames", "1", "--out", "/tmp"],
            ["--seed", "1", "--frames", "0", "--out", "/tmp"], ["--bogus", "1"],
            ["--seed", "1", "--frames", "1", "--out", "/tmp", "--kernels", "mmx"]):
    result = tool("render_frames", *bad, timeout=60)
    if result.returncode != 2 or "usage" not in result.stderr:
        failures.append(f"{bad}: status {result.returncode}, expected 2 with a usage message: "
                        f"{result.stderr.strip()[:300]!r}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
