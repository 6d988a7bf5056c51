#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Pagewarden needs.
# Safe to run again: when everything is already there it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-websockets-dev qt6-svg-dev libgl-dev
  qt6-qpa-plugins libqt6svg6 fonts-dejavu-core
  # end-to-end tests and the screenshots: real browsers and a virtual display
  chromium firefox-esr xvfb xauth x11-utils imagemagick
  # the browser extension's own tests (node --test)
  nodejs
  # the icon's rendered sizes, the Debian package and the checks of the installed files
  librsvg2-bin dpkg-dev desktop-file-utils appstream man-db
  # the second run of the suite under the sanitizers, and the fuzz targets (clang's libFuzzer)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
