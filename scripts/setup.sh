#!/usr/bin/env bash
# Installs the Debian packages that are missing: `setup.sh run` only what building and running the
# intro needs, `setup.sh` (or `setup.sh all`) also everything the tests, tools and package checks
# need, the Windows and web builds included, and makes sure apt can fetch Debian's source packages
# (which the cross builds' libraries are built from).
#
# `run` leaves apt alone when nothing is missing, and otherwise installs from the package lists as
# they are: it updates them only when that cannot install what is missing, and never adds a source.
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
# The Windows build: Debian's mingw-w64 (posix threads, for std::thread), Wine to run its tests,
# and what scripts/cross_deps.sh needs to fetch Debian's sources of the libraries and build them.
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64 dpkg-dev zip ninja-build
)
# The web build: Debian's emscripten (it runs on node, which it depends on), and the headless
# browser its page is checked in.
web_packages=(
  emscripten nodejs chromium
)
packages=("${run_packages[@]}")
mode=${1:-all}
case "$mode" in
  run) ;;
  all) packages+=("${test_packages[@]}" "${windows_packages[@]}" "${web_packages[@]}") ;;
  *)
    echo "usage: $0 [run|all]" >&2
    exit 2
    ;;
esac
# One dpkg-query for all of them: a call per package made the no-op run slow.
# dpkg-query fails when any of them is unknown to dpkg; the ones it knows are still listed.
installed=" $( (dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true) |
  awk '/ install ok installed$/ { sub(/:.*/, "", $1); printf "%s ", $1 }')"
missing=()
for p in "${packages[@]}"; do
  [[ $installed == *" $p "* ]] || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

install_missing() {
  echo "setup: installing ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

if [ "$mode" = run ]; then
  [ ${#missing[@]} -eq 0 ] && exit 0
  # Lists that were never fetched, or have gone stale since, cannot install them: only then update.
  if $sudo apt-get install -s -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 &&
    install_missing; then
    exit 0
  fi
  echo "setup: updating apt's package lists to install ${missing[*]}"
  $sudo apt-get update -qq
  install_missing
  exit 0
fi

# `apt-get source` needs a deb-src entry for the archive the binary packages come from. Without
# one, add it beside the deb entries, with the same URIs, suites, components and key. The check
# reads only the few source files, so a machine with nothing missing still returns at once.
sources_dir=/etc/apt/sources.list.d
own_sources=$sources_dir/cubescroll-deb-src.sources
apt_files=()
for f in /etc/apt/sources.list "$sources_dir"/*.list "$sources_dir"/*.sources; do
  [ -f "$f" ] && apt_files+=("$f")
done
# The entries as "type|URIs|suites|components|signed-by", one per line and type, from both formats.
apt_entries() {
  awk '
    function flush(  n, t, i) {
      n = split(types, t, " ")
      for (i = 1; i <= n; i++) if (uris != "") print t[i] "|" uris "|" suites "|" comps "|" key
      types = ""; uris = ""; suites = ""; comps = ""; key = ""
    }
    FNR == 1 { flush() }
    FILENAME ~ /\.sources$/ {
      if ($0 ~ /^[ \t]*$/) { flush(); next }
      if ($0 ~ /^[ \t]*#/) next
      field = tolower($1); sub(/:$/, "", field); $1 = ""; sub(/^ +/, "")
      if (field == "types") types = $0
      else if (field == "uris") uris = $0
      else if (field == "suites") suites = $0
      else if (field == "components") comps = $0
      else if (field == "signed-by") key = $0
      else if (field == "enabled" && tolower($0) == "no") uris = ""
      next
    }
    $1 == "deb" || $1 == "deb-src" {
      k = ""; i = 2
      if ($2 ~ /^\[/) {
        for (; i <= NF; i++) {
          opt = $i; gsub(/[][]/, "", opt)
          if (opt ~ /^signed-by=/) { k = opt; sub(/^signed-by=/, "", k) }
          if ($i ~ /\]$/) { i++; break }
        }
      }
      c = ""
      for (j = i + 2; j <= NF; j++) c = c (c == "" ? "" : " ") $j
      print $1 "|" $i "|" $(i + 1) "|" c "|" k
    }
    END { flush() }
  ' "$@"
}
# Debian's own archives (the main one and its security archive), not third-party repositories.
debian_entries() {
  apt_entries "${apt_files[@]}" | awk -F'|' -v type="$1" '$1 == type && $2 ~ /\/debian(-security)?\/?( |$)/'
}
need_update=false
if [ ! -f "$own_sources" ] && [ -z "$(debian_entries deb-src)" ] && [ -n "$(debian_entries deb)" ]; then
  echo "setup: adding $own_sources so that apt-get source finds Debian's sources"
  stanzas=$(debian_entries deb | while IFS='|' read -r _ uris suites comps key; do
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n' "$uris" "$suites" "$comps"
    [ -z "$key" ] || printf 'Signed-By: %s\n' "$key"
    printf '\n'
  done)
  printf '%s\n' "$stanzas" | $sudo tee "$own_sources.tmp" >/dev/null
  $sudo mv "$own_sources.tmp" "$own_sources"
  need_update=true
fi
# An entry whose lists were never fetched (or were cleaned away) still needs an update.
compgen -G '/var/lib/apt/lists/*_Sources*' >/dev/null || need_update=true

[ ${#missing[@]} -eq 0 ] && ! $need_update && exit 0
$sudo apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
install_missing
