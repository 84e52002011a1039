#!/usr/bin/env bash
# Runs every benchmark program of the build folder given.
set -eu
build="${1:-build}"
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "${@:2}"
done
