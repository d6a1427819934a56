#!/usr/bin/env bash
# Installs with apt-get whatever KX-52 needs to build, test and run that is
# not there yet. Quiet and quick when everything is installed already.
# Packages named as arguments are installed too (scripts/fuzz.sh adds clang).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev qt6-translations-l10n libgl-dev
  libgtest-dev libgmock-dev clang-format-14
  xvfb xauth fonts-dejavu-core
  # Arial's metrics (Liberation Sans) for the windows that ask for Arial.
  fonts-liberation2
  # Building and checking the Debian package.
  dpkg-dev librsvg2-bin desktop-file-utils appstream man-db
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
