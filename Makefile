# SPDX-License-Identifier: MIT
# Thin front end over the CMake presets. `make test` is what CI runs.
# Only `deps` (and `test`/`test-asan`, through it) installs packages; every other target only builds
# and runs. NORVEX_WERROR=ON (CI sets it) turns compiler warnings into errors.
JOBS ?= $(shell nproc)
NORVEX_WERROR ?= OFF
CONFIGURE_FLAGS = -DNORVEX_WERROR=$(NORVEX_WERROR)

.PHONY: deps build test build-asan test-asan run bench soak screenshot install clean fuzz pcsc-demo
# Prerequisites run in the order written (deps before build); CMake and ctest run in parallel.
.NOTPARALLEL:

deps:
	@scripts/deps.sh

build:
	@cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: deps build
	@ctest --preset default -j $(JOBS)

build-asan:
	@cmake --preset asan $(CONFIGURE_FLAGS) >/dev/null
	@cmake --build --preset asan -j $(JOBS)

test-asan: deps build-asan
	@ctest --preset asan -j $(JOBS)

run: build
	@scripts/run-explorer.sh

bench: build
	@scripts/bench.sh

# Connect cycles and exchanges under load, one line of figures; counts from NORVEX_SOAK_CONNECTS and
# NORVEX_SOAK_EXCHANGES. Not part of `make test`.
soak: build
	@build/bench/norvex_soak

# norvex-sim, a private pcscd loading the PC/SC driver, and pcsc_scan finding the simulated cards.
pcsc-demo: build
	@scripts/pcsc-demo.sh

screenshot: build
	@scripts/screenshot.sh

fuzz:
	@scripts/fuzz.sh

install: build
	@cmake --install build $(if $(PREFIX),--prefix $(PREFIX))

clean:
	@rm -rf build build-asan
