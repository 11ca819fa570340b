#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, package
# and run (dpkg-dev and file for the package's dependencies, the desktop
# entry and AppStream validators for its checks).
set -euo pipefail
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev \
  libgtest-dev libgmock-dev \
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev \
  libjpeg-dev libsdl2-dev libglib2.0-dev \
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev \
  ffmpeg mediainfo atomicparsley dbus-daemon \
  xvfb xauth imagemagick python3 time procps \
  dpkg-dev file desktop-file-utils appstream
