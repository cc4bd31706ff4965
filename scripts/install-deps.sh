#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Harbrill need (only what is missing).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
  libx11-dev libxkbcommon-dev libxkbcommon-x11-dev libxtst-dev libxfixes-dev
  qt6-base-private-dev libwayland-dev wayland-protocols qt6-wayland weston
  libgtest-dev libgmock-dev libbenchmark-dev
  libglib2.0-dev libglib2.0-bin
  qt6-multimedia-dev qt6-svg-dev libqt6svg6 gstreamer1.0-plugins-good gstreamer1.0-plugins-base gstreamer1.0-libav
  xvfb xdotool xclip attr coreutils util-linux
  openbox trayer x11-utils imagemagick dbus dbus-x11 at-spi2-core python3-pyatspi python3-dbus python3-gi
  xfwm4 marco mate-settings-daemon-common kwin-x11
  ffmpeg
  pulseaudio pulseaudio-utils
  fd-find
  e2fsprogs
  mount
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
)
# The file managers the end-to-end tests select files in, as a desktop has them; without what they only
# recommend (search indexers, thumbnailers), which the tests do not use.
desktop_programs=(
  nautilus thunar dolphin nemo caja pcmanfm pcmanfm-qt breeze-icon-theme
)
missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_programs < <(missing_of "${desktop_programs[@]}")
if ((${#missing[@]} + ${#missing_programs[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  ((${#missing[@]})) && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  ((${#missing_programs[@]})) &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing_programs[@]}"
fi
