#!/usr/bin/env bash
# Installs the Debian packages the build, the intro and the tests need; only what is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev clang-format
  libsdl2-dev libopenmpt-dev libkissfft-dev libgtest-dev libbenchmark-dev libpixman-1-dev
  xvfb xdotool x11-utils x11-xserver-utils openbox wmctrl python3
)
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
