#!/usr/bin/env bash
# `vorlane-tool png --scale 0.25` of the 1024 x 1024 x 4 benchmark map beside `tmxrasterizer
# --scale 0.25` of the same map written as TMX: wall time and peak memory (maximum resident
# set) of each, RUNS times. Usage: bench/preview.sh [BUILD] [RUNS]
set -eu
build="${1:-build}"
runs="${2:-3}"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/bin/big_map_files" "$dir"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir"
for _ in $(seq "$runs"); do
  /usr/bin/time -f "vorlane-tool png --scale 0.25: %e s, %M KB peak" \
    "$build/bin/vorlane-tool" png "$dir/big.vorl" --scale 0.25 -o "$dir/vorlane.png"
  /usr/bin/time -f "tmxrasterizer --scale 0.25:     %e s, %M KB peak" \
    tmxrasterizer --scale 0.25 "$dir/big.tmx" "$dir/tmxrasterizer.png"
done
ls -l "$dir"/*.png | awk '{print $5, $9}'
