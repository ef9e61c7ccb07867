"""Golden frames: the intro's pictures for a fixed seed, rendered headless, compared by hash.

Any change to what the intro draws changes a hash here. When a change is intended, render the
frames again and replace the hashes in golden_frames.txt (the failure message prints them).
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


def render(out, *args):
    return subprocess.run([RENDER, "--seed", "7", "--out", out,
                           "--header", os.path.join(DATA, "header.bmp"), *args],
                          capture_output=True, text=True, timeout=600)


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
    with tempfile.TemporaryDirectory() as out:
        result = render(out, "--frames", "1,2,100,600")
        if result.returncode != 0:
            print("render_frames failed:", result.stderr)
            return 1
        for name in sorted(golden):
            path = os.path.join(out, name)
            if not os.path.exists(path):
                failures.append(f"{name} was not written")
                continue
            with open(path, "rb") as f:
                data = f.read()
            if len(data) != 640 * 480 * 4:
                failures.append(f"{name} has {len(data)} bytes")
            digest = hashlib.sha256(data).hexdigest()
            if digest != golden[name]:
                failures.append(f"{name} {digest} (expected {golden[name]})")
            if not os.path.exists(path.replace(".bin", ".png")):
                failures.append(f"{name} has no PNG beside it")

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
                ["--seed", "1", "--frames", "0", "--out", "/tmp"], ["--bogus", "1"]):
        result = subprocess.run([RENDER, *bad], capture_output=True, text=True, timeout=60)
        if result.returncode != 2 or "usage" not in result.stderr:
            failures.append(f"{bad}: status {result.returncode}, expected 2 with a usage message")

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
