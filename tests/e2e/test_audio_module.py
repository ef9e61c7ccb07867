"""The shipped module is what the score makes: rebuilding tools/score/module.txt with
make_module gives data/module.xm byte for byte, and a score error is reported, not written."""
import os
import subprocess
import tempfile

from window_session import fail


def main():
    tool = os.path.join(os.environ["INTRO_BUILD_DIR"], "make_module")
    root = os.path.dirname(os.environ["INTRO_DATA_DIR"])
    score = os.path.join(root, "tools", "score", "module.txt")
    workdir = tempfile.mkdtemp(prefix="make_module_")
    built = os.path.join(workdir, "module.xm")
    run = subprocess.run([tool, score, built], capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        fail("make_module failed: " + run.stderr)
    with open(built, "rb") as f, open(os.path.join(os.environ["INTRO_DATA_DIR"], "module.xm"),
                                      "rb") as g:
        if f.read() != g.read():
            fail("data/module.xm differs from what the score makes; rebuild and commit it")

    with open(score) as f:
        text = f.read()
    broken_score = os.path.join(workdir, "broken.txt")
    with open(broken_score, "w") as f:
        f.write(text.replace("A-3 07", "H-3 07", 1))
    broken_out = os.path.join(workdir, "broken.xm")
    run = subprocess.run([tool, broken_score, broken_out], capture_output=True, text=True,
                         timeout=120)
    if run.returncode != 1 or "line" not in run.stderr or os.path.exists(broken_out):
        fail("a bad note was not reported: status %d, %r" % (run.returncode, run.stderr))
    print("ok")


if __name__ == "__main__":
    main()
