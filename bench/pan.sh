#!/usr/bin/env bash
# The pan test from outside: the 1024 x 1024 x 4 benchmark map zoomed out (Vorlane at zoom
# 0.05, tiled at its nearest zoom below that), 50 middle-button moves across the map, then
# the seconds from the last move until the screen stops changing, and whether the pan moved
# the view at all (the screen before the moves against the screen after). Each editor runs
# alone under its own Xvfb with Mesa's software OpenGL, RUNS times. With SHOTS=folder the
# screens before and after each pan are kept there as PPM pictures.
# Usage: bench/pan.sh [BUILD] [RUNS]
set -eu
build="$(cd "${1:-build}" && pwd)"
runs="${2:-3}"
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$dir"' EXIT
"$build/bin/big_map_files" "$dir"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$dir"

# Runs "$@" (an editor) on a fresh display and prints the lag of each run.
# Needs the functions open_map and zoom_out for that editor.
measure() {
  local name=$1 display=:$((90 + RANDOM % 100))
  shift
  Xvfb "$display" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
  local xvfb=$!
  sleep 1
  DISPLAY=$display "$@" >/dev/null 2>&1 &
  local editor=$!
  export DISPLAY=$display
  open_map
  zoom_out
  sleep 3
  for run in $(seq "$runs"); do
    local before after
    before=$("$build/bin/screen_settle" --shot "${SHOTS:-$dir}/$name-$run-before.ppm")
    pan_at
    xdotool mousedown 2
    for i in $(seq 50); do
      xdotool mousemove_relative -- $(( i % 2 ? 6 : -4 )) $(( i % 3 ? 3 : -5 ))
      sleep 0.01
    done
    xdotool mouseup 2
    echo "$name: $("$build/bin/screen_settle" 1500 30) s from the last move until the screen stopped changing"
    after=$("$build/bin/screen_settle" --shot "${SHOTS:-$dir}/$name-$run-after.ppm")
    if [ "$before" != "$after" ]; then echo "$name: the view moved"; else echo "$name: THE VIEW DID NOT MOVE"; fi
    sleep 1
  done
  kill "$editor" "$xvfb" 2>/dev/null || true
  wait "$editor" "$xvfb" 2>/dev/null || true
}

# Vorlane: Load, type the path into the file requester, wheel down to zoom 0.05, all over
# the map canvas (the middle of the main window's map area).
window=
pan_at() { xdotool mousemove --window "$window" 216 190; }
open_map() {
  window=$(xdotool search --sync --name "Vorlane V0.1" | head -1)
  sleep 2
  xdotool mousemove --window "$window" 90 35 click 1  # the Load button under the menu bar
  sleep 1
  xdotool type --delay 5 "$dir/big.vorl"
  xdotool key Return
  sleep 15  # reading the map
}
zoom_out() {
  pan_at
  for _ in $(seq 95); do xdotool click 5; sleep 0.02; done
  # The zoom leaves the map in a corner of the canvas: drag it over the whole canvas.
  sleep 1
  xdotool mousedown 2
  for _ in $(seq 20); do xdotool mousemove_relative -- -15 -10; sleep 0.02; done
  xdotool mouseup 2
}
measure vorlane "$build/bin/vorlane"

# tiled: opens the file itself; Ctrl+minus steps down its zoom levels.
pan_at() { xdotool mousemove 640 560; }
open_map() {
  xdotool search --sync --name "big.tmx" >/dev/null
  sleep 10
}
zoom_out() {
  for _ in $(seq 7); do xdotool key ctrl+minus; sleep 0.5; done
}
measure tiled tiled "$dir/big.tmx"
