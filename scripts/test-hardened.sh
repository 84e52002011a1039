#!/usr/bin/env bash
# The hardening half of `make test`: the unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (no GUI tests), then a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
asan="${ASAN_BUILD:-build-asan}"
fuzz="${FUZZ_BUILD:-build-fuzz}"
smoke="${FUZZ_SMOKE_SECONDS:-30}"

start=$(date +%s)
# Warnings are the normal build's job: with the sanitizers GCC reports false
# maybe-uninitialized warnings inside the standard library.
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_GUI=OFF -DVORLANE_BENCH=OFF \
  -DVORLANE_SANITIZE=ON -DVORLANE_WERROR=OFF >/dev/null
cmake --build "$asan" -j "$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$asan" --output-on-failure -j "$(nproc)" --output-junit junit.xml
echo "Sanitizer build and tests: $(( $(date +%s) - start ))s"

start=$(date +%s)
FUZZ_FLAGS="${FUZZ_FLAGS:--seed=1}" bash scripts/fuzz.sh "$fuzz" "$smoke"
echo "Fuzz build and smoke run: $(( $(date +%s) - start ))s"
