#!/usr/bin/env bash
# Runs every benchmark program of the build folder given.
set -eu
build="${1:-build}"
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  if [ "$(basename "$b")" = bench_gl ] && [ -z "${DISPLAY:-}" ]; then
    # A real canvas: Xvfb with Mesa's software OpenGL.
    LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$b" "${@:2}"
  else
    "$b" "${@:2}"
  fi
done
