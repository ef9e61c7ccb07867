# The two commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
NOCAPTURE_BUILD ?= build-nocapture
WIN_BUILD ?= build-win
WEB_BUILD ?= build-web
# The Windows and web builds' frames are compared with the Linux build's, where it has been built
# (make test builds it first).
REFERENCE_BUILD = $(if $(wildcard $(BUILD)/render_frames),$(CURDIR)/$(BUILD))

# `make test` times each phase (scripts/phase.sh) and ends with a table of them; run alone, a
# target's steps are not timed.
PHASE = scripts/phase.sh

.PHONY: run test setup setup-run build build-intro build-asan build-tsan build-nocapture \
	host-tools windows web web-tests package uninstall bench fuzz clean phases-start

setup:
	@$(PHASE) setup scripts/setup.sh all

setup-run:
	@scripts/setup.sh run

# Only the intro: no tests or benchmarks configured, no test packages installed. The intro loads
# FFmpeg only for a capture, but building the capture's module needs FFmpeg's development files:
# it is built where they are installed (make test installs them), else the intro comes without it.
FFMPEG_MODULES = libavformat libavcodec libavutil libswscale libswresample
CAPTURE_BUILDABLE = $(shell pkg-config --exists $(FFMPEG_MODULES) 2>/dev/null && echo ON || echo OFF)
build-intro: setup-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DINTRO_BENCH=OFF \
	  -DINTRO_CAPTURE=$(CAPTURE_BUILDABLE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target intro

CONFIGURE_BUILD = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
	-DINTRO_BENCH=ON -DINTRO_CAPTURE=ON >/dev/null
build: setup
	$(CONFIGURE_BUILD)
	@$(PHASE) "build: normal" cmake --build $(BUILD) -j $(JOBS)

# Optimised a little: an unoptimised build runs the tests several times slower and catches no more.
build-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DINTRO_SANITIZE=ON >/dev/null
	@$(PHASE) "build: ASan+UBSan" cmake --build $(ASAN_BUILD) -j $(JOBS)

build-tsan: setup
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DINTRO_SANITIZE_THREAD=ON >/dev/null
	@$(PHASE) "build: TSan" cmake --build $(TSAN_BUILD) -j $(JOBS) --target intro support_tests \
	  platform_tests gfx_tests music_tests capture_tests intro_tests

# Without the capture: nothing of FFmpeg is looked for, and the intro refuses --capture. Only the
# intro and its own tests differ from the normal build's, so only they are built and run here (the
# other test programs are registered but not built). Optimised a little, and with the assertions
# on: nothing here is timed.
build-nocapture: setup
	cmake -S . -B $(NOCAPTURE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1" \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1" -DBUILD_TESTING=ON \
	  -DINTRO_BENCH=OFF -DINTRO_CAPTURE=OFF >/dev/null
	! grep -q '^FFMPEG_' $(NOCAPTURE_BUILD)/CMakeCache.txt
	@$(PHASE) "build: without capture" cmake --build $(NOCAPTURE_BUILD) -j $(JOBS) --target intro \
	  intro_tests

# The cross builds' helper that runs on this machine, the icon maker, from the normal build.
host-tools: setup
	$(CONFIGURE_BUILD)
	cmake --build $(BUILD) -j $(JOBS) --target make_icon

# Windows, cross-built with Debian's mingw-w64: build-win/intro.exe (static: it needs only Windows'
# own DLLs), its tests, and build-win/intro-VERSION-win64.zip. The libraries come from Debian's
# source packages, built once into a cache outside the tree (scripts/cross_deps.sh).
windows: host-tools
	@$(PHASE) "Windows libraries" scripts/cross_deps.sh win64 >/dev/null
	prefix=$$(scripts/cross_deps.sh win64 | tail -n 1) && \
	  cmake -S . -B $(WIN_BUILD) --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake \
	  -DINTRO_DEPS_PREFIX="$$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
	  -DINTRO_BENCH=OFF -DINTRO_HOST_MAKE_ICON=$(CURDIR)/$(BUILD)/make_icon \
	  -DINTRO_REFERENCE_BUILD=$(REFERENCE_BUILD) >/dev/null
	@$(PHASE) "build: Windows" cmake --build $(WIN_BUILD) -j $(JOBS)

# The web page: build-web/site/ with index.html, cubescroll.js, .wasm and .data (the module and
# the header) and the licences, the folder to upload to any web server; and the same page as one
# file, intro.html, in build-web/cubescroll-VERSION-web.zip. Built with Debian's emscripten; the libraries
# come from Debian's source packages, built once into the same cache as the Windows build's.
# emcc runs its JavaScript half on node, which finds Debian's modules only through NODE_PATH, and
# itself on Debian's Python.
web: export NODE_PATH = /usr/share/nodejs
web: export EMSDK_PYTHON = /usr/bin/python3
web: host-tools
	@$(PHASE) "web libraries" scripts/cross_deps.sh web >/dev/null
	prefix=$$(scripts/cross_deps.sh web | tail -n 1) && \
	  cmake -S . -B $(WEB_BUILD) --toolchain cmake/toolchains/emscripten.cmake \
	  -DINTRO_DEPS_PREFIX="$$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
	  -DINTRO_BENCH=OFF -DINTRO_CAPTURE=OFF -DINTRO_HOST_MAKE_ICON=$(CURDIR)/$(BUILD)/make_icon \
	  -DINTRO_REFERENCE_BUILD=$(REFERENCE_BUILD) >/dev/null
	@$(PHASE) "build: web page" cmake --build $(WEB_BUILD) -j $(JOBS) --target intro web_zip render_frames

# The web build's test programs, which node runs.
web-tests: export NODE_PATH = /usr/share/nodejs
web-tests: export EMSDK_PYTHON = /usr/bin/python3
web-tests: web
	@$(PHASE) "build: web tests" cmake --build $(WEB_BUILD) -j $(JOBS)

# The intro finds its data beside itself, so it runs from anywhere. The command is named in
# CMakeLists.txt (INTRO_COMMAND).
run: build-intro
	./$(BUILD)/cubescroll

# The normal and ASan+UBSan builds' tests mostly wait on a running intro, so the two builds' tests
# run side by side, one at a time in each. ThreadSanitizer's intro draws several times slower: its
# tests, and the page's frame-rate checks, run with nothing beside them.
CTEST = ctest --output-on-failure --test-dir
test: export INTRO_PHASES = $(CURDIR)/$(BUILD)/phases.tsv
test: phases-start build build-asan build-tsan build-nocapture windows web-tests
	@$(PHASE) --beside "ctest: normal" "$(CTEST) $(BUILD) -j 1" \
	  "ctest: ASan+UBSan" "$(CTEST) $(ASAN_BUILD) -j 1"
	@$(PHASE) "ctest: TSan" $(CTEST) $(TSAN_BUILD) -j $(JOBS)
	@$(PHASE) "ctest: without capture" sh -c "cd $(NOCAPTURE_BUILD) && \
	  ctest --output-on-failure -j $(JOBS) -E '^(e2e_.*|os_headers|include_cycles|.*_NOT_BUILT)$$' && \
	  ctest --output-on-failure -R '^e2e_test_command_line$$'"
	@$(PHASE) "ctest: Windows (Wine)" $(CTEST) $(WIN_BUILD) -j $(JOBS)
	@$(PHASE) "ctest: web (node, Chromium)" $(CTEST) $(WEB_BUILD) -j $(JOBS)
	@$(PHASE) fuzzing scripts/run_fuzz.sh
	@$(PHASE) --table

phases-start:
	@$(PHASE) --start

# The Debian package cubescroll_VERSION_amd64.deb in the build tree.
package: build
	cd $(BUILD) && cpack -G DEB

# Undoes the last `cmake --install $(BUILD)` (any prefix): its files, then the folders it created,
# when empty. Builds nothing, so `sudo make uninstall` leaves no root-owned files in the build.
uninstall:
	cmake -DBUILD_DIR=$(BUILD) -P dist/uninstall.cmake

bench: build
	scripts/run_bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(NOCAPTURE_BUILD) $(WIN_BUILD) $(WEB_BUILD)
