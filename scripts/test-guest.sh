#!/usr/bin/env bash
# Sets up and runs the guest test: the programs on real kernel drivers (Debian's kernel under
# qemu with an emulated 16550 UART and FTDI adapter), after scripts/test.sh has built build/.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(qemu-system-x86 busybox-static python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
[ -d build ] || scripts/test.sh
cmake --build build -j "$(nproc)"
tests/guest/fetch-kernel.sh  # unpacked into ~/.cache/corvane-guest, not installed
timeout 480 ctest --test-dir build -L guest --output-on-failure --no-tests=error
