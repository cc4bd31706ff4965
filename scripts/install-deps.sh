#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Harbrill need (only what is missing).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
  libx11-dev libxkbcommon-dev libxkbcommon-x11-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-multimedia-dev qt6-svg-dev libqt6svg6 gstreamer1.0-plugins-good gstreamer1.0-plugins-base gstreamer1.0-libav
  xvfb xdotool xclip attr coreutils util-linux
  openbox trayer x11-utils imagemagick dbus dbus-x11 at-spi2-core python3-pyatspi python3-dbus python3-gi
  ffmpeg
  fd-find
  e2fsprogs
  mount
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
