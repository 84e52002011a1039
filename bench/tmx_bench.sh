#!/usr/bin/env bash
# Import and export of a 1024 × 1024 × 4 map with 1,000 tiles, timed as whole processes side
# by side with tmxrasterizer opening the same TMX file (all layers hidden and a 16-pixel
# picture, so it loads the map and its tileset and draws next to nothing), then drawing it
# into a 1024-pixel picture.
# Usage: bench/tmx_bench.sh [BUILD] [RUNS]
. "$(dirname "$0")/tmx_common.sh"
"$build/bin/tmx_map" "$work"
export QT_QPA_PLATFORM=offscreen
opened="tmxrasterizer --size 16 --hide-layer 'Layer 1' --hide-layer 'Layer 2' --hide-layer 'Layer 3' --hide-layer 'Layer 4'"
opened="$opened $work/big.tmx $work/opened.png"
mkdir -p "$work/out"
ls -l "$work"
echo "== import vs tmxrasterizer opening"
farm-bench -n "$runs" --timeout 600 --vs "$opened" -- "$tool" import "$work/big.tmx" -o "$work/imported.vorl"
echo "== export vs tmxrasterizer opening"
farm-bench -n "$runs" --timeout 600 --vs "$opened" -- "$tool" export "$work/big.vorl" --format tmx -o "$work/out/exported.tmx"
echo "== tmxrasterizer drawing the map into 1024 x 1024 pixels"
farm-bench -n "$runs" --timeout 600 -- tmxrasterizer --size 1024 "$work/big.tmx" "$work/drawn.png"
