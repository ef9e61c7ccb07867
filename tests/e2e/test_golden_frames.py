"""Golden frames: the intro's pictures for a fixed seed, rendered headless, compared by hash.

Any change to what the intro draws changes a hash here. When a change is intended, render the
frames again and replace the hashes in golden_frames.txt (the failure message prints them).
The frames are checked with every level of pixel kernels this processor runs; the levels it
lacks are named as skipped.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ["INTRO_BUILD_DIR"]
DATA = os.environ["INTRO_DATA_DIR"]
RENDER = os.path.join(BUILD, "render_frames")


LEVELS = ("scalar", "sse2", "avx2", "avx512")


def render(out, *args, env=None):
    return subprocess.run([RENDER, "--seed", "7", "--out", out,
                           "--header", os.path.join(DATA, "header.bmp"), *args],
                          capture_output=True, text=True, timeout=600, env=env)


def kernels_used(result):
    for line in result.stderr.splitlines():
        if line.startswith("render_frames: pixel kernels "):
            return line.split()[-1]
    return None


def check_frames(out, golden, label):
    failures = []
    for name in sorted(golden):
        path = os.path.join(out, name)
        if not os.path.exists(path):
            failures.append(f"{label}: {name} was not written")
            continue
        with open(path, "rb") as f:
            data = f.read()
        if len(data) != 640 * 480 * 4:
            failures.append(f"{label}: {name} has {len(data)} bytes")
        digest = hashlib.sha256(data).hexdigest()
        if digest != golden[name]:
            failures.append(f"{label}: {name} {digest} (expected {golden[name]})")
        if not os.path.exists(path.replace(".bin", ".png")):
            failures.append(f"{label}: {name} has no PNG beside it")
    return failures


def check_every_level(golden):
    failures, ran, skipped = [], [], []
    for level in LEVELS:
        with tempfile.TemporaryDirectory() as out:
            result = render(out, "--frames", "1,2,100,600", "--kernels", level)
            if result.returncode != 0:
                failures.append(f"{level}: render_frames failed: {result.stderr}")
                continue
            used = kernels_used(result)
            if used != level:
                # The processor lacks the level: one line says so and the widest level runs.
                if "not supported by this processor" not in result.stderr:
                    failures.append(f"{level}: ran {used} without saying why")
                skipped.append(level)
                continue
            failures += check_frames(out, golden, level)
            ran.append(level)
    print("golden frames checked with kernels:", ", ".join(ran) or "none")
    print("skipped, this processor lacks them:", ", ".join(skipped) or "none")
    return failures


def check_environment_choice(golden):
    """INTRO_KERNELS picks the level; a name that is no level gets one line and the widest."""
    failures = []
    with tempfile.TemporaryDirectory() as out:
        result = render(out, "--frames", "1", env=dict(os.environ, INTRO_KERNELS="scalar"))
        if kernels_used(result) != "scalar":
            failures.append(f"INTRO_KERNELS=scalar ran {kernels_used(result)}")
        result = render(out, "--frames", "1", env=dict(os.environ, INTRO_KERNELS="mmx"))
        complaints = [l for l in result.stderr.splitlines() if "mmx" in l]
        if result.returncode != 0 or len(complaints) != 1:
            failures.append(f"INTRO_KERNELS=mmx: status {result.returncode}, {result.stderr!r}")
        failures += check_frames(out, {"frame_00001.bin": golden["frame_00001.bin"]}, "mmx")
    return failures


def load_golden():
    golden = {}
    with open(os.path.join(HERE, "golden_frames.txt")) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                name, digest = line.split()
                golden[name] = digest
    return golden


def main():
    failures = []
    golden = load_golden()
    failures += check_every_level(golden)
    failures += check_environment_choice(golden)

    with tempfile.TemporaryDirectory() as out:
        # A close request in frame 50: frames 50..305 are the fade, 305 is black, then it stops.
        result = render(out, "--frames", "304,305,400", "--close-at", "50")
        if result.returncode != 0:
            failures.append("render with --close-at failed: " + result.stderr)
        else:
            with open(os.path.join(out, "frame_00305.bin"), "rb") as f:
                last = f.read()
            if any(last[i] or last[i + 1] or last[i + 2] for i in range(0, len(last), 4)):
                failures.append("the last fade frame is not black")
            with open(os.path.join(out, "frame_00304.bin"), "rb") as f:
                before = f.read()
            if not any(before[i] for i in range(0, len(before), 4)):
                failures.append("the frame before the last fade frame is already black")
            if os.path.exists(os.path.join(out, "frame_00400.bin")):
                failures.append("rendering went on after the fade ended")

    for bad in (["--frames", "1"], ["--seed", "x", "--frames", "1", "--out", "/tmp"],
                ["--seed", "1", "--frames", "0", "--out", "/tmp"], ["--bogus", "1"],
                ["--seed", "1", "--frames", "1", "--out", "/tmp", "--kernels", "mmx"]):
        result = subprocess.run([RENDER, *bad], capture_output=True, text=True, timeout=60)
        if result.returncode != 2 or "usage" not in result.stderr:
            failures.append(f"{bad}: status {result.returncode}, expected 2 with a usage message")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
