#!/usr/bin/env bash
# Installs the Debian 12 packages the game, its tests and its tools need, skipping what is already there.
# Uses sudo when not run as root.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libglfw3-dev libglew-dev libglm-dev libinih-dev libstb-dev fonts-dejavu-core libassimp-dev libbullet-dev libjpeg-dev
  libgtest-dev libbenchmark-dev nlohmann-json3-dev
  libgl1-mesa-dri libglx-mesa0
  xvfb xauth xdotool imagemagick
  clang libclang-rt-14-dev
  # cpack -G DEB reads the game's libraries with dpkg-shlibdeps and file; the menu entry is validated
  dpkg-dev file desktop-file-utils
  # the install tests check the Debian package with lintian
  lintian
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
