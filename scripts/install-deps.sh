#!/usr/bin/env bash
# Installs every Debian 12 package the suite needs to build, run and test.
# Used by the README's commands and by CI; safe to run again.
set -euo pipefail

PACKAGES=(
  # build tooling
  build-essential cmake ninja-build pkgconf ccache git
  clang-14 libclang-rt-14-dev
  # test and benchmark frameworks
  libgtest-dev libgmock-dev libbenchmark-dev
  # GUI
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation2 xvfb xauth
  # media
  libavcodec-dev libavformat-dev libavfilter-dev libswscale-dev libavutil-dev libswresample-dev
  ffmpeg libx264-dev libturbojpeg0-dev libjpeg62-turbo-dev libyuv-dev
  # sound, network, compression
  libasound2-dev alsa-utils libcurl4-openssl-dev zlib1g-dev
  # test isolation and helpers
  iproute2 procps util-linux file
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
