#!/usr/bin/env bash
# Whole-process bakes timed side by side with farm-bench, and the renderer's passes:
#   bench/bake_bench.sh BUILD [BASELINE_TOOL] [IMAGE_SIDE]
# BUILD holds vorlane-tool, bake_maps and bake_passes; BASELINE_TOOL (optional) is an older
# vorlane-tool to compare with. The maps have 32-pixel tiles with IMAGE_SIDE-pixel images
# (default 8). The brute-force figure to hold the 96 × 96 bake against is bench_lighting's
# BM_City96_Bake ref_s.
set -eu
build="${1:-build}"
base="${2:-}"
side="${3:-8}"
tool="$build/bin/vorlane-tool"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/bin/bake_maps" "$dir" "$side"

bake() {  # TOOL MAP ARGS...
  local t="$1" m="$2"
  shift 2
  echo "$t bake --quiet $dir/$m.vorl -o $dir/out.vorl $*"
}
side_by_side() {  # TITLE RUNS ARGS...
  local title="$1" runs="$2"
  shift 2
  echo "== $title"
  if [ -n "$base" ]; then
    farm-bench -n "$runs" --timeout 1800 --vs "$(bake "$base" "$@")" -- $(bake "$tool" "$@")
  else
    farm-bench -n "$runs" --timeout 1800 -- $(bake "$tool" "$@")
  fi
}

three="for i in 1 2 3; do $(bake "$tool" city96 --width 512 --height 512); done"
echo "== 96 x 96, 512 x 512 hard, three runs back to back, default flags"
if [ -n "$base" ]; then
  farm-bench -n 5 --vs "sh -c '${three//$tool/$base}'" -- sh -c "$three"
else
  farm-bench -n 5 -- sh -c "$three"
fi
side_by_side "256 x 256, 512 x 512 hard, default flags" 5 city256 --width 512 --height 512
side_by_side "256 x 256, 512 x 512 hard, --threads 1" 5 city256 --width 512 --height 512 --threads 1
side_by_side "256 x 256, 512 x 512 hard, --threads 2" 5 city256 --width 512 --height 512 --threads 2
side_by_side "256 x 256, 8192 x 8192 soft, default flags" 3 city256 --width 8192 --height 8192 --soft

echo "== 256 x 256, 512 x 512 hard, passes in one process (ms)"
"$build/bin/bake_passes" "$dir/city256.vorl" 512 512 0 3

echo "== 256 x 256, 512 x 512 hard, default flags beside a busy process"
yes >/dev/null &
busy=$!
farm-bench -n 5 --vs "$(bake "$tool" city256 --width 512 --height 512 --threads 1)" -- \
  $(bake "$tool" city256 --width 512 --height 512)
kill "$busy"
