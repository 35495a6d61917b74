#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the panel need.
# Does nothing when they are all present. Needs root (or sudo) to install.
set -euo pipefail

PACKAGES=(
  openbox libxcb1-dev lintian man-db bsdextrautils
  g++ cmake ninja-build pkg-config googletest libgtest-dev
  qt6-base-dev libgl-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-x
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav
  libespeak-ng-dev espeak-ng-data espeak-ng libpcaudio-dev
  libfbclient2 firebird-dev firebird3.0-server-core firebird3.0-server firebird3.0-utils
  fonts-liberation xvfb xauth imagemagick sox ffmpeg iproute2
  clang libclang-rt-dev dpkg-dev file libsystemd-dev
  pulseaudio pulseaudio-utils
  libmosquitto-dev mosquitto mosquitto-clients
  xserver-xorg-core xserver-xorg-video-dummy xinit xauth x11-xserver-utils unclutter-xfixes
  x11-utils python3-xlib
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
