#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
#   scripts/test.sh            normal build in build/
#   scripts/test.sh --asan     AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Debug)
case "${1:-}" in
  --asan) dir=build-asan; flags+=(-DCORVANE_SANITIZE=ON) ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--asan]" >&2; exit 64 ;;
esac

cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir" -j "$(nproc)"
# A run that finds no test fails instead of passing. The guest test (a qemu machine, minutes of
# emulation) runs on its own: ctest --test-dir build -L guest (as .ci/run does).
ctest --test-dir "$dir" --output-on-failure --no-tests=error -LE guest
