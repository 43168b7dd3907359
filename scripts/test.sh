#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
#   scripts/test.sh            normal build in build/
#   scripts/test.sh --asan     AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan     ThreadSanitizer build of the link and scan tests in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Debug)
ctest_args=()
case "${1:-}" in
  --asan) dir=build-asan; flags+=(-DCORVANE_SANITIZE=ON) ;;
  --tsan) dir=build-tsan; flags+=(-DCORVANE_TSAN=ON); ctest_args+=(-L tsan) ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--asan|--tsan]" >&2; exit 64 ;;
esac

cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure "${ctest_args[@]}"
