#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test. Quiet when all are present.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ ccache pkg-config lld libgtest-dev libgmock-dev libbenchmark-dev
  # window, input, clipboard, 3D device (SDL's headers; the library is opened when a window is)
  libsdl2-dev libegl-dev libopengl-dev libgl-dev libgl1-mesa-dri
  # sound and music
  libopenal-dev libopenmpt-dev libfluidsynth-dev timgm6mb-soundfont libsndfile1-dev
  # video
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  # images (the -dev packages carry the static archives a Release executable is linked from)
  libpng-dev zlib1g-dev libjpeg-dev libfreeimage-dev
  # network, CD, fonts (and the archives of what freetype and fontconfig use)
  libcurl4-openssl-dev libcdio-dev libfreetype-dev libbrotli-dev libfontconfig-dev libexpat1-dev
  fonts-liberation2 fonts-dejavu-core
  # tests: a real window under a virtual display, a loopback FTP server, model second opinion
  xvfb xauth python3-pyftpdlib libstb-dev libassimp-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${#missing[@]} missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
