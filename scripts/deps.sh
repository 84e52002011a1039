#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config ccache
  qt6-base-dev libqt6opengl6-dev libgl-dev
  libpng-dev zlib1g-dev libjpeg-dev
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri libglx-mesa0 libegl-mesa0
  clang-14 libclang-rt-14-dev libomp-14-dev
  libpugixml-dev nlohmann-json3-dev libzstd-dev liblua5.4-dev libtbb-dev
  tiled openbox x11-utils xdotool
  help2man librsvg2-bin dpkg-dev lintian desktop-file-utils shared-mime-info xdg-utils
  libfile-mimeinfo-perl bash-completion
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
