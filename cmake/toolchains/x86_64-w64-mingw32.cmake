# Cross-build for 64-bit Windows with Debian's mingw-w64 GCC, its posix-threads flavour (the win32
# flavour has no std::thread). Libraries come only from INTRO_DEPS_PREFIX, the prefix that
# scripts/cross_deps.sh win64 prints; the build machine's own libraries are never looked at.
#   cmake -S . -B build-win64 --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake \
#         -DINTRO_DEPS_PREFIX="$(scripts/cross_deps.sh win64 | tail -1)"
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(INTRO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${INTRO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${INTRO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${INTRO_MINGW_TRIPLE}-windres)
# The gcc-ar/gcc-ranlib wrappers understand LTO objects as well as plain ones.
set(CMAKE_AR ${INTRO_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${INTRO_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# The prefix is a cache variable so that try_compile projects, which see only the toolchain file
# and the variables forwarded below, find it too.
set(INTRO_DEPS_PREFIX "$ENV{INTRO_DEPS_PREFIX}" CACHE PATH "Prefix of the Windows libraries (scripts/cross_deps.sh win64)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES INTRO_DEPS_PREFIX)
# Without a root path CMake would search the build machine's own folders and find its Linux
# libraries, so the prefix is required.
if(NOT INTRO_DEPS_PREFIX)
  message(FATAL_ERROR "Set INTRO_DEPS_PREFIX to the prefix that scripts/cross_deps.sh win64 prints")
endif()
set(CMAKE_FIND_ROOT_PATH ${INTRO_DEPS_PREFIX})
# pkg-config reads the prefix's .pc files only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} ${INTRO_DEPS_PREFIX}/lib/pkgconfig:${INTRO_DEPS_PREFIX}/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: libgcc, libstdc++ and winpthreads linked in, so it imports only
# Windows' own DLLs. -static makes the linker pick every library's .a over its import library.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
