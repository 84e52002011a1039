#!/usr/bin/env bash
# Starts the editor, or says plainly how to when there is no display.
set -eu
editor="$1"
if [ ! -x "$editor" ]; then
  echo "The editor is not built yet ($editor is missing)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: the editor needs a graphical session." >&2
  echo "On a machine without one, start it under a virtual display:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $editor" >&2
  exit 1
fi
exec "$editor"
