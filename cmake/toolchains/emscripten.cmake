# Build for the web with Debian's emscripten: its own CMake platform file, then the libraries from
# INTRO_DEPS_PREFIX only (the prefix that scripts/cross_deps.sh web prints).
#   cmake -S . -B build-web --toolchain cmake/toolchains/emscripten.cmake \
#         -DINTRO_DEPS_PREFIX="$(scripts/cross_deps.sh web | tail -1)"
set(INTRO_EMSCRIPTEN_ROOT "$ENV{EMSCRIPTEN}")
if(NOT INTRO_EMSCRIPTEN_ROOT)
  set(INTRO_EMSCRIPTEN_ROOT /usr/share/emscripten)
endif()
# Node runs the compiled tests; emscripten 3.1.6's loader predates node's own fetch(), which cannot
# read a file path, so node is told to leave fetch() out and the loader reads the file itself.
find_program(INTRO_NODE NAMES nodejs node REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${INTRO_NODE};--no-experimental-fetch" CACHE STRING "")
include(${INTRO_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)

set(INTRO_DEPS_PREFIX "$ENV{INTRO_DEPS_PREFIX}" CACHE PATH "Prefix of the web libraries (scripts/cross_deps.sh web)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES INTRO_DEPS_PREFIX)
if(NOT INTRO_DEPS_PREFIX)
  message(FATAL_ERROR "Set INTRO_DEPS_PREFIX to the prefix that scripts/cross_deps.sh web prints")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${INTRO_DEPS_PREFIX})
set(ENV{PKG_CONFIG_LIBDIR} ${INTRO_DEPS_PREFIX}/lib/pkgconfig:${INTRO_DEPS_PREFIX}/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# USE_SDL=0: otherwise emcc puts its own SDL 1 headers on every include path, where <SDL.h> may
# find them before SDL2's. Exceptions are on: by default emscripten turns every throw into an abort.
set(CMAKE_C_FLAGS_INIT "-sUSE_SDL=0")
set(CMAKE_CXX_FLAGS_INIT "-sUSE_SDL=0 -fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-sUSE_SDL=0 -fexceptions")
