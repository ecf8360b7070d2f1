# The two commands a newcomer needs:
#   make run    install what is missing, build, and start Korvane
#   make test   install what is missing, build, and run the whole test suite
# Both work on a fresh Debian 12 or Ubuntu machine (they use apt-get as root,
# sudo otherwise).

PRESET ?= release
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)
# Most tests wait on sockets and timers rather than compute, so the release
# suite runs three to a core; the sanitizer builds, several times slower, one.
ifeq ($(PRESET),release)
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 3 )))
else
TEST_JOBS ?= $(JOBS)
endif

# Qt programs want a runtime folder of mode 0700 and warn on every start
# without one, as under root or in a container; the build has its own then.
ifeq ($(XDG_RUNTIME_DIR),)
export XDG_RUNTIME_DIR := $(CURDIR)/build/runtime
endif

.PHONY: run test deps deps-windows build package bench screenshots format check-format check-layers test-asan test-tsan windows windows-qt windows-test windows-package clean

# What the Linux build, its tests and the package need; the Windows targets
# add their own toolchain (scripts/install-deps.sh says which groups exist).
deps:
	@scripts/install-deps.sh
	@mkdir -p -m 0700 "$$XDG_RUNTIME_DIR"

deps-windows:
	@scripts/install-deps.sh windows

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

# After ctest, names each skipped test with its reason; ends with ctest's status.
test: build
	@status=0; ctest --preset $(PRESET) -j $(TEST_JOBS) || status=$$?; \
	  scripts/skipped-tests.sh $(BUILD); exit $$status

# With a desktop the window opens; without one the simulator runs headless,
# streaming to a local receiver and printing every frame it sends.
run: build
	@scripts/run.sh $(BUILD)

# The Debian package, $(BUILD)/korvane_<version>_amd64.deb.
package: build
	cmake --build --preset $(PRESET) --target package

bench: build
	$(BUILD)/bench/korvane_bench

# Redraws the pictures in docs/ (offscreen, no display needed).
screenshots: build
	for what in drilling options aux-tracks gas-simulator setup define-records; do \
	  $(BUILD)/src/shell/korvane-screenshot $$what docs/$$what.png || exit 1; \
	done

test-asan:
	$(MAKE) test PRESET=asan-ubsan

test-tsan:
	$(MAKE) test PRESET=tsan

# The Windows build, cross-compiled with mingw-w64, into build/windows. The
# desktop program needs a Qt for Windows: scripts/windows-qt.sh unpacks the
# archive named by KORVANE_QT_WINDOWS_ARCHIVE, or reuses the Qt that
# build/windows was configured with, or the one make windows-qt built; it
# builds none by itself. WINDOWS_GUI=OFF leaves the desktop program out.
WINDOWS_GUI ?= ON

windows: deps-windows
	@if [ "$(WINDOWS_GUI)" = OFF ]; then qt=""; else qt="$$(scripts/windows-qt.sh)" || exit 1; fi; \
	fresh=""; \
	if [ -f build/windows/CMakeCache.txt ] && \
	   ! grep -qx "KORVANE_QT_WINDOWS_PREFIX:[A-Z]*=$$qt" build/windows/CMakeCache.txt; then \
	  fresh=--fresh; \
	fi; \
	cmake $$fresh --preset windows -DKORVANE_QT_WINDOWS_PREFIX="$$qt" >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Builds Qt for Windows from Debian's qt6-base source into ~/.cache/korvane
# (20 minutes to an hour on two cores, once); it says first what it will do.
windows-qt: deps-windows
	@KORVANE_QT_WINDOWS_BUILD=1 scripts/windows-qt.sh >/dev/null

# Its tests under Wine, with a pair of COM ports (run inside a network namespace).
windows-test: windows
	scripts/windows-test.sh -j $(JOBS)

# The zip for Windows users: build/windows/korvane-<version>-windows-x64.zip.
windows-package: windows
	cmake --build --preset windows --target package >/dev/null
	@ls -lt build/windows/korvane-*-windows-x64.zip | head -n 1

format:
	@scripts/install-deps.sh format
	clang-format -i $$(git ls-files '*.cpp' '*.h')

check-format:
	@scripts/install-deps.sh format
	@scripts/check-format.sh

check-layers:
	@scripts/check-layers.sh

clean:
	rm -rf build
