# The start the TMX benchmarks share, sourced: BUILD and RUNS from their arguments, the map
# generator and the tool built, and a scratch folder that goes when the script ends.
set -eu
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
cmake --build "$build" -j2 --target tmx_map vorlane-tool >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tool="$PWD/$build/bin/vorlane-tool"
