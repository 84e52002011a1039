#!/usr/bin/env bash
# The desktop entry and the file type, as a desktop meets them once installed: the entry is
# valid, a .vorl file is of the new type (by xdg-mime, through shared-mime-info's database)
# and that type opens in the editor. Everything goes to a scratch XDG data home.
# Usage: desktop_test.sh SOURCE
set -euo pipefail
packaging=$(realpath "$1")/packaging
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

desktop-file-validate "$packaging/vorlane.desktop"

data=$home/share
mkdir -p "$data/mime/packages" "$data/applications"
cp "$packaging/vorlane.xml" "$data/mime/packages/"
cp "$packaging/vorlane.desktop" "$data/applications/"
XDG_DATA_HOME="$data" update-mime-database "$data/mime"
update-desktop-database "$data/applications"
printf '\030\0\0\0\020\0\0\0' >"$home/level.vorl"
cp "$home/level.vorl" "$home/LEVEL.VORL"

# A plain environment: no desktop session, so xdg-mime asks shared-mime-info.
query() {
  env -i PATH="$PATH" HOME="$home" XDG_DATA_HOME="$data" XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME="$home/config" \
    xdg-mime query "$@"
}
fail=0
for file in level.vorl LEVEL.VORL; do
  type=$(query filetype "$home/$file")
  [ "$type" = application/x-vorlane-project ] || { echo "$file: '$type'"; fail=1; }
done
app=$(query default application/x-vorlane-project)
[ "$app" = vorlane.desktop ] || { echo "application/x-vorlane-project opens with '$app'"; fail=1; }
exit $fail
