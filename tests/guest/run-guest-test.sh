#!/usr/bin/env bash
# The programs on real kernel drivers. Boots Debian's kernel under qemu (software emulation)
# with an emulated 16550 UART (guest /dev/ttyS1, driver 8250) and an emulated USB FTDI adapter
# (guest /dev/ttyUSB0, drivers xhci_pci and ftdi_sio), each wired to a corvane-devsim on this
# host. The guest shares this host's root read-only over 9p and runs guest-scenarios.sh in it
# (identify and update over both ports, an update through the window, the adapter unplugged
# mid-transfer and plugged in again); this script does the unplug and replug over QMP when the
# guest asks, and checks the results the guest left in the writable results folder.
#
#   run-guest-test.sh --flash F --devsim D --pack P --window W --work DIR
#
# Exit status: 0 when every scenario passed, 1 when one failed or the guest did not finish,
# 77 (skipped) when qemu cannot run at all here. The kernel is fetched into a cache folder
# outside the source tree (fetch-kernel.sh) when it is not there yet.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# The guest is stopped 330 s after this script started (a first run also fetches the kernel),
# so that its results are still printed within ctest's 360.
deadline=$((${EPOCHREALTIME/./} + 330 * 1000000))

while (($#)); do
  case $1 in
    --flash) flash=$2 ;;
    --devsim) devsim=$2 ;;
    --pack) pack=$2 ;;
    --window) window=$2 ;;
    --work) work=$2 ;;
    *) echo "run-guest-test: unknown argument $1" >&2; exit 64 ;;
  esac
  shift 2
done

log() { echo "guest-test: $*"; }
die() { echo "guest-test: FAILED: $*" >&2; exit 1; }
now() { echo "${EPOCHREALTIME/./}"; }  # microseconds

pids=()
# QMP's socket lives in a short folder of its own: a socket's path may hold at most 107 bytes.
qmp_dir=$(mktemp -d /tmp/corvane-qmp.XXXXXX)
qmp_socket=$qmp_dir/qmp.sock
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  wait 2> /dev/null || true
  rm -rf "$qmp_dir"
}
trap cleanup EXIT

# Skips (77) where qemu cannot start a machine at all: not installed, or unable to run here.
require_qemu() {
  if ! command -v qemu-system-x86_64 > /dev/null; then
    echo "guest-test: SKIPPED: qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
    exit 77
  fi
  if ! printf '%s\n' '{"execute":"qmp_capabilities"}' '{"execute":"quit"}' |
    timeout 60 qemu-system-x86_64 -machine none -accel tcg -nodefaults -display none -qmp stdio > /dev/null 2>&1; then
    echo "guest-test: SKIPPED: qemu-system-x86_64 cannot start a machine here"
    exit 77
  fi
}

# The initramfs: busybox, the init script and the modules of the named drivers with everything
# they depend on (from modules.dep), under the kernel's own lib/modules/VERSION.
build_initramfs() {
  local kernel=$1 version=$2 root=$work/initramfs
  local modules=$kernel/lib/modules/$version
  [[ -x /bin/busybox ]] && ! ldd /bin/busybox > /dev/null 2>&1 ||
    die "/bin/busybox is missing or not static (Debian package busybox-static)"
  mkdir -p "$root"/{bin,dev,proc,sys,host,lib/modules/"$version"}
  cp /bin/busybox "$root/bin/busybox"
  cp "$here/init" "$root/init"
  local path
  for path in $(module_closure "$modules" 9p 9pnet_virtio virtio_pci xhci_pci ftdi_sio); do
    mkdir -p "$root/lib/modules/$version/$(dirname "$path")"
    decompressed "$modules/$path" > "$root/lib/modules/$version/${path%.xz}"
  done
  sed 's/\.ko\.xz/.ko/g' "$modules/modules.dep" > "$root/lib/modules/$version/modules.dep"
  (cd "$root" && find . | busybox cpio -o -H newc -R 0:0 2> /dev/null | gzip -1) > "$work/initramfs.cpio.gz"
}

decompressed() { case $1 in *.xz) xz -dc "$1" ;; *) cat "$1" ;; esac; }

# The module files (paths relative to the modules folder) of the named modules and their
# dependencies, from modules.dep ("path: dependency-path ...").
module_closure() {
  local modules=$1
  shift
  local name
  for name in "$@"; do
    name=${name//_/[-_]}
    grep -E "(^|/)${name}\.ko(\.xz)?:" "$modules/modules.dep" | tr -d ':' | tr ' ' '\n'
  done | sort -u
}

# Update files for the simulated controller (model 1, firmware 10): version 11, one small (136
# blocks) and one large enough (2056 blocks, 14 s of line time at 115200) to be unplugged
# mid-transfer.
# They go into the results folder, which the guest sees wherever the work folder is.
make_firmware() {
  head -c 8192 /dev/urandom > "$work/small.bin"
  head -c 131072 /dev/urandom > "$work/big.bin"
  "$pack" firmware --type 1 --version 11 --closing 0x1234 "$work/small.bin" "$work/out/small.sbin" > /dev/null
  "$pack" firmware --type 1 --version 11 --closing 0x1234 "$work/big.bin" "$work/out/big.sbin" > /dev/null
}

# Starts a simulated controller keeping the time of a 115200-baud line (as a real one does; qemu
# itself does not pace); devsim_path prints the path of its pseudo-terminal, its first line.
start_devsim() {
  "$devsim" --baud 115200 --type 1 --firmware 10 > "$work/$1.devsim" 2>&1 &
  pids+=($!)
}

devsim_path() {
  local name=$1 output=$work/$1.devsim
  local deadline=$(($(now) + 10000000))
  until [[ -s $output ]] && head -n 1 "$output" | grep -q '^/dev/'; do
    (($(now) > deadline)) && die "corvane-devsim for $name printed no path within 10 s: $(cat "$output")"
    sleep 0.05
  done
  head -n 1 "$output"
}

start_guest() {
  local kernel=$1 version=$2 uart_pty=$3 ftdi_pty=$4
  qemu-system-x86_64 \
    -accel tcg -machine q35 -cpu max -smp 1 -m 1024 \
    -nodefaults -display none -no-reboot \
    -kernel "$kernel/boot/vmlinuz-$version" -initrd "$work/initramfs.cpio.gz" \
    -append "console=ttyS0 panic=-1 loglevel=4 corvane_run=$here/guest-scenarios.sh corvane_out=$work/out" \
    -serial "file:$work/console.log" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work/out,mount_tag=results,security_model=none" \
    -chardev "serial,id=uart,path=$uart_pty" -device isa-serial,chardev=uart,index=1 \
    -device qemu-xhci,id=xhci \
    -chardev "serial,id=ftdi,path=$ftdi_pty" -device usb-serial,chardev=ftdi,id=ftdi,bus=xhci.0 \
    -qmp "unix:$qmp_socket,server=on,wait=off" \
    > "$work/qemu.log" 2>&1 &
  qemu_pid=$!
  pids+=("$qemu_pid")
}

unplug_adapter() { python3 "$here/qmp.py" "$qmp_socket" device_del '{"id": "ftdi"}'; }
replug_adapter() {
  python3 "$here/qmp.py" "$qmp_socket" device_add '{"driver": "usb-serial", "id": "ftdi", "chardev": "ftdi", "bus": "xhci.0"}'
}

# Does what the guest asks (request-ACTION -> done-ACTION) until qemu ends or the deadline passes.
serve_guest() {
  local action
  while kill -0 "$qemu_pid" 2> /dev/null; do
    for action in unplug replug; do
      if [[ -e $work/out/request-$action && ! -e $work/out/done-$action ]]; then
        log "$action of the FTDI adapter (QMP)"
        "${action}_adapter" >> "$work/qmp.log" 2>&1 || log "$action failed: $(tail -n 1 "$work/qmp.log")"
        touch "$work/out/done-$action"
      fi
    done
    if (($(now) > deadline)); then
      log "the guest did not finish in time; stopping it"
      kill "$qemu_pid"
      break
    fi
    sleep 0.05
  done
  wait "$qemu_pid" 2> /dev/null || true
}

expected_scenarios=(uart-identify uart-firmware ftdi-identify ftdi-firmware window-ftdi-firmware ftdi-unplug ftdi-replug)

# Prints every scenario's line and fails when one failed or is missing.
check_results() {
  local results=$work/out/results failed=0 name line
  [[ -e $work/out/init-failed ]] && { log "guest init failed: $(cat "$work/out/init-failed")"; failed=1; }
  for name in "${expected_scenarios[@]}"; do
    line=$(grep -m1 "^$name " "$results" 2> /dev/null || true)
    if [[ -z $line ]]; then
      log "$name: no result (the guest did not get there; see $work/console.log)"
      failed=1
    else
      log "$line"
      [[ $line == "$name PASS"* ]] || failed=1
    fi
  done
  grep -v -E "^($(IFS='|'; echo "${expected_scenarios[*]}")) " "$results" 2> /dev/null | sed 's/^/guest-test: /' || true
  check_device_records "$results" || failed=1
  log "logs of every program: $work/out"
  return "$failed"
}

# Each simulated controller's own record (a line per transfer) against the updates the guest saw
# succeed on its port: every success must be a whole small file the controller took as such.
check_device_records() {
  local results=$1 port blocks reported received
  blocks=$(($(stat -c %s "$work/out/small.sbin") / 64))
  for port in uart ftdi; do
    sed -n '2,$p' "$work/$port.devsim" | sed "s/^/guest-test: $port controller: /"
    reported=$(grep -cE "^(window-)?$port-firmware PASS" "$results" 2> /dev/null || true)
    received=$(grep -c "FirmwareEnd after $blocks blocks.*(success)" "$work/$port.devsim" || true)
    if ((reported != received)); then
      log "$port-device FAIL $reported updates reported successful, $received received whole by the controller"
      return 1
    fi
  done
}

main() {
  require_qemu
  command -v python3 > /dev/null || die "python3 is needed to talk to qemu's QMP (Debian package python3)"
  rm -rf "$work"
  mkdir -p "$work/out"
  local kernel version
  kernel=$("$here/fetch-kernel.sh") || die "no kernel (tests/guest/fetch-kernel.sh)"
  version=$(ls "$kernel/lib/modules")
  build_initramfs "$kernel" "$version"
  make_firmware

  local uart_pty ftdi_pty
  start_devsim uart
  start_devsim ftdi
  uart_pty=$(devsim_path uart)
  ftdi_pty=$(devsim_path ftdi)
  cat > "$work/out/guest.env" <<ENV
FLASH=$flash
WINDOW=$window
FIRMWARE=$work/out/small.sbin
BIG_FIRMWARE=$work/out/big.sbin
ENV
  log "kernel $version; UART on $uart_pty, FTDI adapter on $ftdi_pty; booting the guest"
  local start
  start=$(now)
  start_guest "$kernel" "$version" "$uart_pty" "$ftdi_pty"
  serve_guest
  log "guest ran $((($(now) - start) / 1000000)) s; console: $work/console.log"
  check_results
}

main
