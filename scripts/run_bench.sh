#!/usr/bin/env bash
# Runs every benchmark against the given build directory and prints the figures side by side:
# the pixel kernels beside pixman and memset/memcpy, whole frames on the window-less back end,
# then the running intro beside a bare SDL2 presenting program under Xvfb, then the capture to a
# video file beside the ffmpeg program encoding the same frames.
# Usage: scripts/run_bench.sh BUILD_DIR [seconds of each running measurement, default 20]
# INTRO_BEFORE=PROGRAM puts another build's intro beside this one in the capture's cost.
set -euo pipefail
build=$(cd "${1:?usage: scripts/run_bench.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# cubescroll is the intro (INTRO_COMMAND in CMakeLists.txt).
for program in kernels_bench frame_bench handoff_bench cubescroll bare_present present_probe.so; do
  if [ ! -e "$build/$program" ]; then
    echo "run_bench: $build/$program is missing (build with INTRO_BENCH=ON and libbenchmark-dev)" >&2
    exit 1
  fi
done

# From data/, so that both load the intro's own header picture.
cd "$root/data"
echo "== kernels_bench" >&2
"$build/kernels_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.2 --benchmark_out="$out/kernels.json" --benchmark_out_format=json \
  >/dev/null
echo "== frame_bench" >&2
"$build/frame_bench" --benchmark_out="$out/frame.json" --benchmark_out_format=json >/dev/null
python3 "$root/bench/report.py" "$out/kernels.json" "$out/frame.json"
echo
echo "== handoff_bench" >&2
"$build/handoff_bench" 2>/dev/null | grep -E '^(Benchmark|BM_)'
echo
echo "== running intro against bare_present (3 alternating runs of ${seconds} s each)" >&2
python3 "$root/bench/measure_running.py" "$build" --seconds "$seconds" --data "$root/data" \
  --renderers auto --runs 3
echo "== the same with OpenGL forced on both (one run each)" >&2
python3 "$root/bench/measure_running.py" "$build" --seconds "$seconds" --data "$root/data" \
  --renderers opengl --runs 1
echo "== what the capture costs the live intro${INTRO_BEFORE:+ (beside $INTRO_BEFORE)}" >&2
python3 "$root/bench/capture_cost.py" ${INTRO_BEFORE:+"$INTRO_BEFORE"} "$build/intro" \
  --data "$root/data"
echo "== capture beside the ffmpeg program (3 alternating rounds per container)" >&2
python3 "$root/bench/capture_bench.py" "$build" --seconds 15 --runs 3
