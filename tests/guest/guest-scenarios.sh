#!/usr/bin/env bash
# The scenarios inside the guest, run by the guest's init chrooted into the host's root:
#   guest-scenarios.sh OUT
# OUT is the results folder shared with the host (writable). guest.env there names the programs
# and files (set by run-guest-test.sh). Each scenario appends one line to OUT/results,
#   NAME PASS|FAIL what happened
# and leaves its programs' output in OUT/NAME.log. The host reads them after the guest ends.
# Unplugging and replugging the FTDI adapter is the host's part (over QMP): the guest asks for it
# by creating OUT/request-ACTION and waits for OUT/done-ACTION.
set -uo pipefail

out=$1
# shellcheck source=/dev/null
source "$out/guest.env"  # FLASH WINDOW FIRMWARE BIG_FIRMWARE
export XDG_RUNTIME_DIR=/tmp/xdg QT_QPA_PLATFORM=offscreen
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

uart=/dev/ttyS1
ftdi=/dev/ttyUSB0

report() {  # NAME PASS|FAIL DETAIL...
  local name=$1 verdict=$2
  shift 2
  echo "$name $verdict $*" >> "$out/results"
  echo "guest: $name $verdict $*"
}

# Polls CONDITION (a command) every 20 ms until it holds or SECONDS pass.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((${EPOCHREALTIME/./} + seconds * 1000000))
  until "$@"; do
    ((${EPOCHREALTIME/./} > deadline)) && return 1
    sleep 0.02
  done
}

elapsed_since() {  # START (an $EPOCHREALTIME) -> seconds, 2 decimals
  local us=$((${EPOCHREALTIME/./} - ${1/./}))
  printf '%d.%02d' $((us / 1000000)) $((us % 1000000 / 10000))
}

# Standard error without the link's trace (--trace lines begin with their category, corvane.*).
said_for_people() { grep -v '^corvane\.' "$1"; }

# The last line a program wrote on standard error for people, as the reason of a failure.
last_words() { said_for_people "$1" | tail -n 1 | tr -d '\r' | cut -c1-160; }

# Asks the host to unplug or replug the FTDI adapter and waits for it to be done.
ask_host() {
  local action=$1
  touch "$out/request-$action"
  wait_until 20 test -e "$out/done-$action"
}

# corvane-flash NAME PORT EXPECTED-OUTPUT ARGS...: passes on exit 0 with EXPECTED-OUTPUT (a grep
# pattern) on standard output.
flash_scenario() {
  local name=$1 port=$2 expected=$3
  shift 3
  local log=$out/$name.log start=$EPOCHREALTIME status
  timeout 150 "$FLASH" --trace --port "$port" --scan-timeout 20 "$@" > "$log.out" 2> "$log"
  status=$?
  # Resends are counted, not failed: on these emulated lines nothing is lost, so a resend is a
  # frame the program did not take, but a guest stalled long enough could also cause one.
  local resends
  resends=$(grep -c 'request resent' "$log")
  if ((status == 0)) && grep -q "$expected" "$log.out"; then
    report "$name" PASS "on $port in $(elapsed_since "$start") s, $resends resends"
  else
    report "$name" FAIL "on $port: exit $status after $(elapsed_since "$start") s, $resends resends: $(last_words "$log")"
  fi
}

identify() { flash_scenario "$1-identify" "$2" 'Подключено устройство' identify; }
update() { flash_scenario "$1-firmware" "$2" 'completed successfully' --yes firmware "$FIRMWARE"; }

window_update() {
  local name=window-ftdi-firmware log=$out/window-ftdi-firmware.log start=$EPOCHREALTIME status
  QT_LOGGING_RULES='corvane.*.debug=true' timeout 180 "$WINDOW" "$ftdi" "$FIRMWARE" > "$log" 2>&1
  status=$?
  local resends
  resends=$(grep -c 'request resent' "$log")
  if ((status == 0)); then
    report "$name" PASS "on $ftdi in $(elapsed_since "$start") s, $resends resends"
  else
    report "$name" FAIL "on $ftdi: exit $status after $(elapsed_since "$start") s, $resends resends: $(grep -m1 '^box:\|^no ' "$log")"
  fi
}

# A transfer is under way once corvane-flash has reported 20 blocks sent.
transfer_running() { grep -q '"event":"progress".*"sent":\([2-9][0-9]\|[0-9][0-9][0-9]\)' "$1"; }
adapter_gone() { ! test -e /sys/class/tty/ttyUSB0; }
process_ended() { ! kill -0 "$1" 2> /dev/null; }

# Ends a corvane-flash still running and reports the scenario failed: PID NAME REASON.
give_up() {
  kill "$1" 2> /dev/null
  wait "$1"
  report "$2" FAIL "$3"
}

# What is wrong with how corvane-flash ended after the unplug: LOG STATUS SECONDS, one problem a
# line (none: all is well).
unplug_problems() {
  local log=$1 status=$2 took=$3
  ((status == 3)) || echo "exit $status, not 3"
  [[ ${took%.*} -lt 2 ]] || echo "ended ${took} s after the unplug, not within 2 s"
  removal_named "$log" > /dev/null || echo "no message naming the removal as the cause"
  grep -q 'QIODevice::' "$log" && echo "Qt warning: $(grep -m1 'QIODevice::' "$log")"
  after_last_close "$log" | grep -q 'resent' && echo "a resend after the port was closed"
  return 0
}

# The trace after the port's last close (the scan closes it between its tries, too).
after_last_close() {
  awk '/^corvane\.serial: close/ { last = NR } { line[NR] = $0 }
       END { if (last) for (i = last + 1; i <= NR; ++i) print line[i] }' "$1"
}

# The first message for people that names the adapter's removal.
removal_named() { said_for_people "$1" | grep -m1 -iE 'removed|unplugged|vanished|disappeared' | cut -c1-100; }

# The adapter is unplugged (by the host, QMP device_del) while a firmware update runs over it:
# corvane-flash must end with exit status 3 within 2 s of the kernel removing the port, name the
# removal as the cause, print no Qt warning and send nothing after closing the port.
unplug_mid_transfer() {
  local name=ftdi-unplug log=$out/ftdi-unplug.log
  "$FLASH" --json --trace --port "$ftdi" --scan-timeout 20 --yes firmware "$BIG_FIRMWARE" \
    > "$log.json" 2> "$log" &
  local pid=$!
  wait_until 60 transfer_running "$log.json" ||
    { give_up "$pid" "$name" "no transfer under way within 60 s: $(last_words "$log")"; return; }
  ask_host unplug || { give_up "$pid" "$name" "the host did not unplug the adapter"; return; }
  wait_until 10 adapter_gone || { give_up "$pid" "$name" "ttyUSB0 still there 10 s after the unplug"; return; }
  local gone=$EPOCHREALTIME
  wait_until 30 process_ended "$pid" ||
    { give_up "$pid" "$name" "corvane-flash still running 30 s after the unplug"; return; }
  wait "$pid"
  local status=$? took problems
  took=$(elapsed_since "$gone")
  problems=$(unplug_problems "$log" "$status" "$took")
  if [[ -z $problems ]]; then
    report "$name" PASS "exit 3 ${took} s after the unplug: $(removal_named "$log")"
  else
    report "$name" FAIL "exit $status ${took} s after the unplug: ${problems//$'\n'/; }"
  fi
}

# A USB serial port listed by `corvane-flash ports`, if any.
listed_usb_port() { "$FLASH" ports 2> /dev/null | grep -o '^/dev/ttyUSB[0-9]*' | head -n 1; }
usb_port_listed() { [[ -n $(listed_usb_port) ]]; }

# The adapter plugged in again (QMP device_add) shows in the port list (perhaps as ttyUSB1) and
# a controller is identified on it.
replug() {
  local name=ftdi-replug
  ask_host replug || { report "$name" FAIL "the host did not replug the adapter"; return; }
  if ! wait_until 20 usb_port_listed; then
    report "$name" FAIL "no ttyUSB port in 'corvane-flash ports' 20 s after the replug"
    "$FLASH" ports > "$out/$name.log" 2>&1
    return
  fi
  local port
  port=$(listed_usb_port)
  "$FLASH" ports > "$out/$name-ports.log" 2>&1
  flash_scenario "$name" "$port" 'Подключено устройство' identify
}

main() {
  identify uart "$uart"
  update uart "$uart"
  if wait_until 20 test -e "$ftdi"; then
    identify ftdi "$ftdi"
    update ftdi "$ftdi"
    window_update
    unplug_mid_transfer
    replug
  else
    report ftdi-adapter FAIL "$ftdi did not appear within 20 s"
  fi
  dmesg > "$out/dmesg.log"
}

main
