#!/usr/bin/env python3
"""The running intro against the bare cost of showing a picture.

Starts a private Xvfb, then runs, one after the other, the intro (music playing through SDL's
dummy audio driver) and bench's bare_present (a window presenting a streaming 640x480 page at
60 Hz and nothing else). For each it measures, over the same number of seconds of wall time:
processor time per second (user + system, all threads, from /proc), presents per second, peak
resident memory (VmHWM), and the time from process start to the first presented picture (from the
present probe preloaded into both). Prints both side by side, then the intro's threads.

Usage: measure_running.py BUILD_DIR [--seconds S] [--data DIR] [--renderers auto,opengl]
Each renderer in the list is measured in turn for both programs: "auto" leaves the choice to the
programs (both choose alike: SDL's software renderer under Xvfb, where OpenGL would be Mesa's
llvmpipe), any other name is forced through SDL_RENDER_DRIVER (opengl, software, ...).
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def process_cpu_seconds(pid):
    # utime and stime cover every thread of the process, ended ones included.
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def thread_cpu_ns(pid):
    """{tid: (name, nanoseconds on a processor)} from each thread's schedstat."""
    threads = {}
    task_dir = f"/proc/{pid}/task"
    for tid in os.listdir(task_dir):
        try:
            with open(f"{task_dir}/{tid}/comm") as f:
                name = f.read().strip()
            with open(f"{task_dir}/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
        except OSError:
            continue
        threads[tid] = (name, ns)
    return threads


def peak_rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def read_probe(path):
    values = {}
    try:
        with open(path) as f:
            for line in f:
                key, _, value = line.partition(" ")
                values[key] = int(value)
    except (OSError, ValueError):
        pass
    return values


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def measure(name, command, cwd, env, seconds, ready_key, xvfb_pid):
    probe_file = tempfile.NamedTemporaryFile(prefix="present_probe_", delete=False).name
    env = dict(env, PRESENT_PROBE_FILE=probe_file)
    log = tempfile.TemporaryFile()
    start_ns = time.monotonic_ns()
    proc = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=log)
    result = {"name": name}
    try:
        deadline = time.monotonic() + 10
        while read_probe(probe_file).get(ready_key, 0) == 0:
            if proc.poll() is not None:
                log.seek(0)
                raise RuntimeError(f"{name} ended before its first picture: "
                                   + log.read().decode(errors="replace")[-400:])
            if time.monotonic() > deadline:
                raise RuntimeError(f"{name} showed no picture within 10 s")
            time.sleep(0.005)
        time.sleep(1.0)  # past start-up: the steady state is what is compared
        probe0, cpu0, xcpu0 = read_probe(probe_file), process_cpu_seconds(proc.pid), \
            process_cpu_seconds(xvfb_pid)
        threads0, wall0 = thread_cpu_ns(proc.pid), time.monotonic()
        time.sleep(seconds)
        probe1, cpu1, xcpu1 = read_probe(probe_file), process_cpu_seconds(proc.pid), \
            process_cpu_seconds(xvfb_pid)
        threads1, wall1 = thread_cpu_ns(proc.pid), time.monotonic()
        wall = wall1 - wall0
        result["cpu_share"] = (cpu1 - cpu0) / wall
        result["xvfb_share"] = (xcpu1 - xcpu0) / wall
        result["fps"] = (probe1.get("presents", 0) - probe0.get("presents", 0)) / wall
        result["rss_mb"] = peak_rss_mb(proc.pid)
        result["wall"] = wall
        for key in ("first_present_ns", "first_content_ns", "first_colour_ns"):
            t = probe1.get(key, 0)
            result[key] = (t - start_ns) / 1e6 if t else float("nan")
        # The main thread's id is the process id.
        result["threads"] = sorted(
            ((threads1[tid][0] + (" (main)" if tid == str(proc.pid) else ""), tid,
              (threads1[tid][1] - threads0.get(tid, ("", 0))[1]) / 1e9 / wall)
             for tid in threads1), key=lambda t: -t[2])
        log.seek(0)
        result["said"] = [line for line in log.read().decode(errors="replace").splitlines()
                          if "renderer" in line]
    finally:
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)  # the intro fades out and ends
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        os.unlink(probe_file)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--seconds", type=float, default=25.0)
    parser.add_argument("--data", default=os.path.join(os.path.dirname(__file__), "..", "data"))
    parser.add_argument("--renderers", default="auto",
                        help="comma-separated: auto (the programs' own choice) or an SDL render "
                        "driver name")
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    data = os.path.abspath(args.data)
    probe = os.path.join(build, "present_probe.so")
    for path in (probe, os.path.join(build, "intro"), os.path.join(build, "bare_present")):
        if not os.path.exists(path):
            sys.exit(f"measure_running: {path} is missing; build the intro and the benchmarks first")

    xvfb, display = start_xvfb()
    try:
        for renderer in args.renderers.split(","):
            env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", LD_PRELOAD=probe)
            if renderer != "auto":
                env["SDL_RENDER_DRIVER"] = renderer
            intro = measure("intro", [os.path.join(build, "intro")], data, env, args.seconds,
                            "first_colour_ns", xvfb.pid)
            bare = measure("bare_present", [os.path.join(build, "bare_present")], data, env,
                           args.seconds, "first_content_ns", xvfb.pid)
            print_comparison(renderer, display, intro, bare)
    finally:
        xvfb.terminate()
        xvfb.wait()


def print_comparison(renderer, display, intro, bare):
    print(f"Renderer {renderer}: under Xvfb {display}, SDL dummy audio, {intro['wall']:.1f} s each "
          f"(CPU = user + system of all threads per second of wall time)")
    print(f"{'':34}{'intro':>12}{'bare_present':>14}{'ratio':>9}")
    print(f"{'CPU share of one core':34}{intro['cpu_share'] * 100:11.2f}%"
          f"{bare['cpu_share'] * 100:13.2f}%{intro['cpu_share'] / bare['cpu_share']:9.2f}")
    print(f"{'presents per second':34}{intro['fps']:12.1f}{bare['fps']:14.1f}")
    print(f"{'Xvfb CPU share meanwhile':34}{intro['xvfb_share'] * 100:11.2f}%"
          f"{bare['xvfb_share'] * 100:13.2f}%")
    print(f"{'peak resident memory (MB)':34}{intro['rss_mb']:12.1f}{bare['rss_mb']:14.1f}")
    print(f"{'start to first present (ms)':34}{intro['first_present_ns']:12.1f}"
          f"{bare['first_present_ns']:14.1f}")
    print(f"{'start to first non-black (ms)':34}{intro['first_content_ns']:12.1f}"
          f"{bare['first_content_ns']:14.1f}")
    print(f"{'start to first intro frame (ms)':34}{intro['first_colour_ns']:12.1f}")
    for line in bare["said"]:
        print(line)
    for result in (intro, bare):
        print(f"{result['name']} threads (share of one core, from schedstat):")
        for name, tid, share in result["threads"]:
            if share >= 0.0005:
                print(f"  {name:24} {tid:>8} {share * 100:7.2f}%")
    print()

if __name__ == "__main__":
    main()
