# Thin front end over the CMake presets. `make test` is what CI runs.
JOBS ?= $(shell nproc)

.PHONY: deps build test build-asan test-asan run bench screenshot install clean fuzz

deps:
	@scripts/deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

test-asan: build-asan
	@ctest --preset asan -j $(JOBS)

run: build
	@scripts/run-explorer.sh

bench: build
	@scripts/bench.sh

screenshot: build
	@scripts/screenshot.sh

fuzz: deps
	@scripts/fuzz.sh

install: build
	@cmake --install build $(if $(PREFIX),--prefix $(PREFIX))

clean:
	@rm -rf build build-asan
