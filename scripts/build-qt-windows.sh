#!/usr/bin/env bash
# Makes Qt 6 (Core, Gui, Widgets, Test) for x86_64 Windows available in a cache folder outside the
# clone and prints its folder on standard output (everything else goes to standard error).
#   CORVANE_QT_WINDOWS  a prebuilt copy: a .tar.xz of it (unpacked once) or an unpacked folder.
#                       Unset: Qt is built from Debian's own qt6-base source with MinGW-w64 and
#                       the host's Qt tools (35-45 minutes on two cores; later runs reuse it).
#   CORVANE_CACHE       the cache folder; default ${XDG_CACHE_HOME:-$HOME/.cache}/corvane
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${CORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane}
qt=$cache/qt6-6.4.2-mingw-w64
mkdir -p "$cache"
exec 3>&1 1>&2  # only the folder goes to the caller

if [ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$qt" >&3
  exit 0
fi

if [ -n "${CORVANE_QT_WINDOWS:-}" ]; then
  if [ -d "$CORVANE_QT_WINDOWS" ]; then
    (cd "$CORVANE_QT_WINDOWS" && pwd) >&3
    exit 0
  fi
  echo "== unpacking $CORVANE_QT_WINDOWS into $cache"
  unpack=$(mktemp -d "$cache/unpack.XXXXXX")
  timeout 300 tar -xJf "$CORVANE_QT_WINDOWS" -C "$unpack"
  rm -rf "$qt"
  mv "$unpack/qt6-6.4.2-mingw-w64" "$qt"
  rmdir "$unpack"
  echo "$qt" >&3
  exit 0
fi

# Built from Debian's source: apt-get source needs deb-src lines beside the deb ones.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list 2>/dev/null | $sudo tee /etc/apt/sources.list.d/corvane-src.list >/dev/null
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types: deb$/Types: deb deb-src/' "$f" | $sudo tee "$f.tmp" >/dev/null && $sudo mv "$f.tmp" "$f"
  done
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends \
  g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools dpkg-dev cmake ninja-build
work=$cache/qt-build
rm -rf "$work"
mkdir -p "$work/build"
(cd "$work" && apt-get source qt6-base)
source_dir=$(ls -d "$work"/qt6-base-*/ | head -n 1)
cd "$work/build"
"$source_dir/configure" -prefix "$qt" -release -qt-host-path /usr \
  -nomake tests -nomake examples -no-opengl -no-dbus \
  -no-feature-network -no-feature-sql -no-feature-printsupport -no-feature-concurrent \
  -no-feature-xml -no-feature-tabletevent \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
  -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
     -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
ninja
ninja install
rm -rf "$work"
echo "$qt" >&3
