#!/usr/bin/env bash
# The idle editor's share of one core (bench/idle_editor.cpp), under a virtual display with
# Mesa's software OpenGL: bench/idle.sh [BUILD] [SECONDS]
set -eu
build="${1:-build}"
seconds="${2:-10}"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$build/bin/idle_editor" "$seconds"
fi
exec "$build/bin/idle_editor" "$seconds"
