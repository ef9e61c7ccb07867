#!/usr/bin/env bash
# Installs the Debian packages that are missing: `setup.sh run` only what building and running the
# intro needs, `setup.sh` (or `setup.sh all`) also everything the tests, tools and package checks
# need.
set -euo pipefail
run_packages=(
  build-essential cmake pkg-config libsdl2-dev libxss1 libopenmpt-dev libkissfft-dev
)
# The capture's module needs FFmpeg's development files to build (the intro itself loads FFmpeg
# only when capturing); `make run` builds it only when they happen to be installed.
test_packages=(
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  clang libclang-rt-14-dev clang-format libgtest-dev libbenchmark-dev libpixman-1-dev
  xvfb xdotool x11-utils x11-xserver-utils openbox wmctrl python3 ffmpeg desktop-file-utils appstream man-db lintian
  manpages  # the package test installs the intro beside Debian's manual pages
  wine wine64  # the Windows build's tests run its programs under Wine
)
packages=("${run_packages[@]}")
[ "${1:-all}" = run ] || packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
