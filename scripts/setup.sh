#!/usr/bin/env bash
# Installs the Debian packages the project needs to build and test (only those missing), after
# refreshing the package lists. Safe to run again.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++
  libgtest-dev libgmock-dev libbenchmark-dev
  libyuv-dev
  qt6-base-dev libgl-dev
  xvfb xauth xdotool x11-utils x11-apps python3
  clang-format shellcheck
  clang libclang-rt-14-dev
  imagemagick python3-pil
  desktop-file-utils appstream dpkg-dev file binutils
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-base-apps gstreamer1.0-x python3-gi
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  sudo=""
  if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
