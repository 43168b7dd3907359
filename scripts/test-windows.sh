#!/usr/bin/env bash
# Builds the Windows programs and tests with MinGW-w64 into build-windows/ and runs them under Wine,
# against the simulated controller (Linux corvane-devsim on a pseudo-terminal) mapped as COM ports.
#
#   CORVANE_QT_WINDOWS  the prebuilt Qt for Windows: a .tar.xz (unpacked once into the cache) or an
#                       unpacked folder; default ../shared/toolchains/qt6-6.4.2-mingw-w64.tar.xz
#                       relative to the source folder; set but empty: built from Debian's source
#                       (scripts/build-qt-windows.sh)
#   CORVANE_CACHE       where the unpacked Qt is kept between runs;
#                       default ${XDG_CACHE_HOME:-$HOME/.cache}/corvane
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$SECONDS

# --- packages --------------------------------------------------------------------------------
timeout 1200 scripts/install-deps.sh --windows

# --- Qt for Windows --------------------------------------------------------------------------
# Unset, scripts/build-qt-windows.sh would build it from Debian's source (35-45 minutes).
qt=$(CORVANE_QT_WINDOWS=${CORVANE_QT_WINDOWS-$root/../shared/toolchains/qt6-6.4.2-mingw-w64.tar.xz} \
     scripts/build-qt-windows.sh)

# --- the Linux simulated controller ----------------------------------------------------------
devsim=$root/build/tools/corvane-devsim/corvane-devsim
if [ ! -x "$devsim" ]; then
  echo "== building corvane-devsim (Linux) in build/"
  scripts/install-deps.sh
  timeout 600 cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
  timeout 1200 cmake --build build -j "$(nproc)" --target corvane-devsim
fi

# --- the Windows build -----------------------------------------------------------------------
build=$root/build-windows
echo "== building for Windows in build-windows/"
timeout 600 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine
timeout 2400 cmake --build "$build" -j "$(nproc)"

# Every program needs Qt's and the MinGW runtime's DLLs beside it.
mingw_runtime=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix/libgcc_s_seh-1.dll
               /usr/lib/gcc/x86_64-w64-mingw32/*-posix/libstdc++-6.dll
               /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
while read -r folder; do
  cp -u "${mingw_runtime[@]}" "$qt"/bin/Qt6{Core,Gui,Widgets,Test}.dll "$folder"/
  mkdir -p "$folder/platforms"
  cp -u "$qt"/plugins/platforms/q{windows,offscreen}.dll "$folder/platforms/"
done < <(find "$build" -name '*.exe' -not -path "$build/wine/*" -not -path "$build/_CPack_Packages/*" -printf '%h\n' | sort -u)

# Under Wine the offscreen platform knows only the fonts in lib/fonts beside the program: the
# window's tests get the Arial-metric Liberation Sans, as on Linux (Windows has MS Sans Serif).
for folder in "$build/tests/app" "$build/tests/windows"; do
  mkdir -p "$folder/lib/fonts"
  cp -u /usr/share/fonts/truetype/liberation2/LiberationSans-*.ttf "$folder/lib/fonts/"
done

# The modem-line shim for pseudo-terminals (test code, built for the host).
mkdir -p "$build/host"
gcc -O2 -Wall -Wextra -shared -fPIC -o "$build/host/pty_modem_shim.so" tests/windows/pty_modem_shim.c -ldl

# --- Wine ------------------------------------------------------------------------------------
# No Mono or Gecko prompts, and no menu entries on the host for what the installer makes.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix build-windows/wine"
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 120 wineserver -w
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a simulated controller with the given options; its output goes to $work/<name>.out and
# its pseudo-terminal's path (the first line) is printed.
start_devsim() {
  local name=$1
  shift
  "$devsim" "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  timeout 10 bash -c "until [ -s '$work/$name.out' ]; do sleep 0.05; done"
  head -n 1 "$work/$name.out"
}

# Maps COM ports to pseudo-terminals: "COM5=/dev/pts/3 ...". Wine's device manager reads the
# mapping when the wineserver starts.
map_ports() {
  for pair in "$@"; do
    timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null
  done
  timeout 60 wineserver -k || true
  timeout 60 wineserver -w || true
}

# Wine cancels every WaitCommEvent on a pseudo-terminal without the shim.
export LD_PRELOAD=$build/host/pty_modem_shim.so

# Under Wine on a busy machine a reply can miss the 40 ms of the first block: the controller takes
# a block equal to the one before as its resend, as a bootloader that checks the sequence does.
pty_main=$(start_devsim main --type 1 --firmware 10 --data-version 3 --strict-resends)
pty_vanishing=$(start_devsim vanishing --type 1 --vanish-after-blocks 0)
map_ports "COM5=$pty_main" "COM6=$pty_vanishing"

echo "== tests under Wine"
failed=0
CORVANE_TEST_COM=COM5 CORVANE_TEST_VANISHING_COM=COM6 \
  timeout 900 ctest --test-dir "$build" --no-tests=error --timeout 180 || failed=1
if [ $failed -ne 0 ]; then
  # QtTest under Wine writes its report to a file (see cmake/Testing.cmake).
  while read -r line; do
    name=${line#*:}
    log=$(find "$build/tests" -name "$name.log" | head -n 1)
    [ -n "$log" ] && { echo "--- $name"; cat "$log"; }
  done < "$build/Testing/Temporary/LastTestsFailed.log"
  exit 1
fi

echo "== corvane-pack.exe and corvane-flash.exe against the simulated controller on COM5"
flash=$build/src/cli/corvane-flash.exe
pack=$build/tools/corvane-pack/corvane-pack.exe
# Windows names for the files: a Unix path's leading slash would read as an option there.
win() { timeout 30 winepath -w "$1"; }
head -c 1280 /dev/urandom >"$work/image.bin"
timeout 60 wine "$pack" firmware --type 1 --version 11 --closing 0x1234 "$(win "$work/image.bin")" "$(win "$work/fw.sbin")"
timeout 60 wine "$flash" --version | tr -d '\r'
timeout 120 wine "$flash" --port COM5 identify | tr -d '\r' | tee "$work/identify.out"
timeout 300 wine "$flash" --port COM5 --yes firmware "$(win "$work/fw.sbin")" | tr -d '\r' | tee "$work/firmware.out"
grep -Eq "transfer end: FirmwareEnd after [0-9]+ blocks, .* closing value 0x00001234, verdict 1 \(success\)" "$work/main.out" || {
  echo "the controller did not receive the firmware intact:" >&2
  cat "$work/main.out" >&2
  exit 1
}

timeout 60 wine "$build/src/app/corvane-programmer.exe" -platform offscreen --demo 2>"$work/demo.err" && status=0 || status=$?
[ "$status" -eq 64 ] && grep -q "needs a pseudo-terminal" "$work/demo.err" || {
  echo "corvane-programmer.exe --demo: exit status $status, expected 64:" >&2
  cat "$work/demo.err" >&2
  exit 1
}

echo "== the installer: built, installed silently, the installed programs tried, uninstalled"
(cd "$build" && timeout 900 cpack -G NSIS >/dev/null)
installer=$build/corvane-programmer-1.28-win64.exe
installed="$WINEPREFIX/drive_c/Program Files/Corvane Programmer"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane Programmer"
timeout 300 wine "$installer" /S
timeout 120 wineserver -w
for file in corvane-programmer.exe corvane-flash.exe corvane-pack.exe Qt6Widgets.dll platforms/qwindows.dll \
            voice/update_is_ready.wav voice/update_failed.wav Uninstall.exe; do
  [ -f "$installed/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
# The shortcut starts the window in the install folder, where voice\ is.
strings -el "$menu/Corvane Programmer.lnk" | grep -qE '^.?C:\\Program Files\\Corvane Programmer$' || {
  echo "the Start-menu shortcut does not start in the install folder" >&2
  exit 1
}
timeout 60 wine "$installed/corvane-flash.exe" --version | tr -d '\r'
timeout 120 wine "$installed/corvane-flash.exe" --port COM5 identify | tr -d '\r' | grep "Quarnel Basis"
# The window as the shortcut starts it: its port list (the trace on standard output) names COM5
# and it finds its sounds; then it is ended.
(cd "$installed" && exec timeout 120 wine corvane-programmer.exe -platform offscreen >"$work/window.out" 2>"$work/window.err") &
window=$!
timeout 60 bash -c "until grep -q '^COM5' '$work/window.out'; do sleep 0.1; done" || {
  echo "the installed window did not list COM5:" >&2
  cat "$work/window.out" "$work/window.err" >&2
  exit 1
}
if grep -q "sound file missing" "$work/window.err"; then
  echo "the installed window did not find its sounds:" >&2
  cat "$work/window.err" >&2
  exit 1
fi
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
timeout 60 wineserver -k || true
timeout 300 wine 'C:\Program Files\Corvane Programmer\Uninstall.exe' /S
timeout 120 wineserver -w
if [ -e "$installed" ] || [ -e "$menu" ] ||
   timeout 60 wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane Programmer' >/dev/null 2>&1; then
  echo "the uninstaller left something behind:" >&2
  find "$installed" "$menu" 2>/dev/null >&2
  exit 1
fi

echo "== Windows: passed in $((SECONDS - start)) s"
