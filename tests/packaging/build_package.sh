#!/usr/bin/env bash
# Builds the Debian package from the build folder's install rules (as `make package` does)
# and checks what it says of itself: the version the programs print, and the libraries the
# binaries need, found by dpkg-shlibdeps.
# Usage: build_package.sh BUILD
set -euo pipefail
build=$(realpath "$1")
rm -f "$build"/package/vorlane_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
debs=("$build"/package/vorlane_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no single package in $build/package"; exit 1; }
deb=${debs[0]}

fail=0
version=$(dpkg-deb -f "$deb" Version)
for program in vorlane-tool vorlane; do
  printed=$("$build/bin/$program" --version)
  [ "$printed" = "$program $version" ] || { echo "$program --version says '$printed', the package $version"; fail=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6openglwidgets6 libpng16-16 libjpeg62-turbo liblua5.4-0 libc6; do
  [[ $depends == *"$library "* ]] || { echo "Depends lacks $library: $depends"; fail=1; }
done
echo "$deb: $version; Depends: $depends"
exit $fail
