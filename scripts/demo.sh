#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it against the simulated controller.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-demo -j "$(nproc)" --target corvane-programmer
exec build-demo/src/app/corvane-programmer --demo "$@"
