#!/usr/bin/env bash
# Runs a command on an X display of its own with openbox managing its windows, so the
# editor meets a real window manager (frames, stacking, focus, transient windows).
# Usage: xvfb-run -a run_with_wm.sh COMMAND...
set -u
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null' EXIT
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
"$@"
