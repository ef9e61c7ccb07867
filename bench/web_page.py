#!/usr/bin/env python3
"""The web page's size and speed against its targets: the site folder gzipped at most 1.2 MB; the
first frame within 0.5 s of the navigation (median of fresh tabs); 60 frames a second under
requestAnimationFrame in headless Chromium, unthrottled and with the processor slowed 2x and 4x
(Chromium's CPU throttling, about a mid-range phone at 4x). Prints a table.

    python3 bench/web_page.py [BUILD_WEB_DIR] [--runs N]

Status 1 when a target is missed, so a script can tell."""
import argparse
import gzip
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from browser import CHROMIUM, chromium  # noqa: E402

GZIPPED_LIMIT = 1_200_000
FIRST_FRAME_LIMIT_MS = 500
FRAME_RATE_LOWEST = 57.0
THROTTLING = (1, 2, 4)


def site_gzipped(site):
    """Bytes of every file under the site folder, and the same gzipped one by one."""
    raw = packed = 0
    for folder, _, names in os.walk(site):
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            raw, packed = raw + len(data), packed + len(gzip.compress(data, 9))
    return raw, packed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build-web")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if CHROMIUM is None:
        sys.exit("web_page: chromium is not installed (scripts/setup.sh installs it)")
    site = os.path.join(args.build, "site")
    raw, packed = site_gzipped(site)
    first, rates = [], {rate: [] for rate in THROTTLING}
    with chromium(site) as browser:
        for _ in range(args.runs):
            page = browser.open()
            if page.wait_for("Module.introFirstFrameMs !== undefined", 60) is None:
                sys.exit("web_page: no first frame within a minute")
            first.append(page.evaluate("Module.introFirstFrameMs"))
            for rate in THROTTLING:
                browser.send("Emulation.setCPUThrottlingRate", page.session, rate=rate)
                rates[rate].append(page.frame_rate(5))
            page.close()
    rows = [("site gzipped (%d bytes raw)" % raw, "%.2f MB" % (packed / 1e6),
             "<= %.1f MB" % (GZIPPED_LIMIT / 1e6), packed <= GZIPPED_LIMIT),
            ("first frame after navigation, median of %d (worst)" % args.runs,
             "%.0f ms (%.0f)" % (statistics.median(first), max(first)),
             "<= %d ms" % FIRST_FRAME_LIMIT_MS, statistics.median(first) <= FIRST_FRAME_LIMIT_MS)]
    for rate in THROTTLING:
        rows.append(("frames a second, CPU %dx, median (lowest) over 5 s" % rate,
                     "%.1f (%.1f)" % (statistics.median(rates[rate]), min(rates[rate])),
                     ">= %.0f" % FRAME_RATE_LOWEST,
                     statistics.median(rates[rate]) >= FRAME_RATE_LOWEST))
    print("| measure | value | target | met |\n|---|---|---|---|")
    for what, value, target, met in rows:
        print("| %s | %s | %s | %s |" % (what, value, target, "yes" if met else "NO"))
    sys.exit(0 if all(met for *_, met in rows) else 1)


main()
