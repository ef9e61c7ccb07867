#!/usr/bin/env python3
"""The running intro against the bare cost of showing a picture.

Starts a private Xvfb, then runs, one after the other, the intro (music playing through SDL's
dummy audio driver) and bench's bare_present (a window showing a changing 640x480 page at 60 Hz
and nothing else, on the intro's route to the screen). For each it measures, over the same number of seconds of wall time:
processor time per second (user + system, all threads, from /proc), presents per second, peak
resident memory (VmHWM), and the time from process start to the first presented picture (from the
present probe preloaded into both). Prints both side by side, then the intro's threads.

Usage: measure_running.py BUILD_DIR [--seconds S] [--runs N] [--data DIR] [--renderers auto,opengl]
The two programs run alternately, N times each (3 by default), and the medians are shown: on a
shared machine one run of either can be a fifth off.
Each renderer in the list is measured in turn for both programs: "auto" leaves the choice to the
programs (under Xvfb, where OpenGL would be Mesa's llvmpipe, both copy their page into the
window's own surface, with SDL's framebuffer acceleration off), any other name is forced on both through
SDL_RENDER_DRIVER (opengl, software, ...). The intro's window thread (named "window") is also
shown alone: its CPU share and its wake-ups per second (voluntary context switches).
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
    """{tid: (name, nanoseconds on a processor, wake-ups)} from each thread's schedstat and its
    voluntary context switches (each one a sleep that a wake-up ended)."""
    threads = {}
    task_dir = f"/proc/{pid}/task"
    for tid in os.listdir(task_dir):
        try:
            with open(f"{task_dir}/{tid}/comm") as f:
                name = f.read().strip()
            with open(f"{task_dir}/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
            with open(f"{task_dir}/{tid}/status") as f:
                wakes = next(int(line.split()[1]) for line in f
                             if line.startswith("voluntary_ctxt_switches:"))
        except (OSError, StopIteration):
            continue
        threads[tid] = (name, ns, wakes)
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
              (threads1[tid][1] - threads0.get(tid, ("", 0, 0))[1]) / 1e9 / wall,
              (threads1[tid][2] - threads0.get(tid, ("", 0, 0))[2]) / wall)
             for tid in threads1), key=lambda t: -t[2])
        # The intro names its window thread "window".
        window = [t for t in result["threads"] if t[0] == "window"]
        result["window_share"] = window[0][2] if window else float("nan")
        result["window_wakes"] = window[0][3] if window else float("nan")
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
    parser.add_argument("--runs", type=int, default=3,
                        help="alternating runs of each program per renderer; medians are shown")
    parser.add_argument("--data", default=os.path.join(os.path.dirname(__file__), "..", "data"))
    parser.add_argument("--renderers", default="auto",
                        help="comma-separated: auto (the programs' own choice) or an SDL render "
                        "driver name")
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    data = os.path.abspath(args.data)
    probe = os.path.join(build, "present_probe.so")
    intro = os.path.join(build, "cubescroll")  # the intro's command, INTRO_COMMAND in CMakeLists.txt
    for path in (probe, intro, os.path.join(build, "bare_present")):
        if not os.path.exists(path):
            sys.exit(f"measure_running: {path} is missing; build the intro and the benchmarks first")

    xvfb, display = start_xvfb()
    try:
        for renderer in args.renderers.split(","):
            env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", LD_PRELOAD=probe)
            if renderer != "auto":
                env["SDL_RENDER_DRIVER"] = renderer
            intros, bares = [], []
            # Alternating, so that a slow spell of a shared machine falls on both programs.
            for _ in range(max(1, args.runs)):
                intros.append(measure("intro", [intro], data, env,
                                      args.seconds, "first_colour_ns", xvfb.pid))
                bares.append(measure("bare_present", [os.path.join(build, "bare_present")], data,
                                     env, args.seconds, "first_content_ns", xvfb.pid))
            print_comparison(renderer, display, intros, bares)
    finally:
        xvfb.terminate()
        xvfb.wait()


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def print_comparison(renderer, display, intros, bares):
    print(f"Renderer {renderer}: under Xvfb {display}, SDL dummy audio, {len(intros)} alternating "
          f"runs of {intros[0]['wall']:.1f} s each; medians (CPU = user + system of all threads "
          f"per second of wall time)")
    print(f"{'':34}{'intro':>12}{'bare_present':>14}{'ratio':>9}")

    def row(label, key, scale=1.0, unit="", ratio=False, pick=median):
        a = pick(r[key] for r in intros) * scale
        b = pick(r[key] for r in bares) * scale
        text = f"{label:34}{a:11.2f}{unit or ' '}{b:13.2f}{unit or ' '}"
        print(text + (f"{a / b:9.2f}" if ratio else ""))

    row("CPU share of one core", "cpu_share", 100, "%", ratio=True)
    ratios = ", ".join(f"{i['cpu_share'] / b['cpu_share']:.2f}" for i, b in zip(intros, bares))
    print(f"{'  ratio of each run pair':34}{ratios}")
    row("presents per second", "fps")
    row("Xvfb CPU share meanwhile", "xvfb_share", 100, "%")
    row("peak resident memory (MB), max", "rss_mb", pick=max)
    row("start to first present (ms)", "first_present_ns")
    row("start to first non-black (ms)", "first_content_ns")
    for label, key, scale in (("intro window thread CPU share", "window_share", 100),
                              ("intro window thread wake-ups/s", "window_wakes", 1)):
        values = ", ".join(f"{r[key] * scale:.2f}" for r in intros)
        print(f"{label:34}{median(r[key] for r in intros) * scale:11.2f}   (runs: {values})")
    firsts = ", ".join(f"{r['first_colour_ns']:.1f}" for r in intros)
    print(f"{'start to first intro frame (ms)':34}{median(r['first_colour_ns'] for r in intros):12.1f}"
          f"   (runs: {firsts})")
    for line in bares[0]["said"]:
        print(line)
    for result in (intros[-1], bares[-1]):
        print(f"{result['name']} threads, last run (share of one core from schedstat, "
              f"wake-ups per second):")
        for name, tid, share, wakes in result["threads"]:
            if share >= 0.0005:
                print(f"  {name:24} {tid:>8} {share * 100:7.2f}% {wakes:9.1f}/s")
    print()


if __name__ == "__main__":
    main()
