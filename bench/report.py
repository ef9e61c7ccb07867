#!/usr/bin/env python3
"""Lines up the benchmark results: each kernel beside pixman and memset/memcpy, and the frame.

Usage: report.py KERNELS_JSON FRAME_JSON
Both files are Google Benchmark JSON output (--benchmark_out). Times are processor time of the
benchmark thread (median of the repetitions where there are several), which a shared machine
disturbs less than wall time; wall time is printed beside it.
"""
import json
import sys

# case: (title, memory-limit implementation, pixman implementations)
CASES = {
    "fade_box": ("640x480 blended box, alpha 128 (fade)", "memset",
                 ["pixman_fill", "pixman_composite"]),
    "clear": ("640x480 clear, opaque black", "memset", ["pixman_fill"]),
    "bars": ("16 raster bars, 640-pixel blended lines", "memset", ["pixman_fill"]),
    "header": ("128 header strips of 512 pixels, alpha blit", "memcpy", ["pixman_composite"]),
    "copy": ("640x480 page copy", "memcpy", ["pixman_blt", "pixman_composite"]),
}


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        name = b.get("run_name", b["name"]).split("/iterations:")[0].split("/repeats:")[0]
        aggregate = b.get("aggregate_name")
        if aggregate not in (None, "median"):
            continue
        if aggregate is None and name in runs and runs[name].get("aggregate_name") == "median":
            continue
        runs[name] = b
    return data.get("context", {}), runs


def micros(b, key):
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b.get("time_unit", "ns")]
    return b[key] * scale


def kernel_table(runs):
    print("Kernels (processor time in microseconds; ratio = fast / other; wall time in brackets)")
    header = (f"{'case':46}{'fast':>16}{'pixman':>16}{'mem':>16}"
              f"{'fast/pixman':>13}{'fast/mem':>10}  best pixman, levels")
    print(header)
    for case, (title, mem_impl, pixman_impls) in CASES.items():
        fast = runs.get(f"{case}/fast")
        mem = runs.get(f"{case}/{mem_impl}")
        pixmans = [runs[f"{case}/{p}"] for p in pixman_impls if f"{case}/{p}" in runs]
        if not fast or not mem or not pixmans:
            print(f"{title:46} (missing results)")
            continue
        best = min(pixmans, key=lambda b: micros(b, "cpu_time"))
        best_name = best.get("run_name", best["name"]).split("/")[1]
        levels = ", ".join(
            f"{level} {micros(runs[f'{case}/{level}'], 'cpu_time'):.1f}"
            for level in ("scalar", "sse2", "avx2", "avx512", "one_span")
            if f"{case}/{level}" in runs)

        def cell(b):
            return f"{micros(b, 'cpu_time'):7.1f} ({micros(b, 'real_time'):5.1f})"

        print(f"{title:46}{cell(fast):>16}{cell(best):>16}{cell(mem):>16}"
              f"{micros(fast, 'cpu_time') / micros(best, 'cpu_time'):13.2f}"
              f"{micros(fast, 'cpu_time') / micros(mem, 'cpu_time'):10.2f}"
              f"  {best_name} ({mem_impl}); {levels}")


def frame_table(runs):
    print()
    print("Whole frames on the window-less back end (microseconds per frame)")
    memcpy = runs.get("frame/memcpy_5MiB")
    memcpy_us = micros(memcpy, "cpu_time") if memcpy else float("nan")
    print(f"{'':40}{'frames':>8}{'median':>10}{'p90':>10}{'cpu median':>12}{'/ memcpy 5 MiB':>16}")
    for name, title in (("frame/no_fade", "all effects, no fade"),
                        ("frame/fade", "fade frames"),
                        ("frame/no_fade_scalar_kernels", "all effects, scalar kernels")):
        b = next((v for k, v in runs.items() if k.startswith(name + "/") or k == name), None)
        if b is None:
            continue
        print(f"{title:40}{b['frames']:8.0f}{b['median_us']:10.1f}{b['p90_us']:10.1f}"
              f"{b['cpu_median_us']:12.1f}{b['median_us'] / memcpy_us:16.2f}")
    print(f"{'memcpy of 5 MiB (processor time)':40}{'':8}{memcpy_us:10.1f}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    context, kernels = load(sys.argv[1])
    _, frames = load(sys.argv[2])
    print(f"{context.get('host_name', '')}: {context.get('num_cpus', '?')} CPUs at "
          f"{context.get('mhz_per_cpu', '?')} MHz, load average "
          f"{', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}")
    kernel_table(kernels)
    frame_table(frames)


if __name__ == "__main__":
    main()
