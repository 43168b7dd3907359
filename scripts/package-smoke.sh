#!/usr/bin/env bash
# Installs the Debian package with apt-get, tries the installed files only (nothing of the
# source or build tree), then removes the package again.
#   scripts/package-smoke.sh [PACKAGE.deb]     default: build-package/corvane-programmer_*.deb
# Needs root. Every wait has a deadline; run it under `timeout` all the same.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls build-package/corvane-programmer_*.deb)}")
export DEBIAN_FRONTEND=noninteractive PATH=/usr/sbin:/usr/bin:/sbin:/bin

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
  apt-get remove -y --purge corvane-programmer >/dev/null 2>&1 || true
}
trap cleanup EXIT
step() { echo "== smoke: $*"; }
die() {
  echo "smoke test FAILED: $*" >&2
  exit 1
}
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds or the deadline passes.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

step "install $deb"
apt-get install -y "$deb"
cd "$work"

step "corvane-flash --version"
[ "$(command -v corvane-flash)" = /usr/bin/corvane-flash ] || die "corvane-flash is not /usr/bin/corvane-flash"
version=$(corvane-flash --version)
echo "$version"
[[ $version == "corvane-flash "* ]] || die "unexpected version: $version"

step "corvane-devsim + corvane-pack + corvane-flash over a pseudo-terminal"
coproc corvane-devsim --interval 50
pids+=("$COPROC_PID")
read -r -t 10 port <&"${COPROC[0]}" || die "corvane-devsim printed no port"
echo "simulated controller on $port"
corvane-flash --port "$port" --scan-timeout 5 identify >identify.txt || die "identify failed: $(cat identify.txt)"
grep -q "Quarnel Basis" identify.txt || die "no report: $(cat identify.txt)"
head -c 1280 /dev/urandom >image.bin
corvane-pack firmware --type 1 --version 11 --closing 1234 image.bin fw.sbin
corvane-flash --port "$port" --scan-timeout 5 firmware fw.sbin >flash.txt || die "firmware update failed: $(cat flash.txt)"
grep -q "Firmware update completed successfully!" flash.txt || die "no verdict: $(cat flash.txt)"
kill "$COPROC_PID"

step "the window, started as its launcher starts it"
desktop=/usr/share/applications/corvane-programmer.desktop
program=$(sed -n 's/^Exec=//p' "$desktop")
folder=$(sed -n 's/^Path=//p' "$desktop")
(cd "$folder" && QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="corvane.sound.debug=true" exec $program --demo) \
  >window.out 2>window.err &
window=$!
pids+=("$window")
sounds_found() { [ "$(grep -c '^corvane.sound: sound file: /usr/share/corvane-programmer/voice/' window.err)" -eq 2 ]; }
wait_for 30 sounds_found || die "the window did not find its installed sounds: $(cat window.err)"
grep '^corvane.sound' window.err
kill -TERM "$window"
for _ in $(seq 100); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
kill -0 "$window" 2>/dev/null && die "the window did not end on SIGTERM"
wait "$window" || die "the window ended with status $?"

step "man corvane-flash"
man -w corvane-flash
MANPAGER=cat MANWIDTH=80 man corvane-flash | grep -q "corvane-flash" || die "man corvane-flash shows nothing"

step "remove"
apt-get remove -y --purge corvane-programmer
[ ! -e /usr/bin/corvane-flash ] || die "corvane-flash left behind"
[ ! -e /usr/share/corvane-programmer ] || die "share folder left behind"
echo "package smoke test passed"
