#!/usr/bin/env bash
# Makes docs/screenshot.png: the real window under Xvfb, connected to the demo's simulated
# controller (CONNECT clicked with xdotool), grabbed with ImageMagick's import.
#   scripts/screenshot.sh [PROGRAM]     default: builds build-demo/src/app/corvane-programmer
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --screenshot
program=${1:-}
if [ -z "$program" ]; then
  cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-demo -j "$(nproc)" --target corvane-programmer
  program=build-demo/src/app/corvane-programmer
fi
mkdir -p docs
export PROGRAM=$(realpath "$program") OUT=$(realpath docs)/screenshot.png

xvfb-run -a -s "-screen 0 1280x800x24" bash -euo pipefail -c '
  "$PROGRAM" --demo >/dev/null 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^Corvane Programmer")
  wid=${wid%%$'"'"'\n'"'"'*}
  xdotool mousemove --window "$wid" 85 140 click 1   # CONNECT
  # Connected once the background has turned light green (169, 234, 159).
  deadline=$((SECONDS + 20))
  until [ "$(import -window "$wid" -crop 1x1+2+124 -depth 8 txt:- | grep -o "#A9EA9F")" = "#A9EA9F" ]; do
    [ $SECONDS -lt $deadline ] || { echo "the window did not connect" >&2; exit 1; }
    sleep 0.2
  done
  import -window "$wid" "$OUT"
'
echo "wrote $OUT"
