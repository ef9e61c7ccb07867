#!/usr/bin/env bash
# Builds the libraries the intro links (SDL2, libopenmpt, kissfft) and its test framework
# (GoogleTest) for another platform, from Debian's own source packages, as static libraries in a
# prefix of their own: `cross_deps.sh win64` (mingw-w64) or `cross_deps.sh web` (emscripten). The prefix lives in a cache outside the build tree,
# named after the target and a hash of the pinned versions, this script, the toolchain file and
# the compiler's packages, so a second run finds it at once. Its path is the last line on stdout:
#   PREFIX=$(scripts/cross_deps.sh win64 | tail -1)
# Progress goes to stderr; the full build log is kept in the cache and shown when a build fails.
# Environment: INTRO_DEPS_CACHE (the cache folder), JOBS (parallel jobs, default: all cores).
set -euo pipefail

usage() {
  echo "usage: $0 win64|web" >&2
  exit 2
}
[ $# -eq 1 ] || usage
target=$1
root=$(cd "$(dirname "$0")/.." && pwd)

# The Debian source packages, pinned: source package=Debian version.
sources=(
  libsdl2=2.26.5+dfsg-1
  libopenmpt=0.6.9-1
  kissfft=131.1.0-4.1~deb12u1
  googletest=1.12.1-0.2
)

# What a target decides: how CMake projects and autotools projects are configured for it, a
# command that wraps configuring and building (none here; an SDK's own wrapper elsewhere), and
# which installed packages make up its compiler (their versions go into the cache key). A new
# target is a new case setting the same variables.
case "$target" in
  win64)
    wrapper=()
    toolchain=$root/cmake/toolchains/x86_64-w64-mingw32.cmake
    cmake_target_args=(--toolchain "$toolchain")
    host_triple=x86_64-w64-mingw32
    configure_env=("CC=$host_triple-gcc-posix" "CXX=$host_triple-g++-posix" "AR=$host_triple-gcc-ar-posix"
      "RANLIB=$host_triple-gcc-ranlib-posix" "STRIP=$host_triple-strip")
    configure_args=("--host=$host_triple")
    # Plain -O2 like Debian's own build, nothing that would change float results.
    configure_flags=-O2
    sdl_args=()
    gtest_args=()
    compiler_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
      binutils-mingw-w64-x86-64)
    key_files=("$toolchain")
    ;;
  web)
    # emcc runs its JavaScript half on node, which finds Debian's acorn only through NODE_PATH.
    # emscripten's own cache (its prebuilt system libraries) stays the package's default one.
    export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
    # Each emcc call starts Python: Debian's own, not whatever python3 a version manager puts
    # first on the PATH (a shim there costs over half a second a call, and configuring SDL makes
    # hundreds).
    export EMSDK_PYTHON=${EMSDK_PYTHON:-/usr/bin/python3}
    wrapper=()
    toolchain=$root/cmake/toolchains/emscripten.cmake
    cmake_target_args=(--toolchain "$toolchain")
    configure_env=(CC=emcc CXX=em++ AR=emar RANLIB=emranlib NM=emnm STRIP=true)
    # config.sub knows no emscripten triple; a wasm32 Linux one configures a plain POSIX build.
    configure_args=(--host=wasm32-unknown-linux)
    # Exceptions on: emscripten's default turns a throw into an abort, and libopenmpt reports a
    # module it cannot read by throwing. USE_SDL=0 keeps emscripten's SDL 1 headers off the path.
    configure_flags="-O2 -fexceptions -sUSE_SDL=0"
    # No threads in the browser build: SDL's and GoogleTest's own thread use is left out.
    sdl_args=(-DSDL_PTHREADS=OFF -DSDL_THREADS=OFF)
    gtest_args=(-Dgtest_disable_pthreads=ON)
    compiler_packages=(emscripten clang-14 lld-14 llvm-14 binaryen nodejs)
    key_files=("$toolchain")
    ;;
  *) usage ;;
esac

cache=${INTRO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/cubescroll-deps}
compiler_versions=$(dpkg-query -W -f='${Package}=${Version}\n' "${compiler_packages[@]}")
key=$({
  printf '%s\n' "$target" "${sources[@]}" "$compiler_versions"
  cat "$0" "${key_files[@]}"
} | sha256sum | cut -c1-12)
prefix=$cache/$target-$key
if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi

say() { echo "cross_deps: $*" >&2; }
mkdir -p "$cache/sources" "$cache/logs"
# One build at a time in this cache: a second run waits, then finds the first one's prefix. Scratch
# folders found while holding the lock were left by a run that was killed: remove them.
exec 9>"$cache/.lock"
flock 9
if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi
rm -rf "$cache"/.build-*

# Everything is built in a scratch folder beside the cache and installed with DESTDIR under it;
# the finished prefix is renamed into place only once every library is in, so an interrupted or
# failed build leaves no prefix behind. The .pc files and sdl2-config name the final path.
work=$(mktemp -d "$cache/.build-$target-$key.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
stage=$work/stage
log=$cache/logs/$target-$key.log
: >"$log"
jobs=${JOBS:-$(nproc)}

step() {
  say "$1"
  shift
  echo "+ $*" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    say "failed: $*"
    tail -n 60 "$log" >&2
    say "full log: $log"
    exit 1
  fi
}

# Downloads (once, kept in the cache) and unpacks a pinned source package, Debian's patches
# applied, into $work/src/NAME.
unpack() {
  local name=$1 pin
  for pin in "${sources[@]}"; do
    [ "${pin%%=*}" = "$name" ] || continue
    local dsc=$cache/sources/${name}_${pin#*=}.dsc
    # As root apt hands downloads to its _apt user, who cannot write into a home folder's cache.
    # shellcheck disable=SC2016
    [ -f "$dsc" ] || step "fetching $pin" bash -c 'cd "$1" && apt-get source --download-only -q \
      -o APT::Sandbox::User=root "$2"' _ "$cache/sources" "$pin"
    mkdir -p "$work/src"
    step "unpacking $pin" dpkg-source --no-check -x "$dsc" "$work/src/$name"
    return
  done
  say "no pinned version of $name"
  exit 1
}

# Release builds without debug information: the libraries go into a shipped executable.
cmake_build() {
  local name=$1
  shift
  step "configuring $name" "${wrapper[@]}" cmake -S "$work/src/$name" -B "$work/build/$name" -G Ninja "${cmake_target_args[@]}" \
    -DINTRO_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_BINDIR=bin -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
    -DBUILD_SHARED_LIBS=OFF "$@"
  step "building $name" cmake --build "$work/build/$name" -j "$jobs"
  step "installing $name" env DESTDIR="$stage" cmake --install "$work/build/$name"
}

licence() {
  local name=$1
  shift
  mkdir -p "$stage$prefix/share/licenses/$name"
  cp -r "$@" "$stage$prefix/share/licenses/$name/"
}

say "building $target libraries into $prefix (log: $log)"

unpack libsdl2
# Static only; the default Windows drivers stay (DirectSound, WASAPI and winmm audio, the windows
# video driver, the Direct3D 9/11 and OpenGL renderers). The intro uses only the video, events,
# keyboard and audio: SDL's game-input, power, locale and URL code is left out.
cmake_build libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF \
  -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF "${sdl_args[@]}"
licence SDL2 "$work/src/libsdl2/LICENSE.txt" "$work/src/libsdl2/debian/copyright"

unpack libopenmpt
# Only the library: no optional codecs or audio outputs, no player, examples, tests or docs.
mkdir -p "$work/build/libopenmpt"
# shellcheck disable=SC2016
step "configuring libopenmpt" bash -c 'cd "$1" && shift && "$@"' _ "$work/build/libopenmpt" \
  "${wrapper[@]}" env "${configure_env[@]}" CFLAGS="$configure_flags" CXXFLAGS="$configure_flags" PKG_CONFIG_LIBDIR="$work/no-pkgconfig" PKG_CONFIG_PATH= \
  "$work/src/libopenmpt/configure" "${configure_args[@]}" --prefix="$prefix" --libdir="$prefix/lib" \
  --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests \
  --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
  --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp \
  --without-sdl2 --without-sndfile --without-flac
step "building libopenmpt" "${wrapper[@]}" make -C "$work/build/libopenmpt" -j "$jobs"
step "installing libopenmpt" make -C "$work/build/libopenmpt" install DESTDIR="$stage"
# The libtool archive names the build folder's paths and nothing here uses it; the README and
# example sources installed as documentation are not needed either.
rm -rf "$stage$prefix"/lib/*.la "$stage$prefix/share/doc/libopenmpt"
licence libopenmpt "$work/src/libopenmpt/LICENSE" "$work/src/libopenmpt/debian/copyright"

unpack kissfft
# The float build under Debian's name, libkissfft-float, its headers in include/kissfft.
cmake_build kissfft -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=ON -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF \
  -DKISSFFT_OPENMP=OFF -DKISSFFT_PKGCONFIG=ON
licence kissfft "$work/src/kissfft/COPYING" "$work/src/kissfft/LICENSES" "$work/src/kissfft/debian/copyright"

unpack googletest
cmake_build googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON "${gtest_args[@]}"

# The runtime that -static links into the executable: mingw-w64's CRT and winpthreads (Debian's
# copyright file of the mingw-w64 headers and libraries, whole, and its winpthreads paragraphs with
# the licences they name), and GCC's libgcc and libstdc++: GPL 3 with the GCC Runtime Library
# Exception, whose text Debian's copyright file of the mingw-w64 GCC carries.
case "$target" in
  win64)
    mingw_copyright=/usr/share/doc/mingw-w64-x86-64-dev/copyright
    gcc_copyright=/usr/share/doc/gcc-mingw-w64-base/copyright
    licence mingw-w64 "$mingw_copyright"
    mkdir -p "$stage$prefix/share/licenses/winpthreads"
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
      (/^Files:[^\n]*winpthreads/ && !/tests_pthread/) || /^License: (expat|BSD-3-clause|public-domain)\n/' \
      "$mingw_copyright" >"$stage$prefix/share/licenses/winpthreads/copyright"
    licence gcc-runtime "$gcc_copyright" /usr/share/common-licenses/GPL-3
    sed -n '/^GCC RUNTIME LIBRARY EXCEPTION$/,/^requirements of the license of GCC\.$/p' "$gcc_copyright" \
      >"$stage$prefix/share/licenses/gcc-runtime/RUNTIME-LIBRARY-EXCEPTION"
    ;;
esac

# The prefix holds static libraries only, so what a .pc file lists as private to a shared build
# (libopenmpt's -lole32 -lrpcrt4) is always needed: fold it into Libs and Requires, and a plain
# `pkg-config --libs` or CMake's pkg_check_modules(... IMPORTED_TARGET ...) links completely.
for pc in "$stage$prefix"/lib/pkgconfig/*.pc; do
  awk '
    /^Libs\.private:/ { sub(/^Libs\.private:/, ""); libs_private = libs_private " " $0; next }
    /^Requires\.private:/ { sub(/^Requires\.private:/, ""); req_private = req_private " " $0; next }
    { line[++n] = $0 }
    END {
      gsub(/^ +| +$/, "", libs_private); gsub(/^ +| +$/, "", req_private)
      for (i = 1; i <= n; i++) {
        if (line[i] ~ /^Libs:/ && libs_private != "") line[i] = line[i] " " libs_private
        if (line[i] ~ /^Requires:/ && req_private != "") {
          line[i] = line[i] (line[i] ~ /^Requires: *$/ ? "" : ",") " " req_private
          req_private = ""
        }
        print line[i]
      }
      if (req_private != "") print "Requires: " req_private
    }' "$pc" >"$pc.static"
  mv "$pc.static" "$pc"
done

cp "$log" "$stage$prefix/share/cross_deps.log"
mv "$stage$prefix" "$prefix"
say "done: $prefix"
echo "$prefix"
