#!/usr/bin/env bash
# The in-place bake of a TMX map against `vorlane-tool bake` of its imported project, same
# settings: a 256 × 256 × 3 map of 16 × 16 tiles with 8 lights, whole processes side by side.
# Usage: bench/bake_map.sh [BUILD] [RUNS]
. "$(dirname "$0")/tmx_common.sh"
"$build/bin/tmx_map" "$work" 256 3 8
"$tool" import "$work/big.tmx" -o "$work/imported.vorl" >/dev/null
mkdir -p "$work/lit"
settings="--width 256 --height 256 --soft --quiet"
echo "== bake town.tmx in place vs bake of the imported project"
farm-bench -n "$runs" --timeout 1200 --vs "$tool bake $work/imported.vorl -o $work/lit.vorl $settings" -- \
  "$tool" bake "$work/big.tmx" -o "$work/lit/big.tmx" $settings
