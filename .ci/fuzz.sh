#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each one for a bounded
# time, its corpus seeded with the target's regression inputs (tests/fuzz/regressions/<target>/),
# which libFuzzer runs first. Exits non-zero when a target finds a crash, a sanitizer error or a
# broken invariant; the reproducer stays in the build folder (a crash found is fixed and its input
# kept as a named regression input, never committed as it is).
#   FUZZ_SECONDS   time per target (default 20)
#   FUZZ_BUILD_DIR build folder (default build-fuzz in the source tree)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-20}

cc=$(command -v clang || command -v clang-14 || true)
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z $cc || -z $cxx ]]; then
  echo "fuzz.sh: clang not found (Debian: apt-get install clang-14 libclang-rt-14-dev)" >&2
  exit 2
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
CC=$cc CXX=$cxx cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON
cmake --build "$build" -j2

status=0
for target in fuzz_frame fuzz_frame_joiner fuzz_firmware_header fuzz_data_map_header fuzz_session; do
  # A received chunk is at most 4096 bytes; the session's 256 steps take about a kilobyte.
  max_len=4200
  [[ $target == fuzz_session ]] && max_len=1024
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  regressions=$root/tests/fuzz/regressions/$target
  [[ -d $regressions ]] && cp -p "$regressions"/* "$corpus"/ 2>/dev/null || true
  echo "== $target (${seconds}s)"
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus"; then
    echo "fuzz.sh: $target failed; reproducer in $artifacts" >&2
    status=1
  fi
done
exit $status
