#!/usr/bin/env python3
"""The web page's sizes and times against its targets: the gzipped .wasm, .js and .data together
at most 1.5 MB; the first frame within 0.7 s of the navigation; 60 frames a second under
requestAnimationFrame in headless Chromium. Several fresh tabs, the median and the worst shown.

    python3 bench/web_page.py [BUILD_WEB_DIR] [--runs N]

Status 1 when a target is missed, so a script can tell."""
import argparse
import gzip
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from browser import CHROMIUM, chromium  # noqa: E402

GZIPPED_LIMIT = 1_500_000
FIRST_FRAME_LIMIT_MS = 700
FRAME_RATE_RANGE = (58.0, 62.0)


def gzipped_sizes(folder):
    sizes = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith((".wasm", ".js", ".data")) and name.startswith("cubescroll"):
            with open(os.path.join(folder, name), "rb") as f:
                raw = f.read()
            sizes[name] = (len(raw), len(gzip.compress(raw, 9)))
    return sizes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build-web")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if CHROMIUM is None:
        sys.exit("web_page: chromium is not installed (scripts/setup.sh installs it)")
    missed = []

    sizes = gzipped_sizes(args.build)
    for name, (raw, packed) in sizes.items():
        print("%-18s %9d bytes, %9d gzipped" % (name, raw, packed))
    total = sum(packed for _, packed in sizes.values())
    print("%-18s %9s        %9d gzipped (target <= %d)" % ("total", "", total, GZIPPED_LIMIT))
    if total > GZIPPED_LIMIT or len(sizes) != 3:
        missed.append("size")

    first, rates = [], []
    with chromium(args.build) as browser:
        for _ in range(args.runs):
            page = browser.open()
            if page.wait_for("Module.introFirstFrameMs !== undefined", 60) is None:
                sys.exit("web_page: no first frame within a minute")
            first.append(page.evaluate("Module.introFirstFrameMs"))
            rates.append(page.frame_rate(5))
            page.close()
    print("first frame after navigation: median %.0f ms, worst %.0f ms (target <= %d ms)" %
          (statistics.median(first), max(first), FIRST_FRAME_LIMIT_MS))
    print("frames a second over 5 s: median %.1f, lowest %.1f (target 60)" %
          (statistics.median(rates), min(rates)))
    if statistics.median(first) > FIRST_FRAME_LIMIT_MS:
        missed.append("first frame")
    if not FRAME_RATE_RANGE[0] <= statistics.median(rates) <= FRAME_RATE_RANGE[1]:
        missed.append("frame rate")
    print("targets missed: " + (", ".join(missed) if missed else "none"))
    sys.exit(1 if missed else 0)


main()
