#!/usr/bin/env bash
# Bounded fuzzing run of the BMP loader; fails on any crash, sanitizer report or leak.
set -euo pipefail
echo "run_fuzz: no fuzz targets yet"
