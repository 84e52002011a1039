#!/usr/bin/env bash
# Runs every test of the build folder given: unit tests, and the GUI tests under Xvfb.
# The results also go to BUILD/junit.xml, which scripts/test-summary.sh adds up.
set -eu
build="${1:-build}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
export LIBGL_ALWAYS_SOFTWARE=1
run=(ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --output-junit junit.xml)
if [ -z "${DISPLAY:-}" ]; then
  # -noreset: an X server resets whenever its last client leaves and refuses connections
  # meanwhile, which a GUI test starting just then would take for a missing display.
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${run[@]}"
fi
exec "${run[@]}"
