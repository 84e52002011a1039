#!/usr/bin/env bash
# Makes every file of examples/dungeon and the before/after pictures in docs/ again, from
# code: the tileset is painted by vorlane-make-example, its normal map derived by
# vorlane-tool normals, the map laid out, baked and composited.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build}/bin"
dir=examples/dungeon
mkdir -p "$dir" docs
"$bin/vorlane-make-example" tileset "$dir"
"$bin/vorlane-tool" normals "$dir/dungeon.png" --strength 3 --blur 1 --force
"$bin/vorlane-make-example" map "$dir"
"$bin/vorlane-tool" bake "$dir/dungeon.vorl" -o "$dir/dungeon-lit.vorl" --width 512 --height 512 --soft --quiet
"$bin/vorlane-tool" png "$dir/dungeon.vorl" -o docs/before.png
"$bin/vorlane-tool" png "$dir/dungeon-lit.vorl" -o docs/after.png
echo "examples: $dir and docs/before.png, docs/after.png made again"
