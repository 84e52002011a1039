# make run: install what is missing, build, start the editor.
# make test: install what is missing, build, run every test, then the sanitizer build's
#            unit tests and a short fuzz run (HARDEN=0 skips these two).
# make fuzz: runs each fuzz target for FUZZ_SECONDS (default 60).
# make examples: makes the example project and docs/before.png, docs/after.png again.
# make screenshots: the README's picture of the editor (docs/editor.png), under Xvfb.
# make install: installs into PREFIX (default /usr/local); DESTDIR stages it elsewhere.
# make package: the Debian package, in build/package/.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
HARDEN ?= 1
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps build run test bench fuzz examples screenshots install package clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-editor.sh $(BUILD)/bin/vorlane

test: build
	@bash scripts/test.sh $(BUILD)
	@if [ "$(HARDEN)" != 0 ]; then bash scripts/test-hardened.sh; fi
	@bash scripts/test-summary.sh $(BUILD) $(if $(filter-out 0,$(HARDEN)),build-asan)

fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

examples: build
	@bash scripts/examples.sh $(BUILD)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-*
