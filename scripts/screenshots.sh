#!/usr/bin/env bash
# The README's picture of the editor with the example loaded (docs/editor.png), taken from
# the real editor on a virtual display. The before/after pair comes from `make examples`.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
mkdir -p docs
# Under a window manager, so that the windows have their frames and titles as on a desktop.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" sh -c \
  'openbox >/dev/null 2>&1 & sleep 1; "$0" "$1" "$2"' \
  "$build/bin/vorlane-screenshots" "$PWD/examples/dungeon/dungeon.vorl" docs/editor.png >/dev/null
echo "screenshots: docs/editor.png made again"
