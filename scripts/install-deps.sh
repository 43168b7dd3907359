#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the program need.
# Skips apt entirely when everything is already there.
#   scripts/install-deps.sh              build and test
#   scripts/install-deps.sh --package    also what building and checking the Debian package needs
#   scripts/install-deps.sh --screenshot also what scripts/screenshot.sh needs
#   scripts/install-deps.sh --guest      also what scripts/test-guest.sh needs (qemu, busybox)
#   scripts/install-deps.sh --windows    also what scripts/test-windows.sh needs (MinGW-w64, Wine, NSIS)
set -euo pipefail

packages=(
  g++ cmake ninja-build
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
  libcli11-dev libudev-dev
  ser2net
  clang-14 libclang-rt-14-dev
  fonts-liberation2 man-db desktop-file-utils
)
for group in "$@"; do
  case $group in
    --package) packages+=(dpkg-dev lintian file) ;;
    --screenshot) packages+=(xvfb xauth xdotool imagemagick) ;;
    --guest) packages+=(qemu-system-x86 busybox-static python3) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 qt6-base-dev-tools nsis) ;;
    *) echo "usage: scripts/install-deps.sh [--package] [--screenshot] [--guest] [--windows]" >&2; exit 64 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
