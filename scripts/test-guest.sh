#!/usr/bin/env bash
# Sets up and runs the guest test: the programs on real kernel drivers (Debian's kernel under
# qemu with an emulated 16550 UART and FTDI adapter), after scripts/test.sh has built build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --guest
[ -d build ] || scripts/test.sh
cmake --build build -j "$(nproc)"
tests/guest/fetch-kernel.sh  # unpacked into ~/.cache/corvane-guest, not installed
timeout 480 ctest --test-dir build -L guest --output-on-failure --no-tests=error
