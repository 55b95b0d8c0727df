#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample run need; only what is missing.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  zlib1g-dev libpng-dev libminizip-dev libarchive-dev libsquish-dev
  libsdl2-dev libgl-dev libgl1-mesa-dri mesa-utils
  libx11-dev  # whole-program tests read the X screen back (shot_screen)
  libegl-dev libegl-mesa0  # GL tests and tools run offscreen on Mesa's surfaceless EGL, no X server
  libfreetype-dev libjpeg-dev fonts-dejavu-core xplanet-images  # the built-in images' generator
  xvfb xauth
  zenity xdg-utils  # the desktop's folder dialog and browser hand-over
  xdotool  # answers the platform's message boxes in whole-program tests
  fonts-urw-base35  # X scalable fonts, with which SDL draws its own message box (tested with and without)
  python3 file curl
  7zip unzip  # reference tools of the archive benchmark; 7zz also makes the BCJ/BCJ2 test fixtures
  zip  # reference tool of the builder benchmark
  ffmpeg  # ffprobe checks that the movie recorder's files open in a player
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
