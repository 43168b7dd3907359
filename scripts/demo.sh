#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it against the simulated controller.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane-programmer
exec build/src/app/corvane-programmer --demo "$@"
