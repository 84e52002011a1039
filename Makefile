# make run: install what is missing, build, start the editor.
# make test: install what is missing, build, run every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench fuzz clean

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

bench: build
	@bash scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-*
