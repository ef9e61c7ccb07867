#!/usr/bin/env bash
# Bounded fuzzing run of the BMP loader; fails on any crash, sanitizer report or leak.
# FUZZ_SECONDS sets the time (default 30, on every core: a minute of fuzzing on two), FUZZ_BUILD
# the build directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
jobs=$(nproc)
mkdir -p "$out/corpus" "$out/seeds"

flags=(-std=c++20 -O1 -g -Wall -Wextra -Werror -ffp-contract=off -I"$root/src" -I"$root/tests")
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/fuzz/bmp_fuzz.cpp" "$root/src/gfx/bmp_decode.cpp" -o "$out/bmp_fuzz"
clang++ "${flags[@]}" "$root/fuzz/make_seeds.cpp" -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"

# New inputs go to corpus/, which later runs reuse; the seeds are only read.
"$out/bmp_fuzz" -fork="$jobs" -max_total_time="$seconds" -timeout=10 -max_len=16384 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" "$out/seeds"
echo "run_fuzz: no findings in ${seconds} s on $jobs cores"
