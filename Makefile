# Kestrin: `make run` plays the show, `make test` runs every test headless.
BUILD ?= build
JOBS ?= $(shell nproc)
# The build's own makes inherit this: progress lines only, no directory chatter.
MAKEFLAGS += --no-print-directory
PACKAGES = build-essential cmake pkg-config xz-utils libsdl2-dev libgl-dev libegl-dev \
  libgl1-mesa-dri libegl-mesa0 libglx-mesa0 libfreetype-dev libfontconfig-dev \
  liblzma-dev libpng-dev libgtest-dev googletest libbenchmark-dev fonts-dejavu-core \
  fonts-dejavu-extra ffmpeg xvfb xauth xdotool

WIN_BUILD ?= build-win
# The cross compiler, GoogleTest's sources, and for the tests Wine (with the X
# and GL libraries its display driver loads) on a virtual display.
WIN_PACKAGES = g++-mingw-w64-x86-64 cmake googletest wine wine64 xvfb xauth xdotool ffmpeg \
  fonts-dejavu-core fonts-dejavu-extra libgl1 libgl1-mesa-dri libglx-mesa0 libxrandr2 \
  libxrender1 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1

.PHONY: deps build run test bench capture clean windows mutants

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
	    --no-install-recommends $$missing; \
	fi

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  ./$(BUILD)/kestrin; \
	else \
	  echo "No display found: writing out/kestrin.wav and out/kestrin-preview.mp4 instead."; \
	  mkdir -p out && \
	  ./$(BUILD)/kestrin-capture --wav out/kestrin.wav && \
	  ./$(BUILD)/kestrin-capture --video out/kestrin-preview.mp4 --to 8 --size 640x360 --fps 30; \
	fi

test: build windows
	@cd $(BUILD) && ctest --output-on-failure -j2
	@cd $(WIN_BUILD) && ctest --output-on-failure -j2

bench: build
	@./$(BUILD)/tests/kestrin-bench

capture: build
	@./$(BUILD)/kestrin-capture $(ARGS)

# The Windows show, $(WIN_BUILD)/kestrin.exe (packed) and kestrin-show.exe, and its
# tests (run under Wine).
windows:
	@missing=$$(for p in $(WIN_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
	    --no-install-recommends $$missing; \
	fi
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DKESTRIN_LINUX_BUILD=$(abspath $(BUILD)) >/dev/null
	@cmake --build $(WIN_BUILD) -j$(JOBS)

# Developer tool: small faults applied one at a time, each against its
# area's tests (dev/mutants.txt); ARGS narrows the list, e.g. ARGS=music.
mutants: build windows
	@command -v python3 >/dev/null || apt-get install -y -qq --no-install-recommends python3
	@python3 dev/mutants.py $(ARGS)

clean:
	rm -rf $(BUILD) $(WIN_BUILD)
