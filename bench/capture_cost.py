#!/usr/bin/env python3
"""What the capture costs an intro that does not capture, program beside program.

For each program given (typically the intro of an older build first, then this build's), run
alternately: `PROGRAM --version` (wall time and peak resident memory, the median of --version-runs
runs), the libraries it needs (`ldd`), and the program running in its window under a private Xvfb
for --seconds with SDL's dummy audio (peak resident memory, VmHWM; the shared libraries it maps
and how many of them are FFmpeg's, libav*/libsw*, from /proc/PID/maps). Medians of --runs runs.

Usage: capture_cost.py PROGRAM [PROGRAM...] [--seconds 8] [--runs 3] [--version-runs 30]
       [--data DIR]
"""
import argparse
import os
import re
import signal
import statistics
import subprocess
import time

FFMPEG = re.compile(r"/lib(av[a-z]+|sw[a-z]+)\.so")


def version_run(program):
    started = time.perf_counter()
    process = subprocess.Popen([program, "--version"], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    took = time.perf_counter() - started
    process.returncode = status
    if status != 0:
        raise SystemExit("%s --version: status %d" % (program, status))
    return took, usage.ru_maxrss / 1024.0


def peak_rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def mapped_libraries(pid):
    with open("/proc/%d/maps" % pid) as f:
        return {line.split()[-1] for line in f if ".so" in line.split()[-1]}


def running(program, display, seconds, data):
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    env.pop("WAYLAND_DISPLAY", None)
    process = subprocess.Popen([program], cwd=data, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        time.sleep(seconds)
        if process.poll() is not None:
            raise SystemExit("%s ended early with status %d" % (program, process.returncode))
        libraries = mapped_libraries(process.pid)
        return peak_rss_mb(process.pid), len(libraries), sum(
            1 for path in libraries if FFMPEG.search(path))
    finally:
        process.send_signal(signal.SIGKILL)
        process.wait()


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        return xvfb, ":" + reader.readline().strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--seconds", type=float, default=8.0)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--version-runs", type=int, default=30)
    parser.add_argument("--data", default=os.path.join(os.path.dirname(
        os.path.abspath(__file__)), "..", "data"))
    args = parser.parse_args()
    programs = [os.path.abspath(p) for p in args.programs]
    versions = {p: [] for p in programs}
    runs = {p: [] for p in programs}
    for _ in range(args.version_runs):
        for program in programs:
            versions[program].append(version_run(program))
    xvfb, display = start_xvfb()
    try:
        for _ in range(args.runs):
            for program in programs:
                runs[program].append(running(program, display, args.seconds, args.data))
    finally:
        xvfb.terminate()
        xvfb.wait()
    print("%-44s %11s %11s %6s %10s %9s %8s" % (
        "program", "--version", "--version", "ldd", "running", "running", "FFmpeg"))
    print("%-44s %11s %11s %6s %10s %9s %8s" % (
        "", "ms", "peak MB", "libs", "peak MB", "mapped", "mapped"))
    for program in programs:
        ldd = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
        print("%-44s %11.1f %11.1f %6d %10.1f %9d %8d" % (
            program[-44:], 1000 * statistics.median(t for t, _ in versions[program]),
            statistics.median(m for _, m in versions[program]),
            sum(1 for line in ldd.splitlines() if ".so" in line),
            statistics.median(r[0] for r in runs[program]),
            statistics.median(r[1] for r in runs[program]), max(r[2] for r in runs[program])))
    print("(medians: --version of %d runs, running of %d runs of %.0f s each, alternating)" % (
        args.version_runs, args.runs, args.seconds))


main()
