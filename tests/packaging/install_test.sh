#!/usr/bin/env bash
# Installs the package with dpkg into a scratch root (this machine's own packages stay as they
# are), runs the installed programs on the installed example, then removes the package and
# checks that nothing of it is left. The scratch root has no packages of its own, so its
# dependencies are checked against this machine's instead.
# Usage: install_test.sh BUILD SOURCE
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
deb=$(ls "$build"/package/vorlane_*.deb)
root=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$root" "$work"' EXIT
mkdir -p "$root"/var/lib/dpkg/{info,updates,triggers}
touch "$root"/var/lib/dpkg/status

step() { echo "--- $*"; }

step "the libraries it depends on are installed here"
printf 'Source: vorlane\n' >"$work/control"
dpkg-checkbuilddeps -d "$(dpkg-deb -f "$deb" Depends)" "$work/control"

step "dpkg -i"
dpkg --root="$root" --force-depends --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; exit 1; }
bin=$root/usr/bin
examples=$root/usr/share/vorlane/examples
[ "$(dpkg --root="$root" -s vorlane | sed -n 's/^Status: //p')" = "install ok installed" ]

step "vorlane-tool --version"
[ "$("$bin/vorlane-tool" --version)" = "vorlane-tool $(dpkg-deb -f "$deb" Version)" ]

step "vorlane-tool bake of the installed example, as the build folder's tool bakes the source's"
"$bin/vorlane-tool" bake "$examples/dungeon/dungeon.vorl" -o "$work/installed.vorl" --width 128 --height 128 --quiet
"$build/bin/vorlane-tool" bake "$source/examples/dungeon/dungeon.vorl" -o "$work/built.vorl" --width 128 --height 128 \
  --quiet
cmp "$work/installed.vorl" "$work/built.vorl"
"$bin/vorlane-tool" check "$work/installed.vorl"

step "vorlane-tool run of an installed example script"
"$bin/vorlane-tool" run "$examples/scripts/pivots_csv.lua" "$examples/dungeon/dungeon.vorl" >"$work/records.csv"
"$build/bin/vorlane-tool" run "$source/examples/scripts/pivots_csv.lua" "$source/examples/dungeon/dungeon.vorl" \
  >"$work/expected.csv"
grep -q '^0,96.0,240.0,0,scripts/spawn.lua,team,1$' "$work/records.csv"
cmp "$work/records.csv" "$work/expected.csv"

step "the installed editor with the installed example on its command line, on a display of its own"
VORLANE_EDITOR="$bin/vorlane" VORLANE_PROJECT="$examples/dungeon/dungeon.vorl" LIBGL_ALWAYS_SOFTWARE=1 \
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$build/bin/installed_editor_test"

step "dpkg -P"
dpkg --root="$root" --force-not-root -P vorlane >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/lib" -not -path "$root/var/lib/dpkg*")
[ -z "$left" ] || { echo "left behind:"; echo "$left"; exit 1; }
echo "installed, ran and removed cleanly"
