#!/usr/bin/env bash
# Fetches Debian's generic kernel (the one with USB host and USB serial drivers as modules) into a
# cache folder outside the source tree, unpacked, not installed, and indexes its modules so the
# guest's busybox modprobe can resolve their dependencies.
#   tests/guest/fetch-kernel.sh [CACHE]     prints the folder holding boot/ and lib/modules/
# CACHE defaults to $CORVANE_GUEST_CACHE, else ~/.cache/corvane-guest. Needs apt-get's package
# lists (apt-get update) and network the first time; later runs find the unpacked kernel.
set -euo pipefail

cache=${1:-${CORVANE_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane-guest}}

# linux-image-amd64 is a metapackage; the kernel itself is the package it depends on.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}

# The newest unpacked kernel already in the cache, if any (used when apt knows no package).
cached_kernel() {
  local dir
  for dir in $(ls -d "$cache"/linux-image-*/ 2>/dev/null | sort -rV); do
    [[ -f $dir/.complete ]] && { echo "${dir%/}"; return 0; }
  done
  return 1
}

# Unpacks the package into $cache/$package and writes modules.dep with busybox's depmod (the
# package leaves that to its install scripts). The .complete stamp marks a finished unpack.
unpack() {
  local package=$1 dir=$cache/$1
  [[ -f $dir/.complete ]] && return 0
  rm -rf "$dir" "$cache/download"
  mkdir -p "$cache/download"
  (cd "$cache/download" && apt-get download -q "$package" >&2)
  dpkg-deb -x "$cache"/download/"$package"_*.deb "$dir"
  local version
  version=$(ls "$dir/lib/modules")
  busybox depmod -b "$dir" "$version"
  rm -rf "$cache/download"
  touch "$dir/.complete"
  # An older kernel, replaced by this one, is not kept (each takes about 400 MB).
  find "$cache" -mindepth 1 -maxdepth 1 -name 'linux-image-*' ! -name "$package" -exec rm -rf {} +
}

mkdir -p "$cache"
package=$(kernel_package || true)
if [[ -n $package ]]; then
  unpack "$package"
  echo "$cache/$package"
elif ! cached_kernel; then
  echo "fetch-kernel: apt knows no linux-image-amd64 (run apt-get update) and $cache holds none" >&2
  exit 1
fi
