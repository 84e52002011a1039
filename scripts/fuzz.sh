#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each in turn for SECONDS over its seed
# corpus (fuzz/corpus/<target>, never written to) and a working corpus in the build folder.
# Usage: scripts/fuzz.sh [BUILD] [SECONDS] [target...]   (targets default to all)
# Stops with a non-zero status when a target finds a crash, a leak or a timeout; the input
# is left in BUILD/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${2:-60}"
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp image text_to_int project bake import)
extra=(${FUZZ_FLAGS:-})
# The bake target's renderer would start a thread per core; a fuzzer has one.
export OMP_NUM_THREADS=1

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORLANE_FUZZ=ON -DVORLANE_GUI=OFF -DVORLANE_BENCH=OFF -DVORLANE_WERROR=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/artifacts/$t" "$build/logs"
  log="$build/logs/$t.log"
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=(-dict="fuzz/dict/$t.dict")
  echo "== fuzz_$t for ${seconds}s"
  start=$(date +%s)
  # One process on one core, at the lowest priority: the machine is shared.
  if nice -n 19 "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" "${dict[@]}" "${extra[@]}" \
      "$build/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    echo "   ok in $(( $(date +%s) - start ))s: $(echo "$last" | sed -E 's/^#([0-9]+)[^c]*(cov: [0-9]+ ft: [0-9]+).*/\1 execs, \2/')"
  else
    echo "   FAILED: fuzz_$t found a problem; log $log, inputs in $build/artifacts/$t/" >&2
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5 >&2 || true
    status=1
  fi
done
exit $status
