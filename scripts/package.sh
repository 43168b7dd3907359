#!/usr/bin/env bash
# Builds the Debian package in build-package/ (Debian's build flags, prefix /usr, no tests) and
# checks it with lintian. Leaves build-package/corvane-programmer_*.deb.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package

# Hardening and optimisation as Debian builds its packages (CMake reads no CPPFLAGS).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
eval "$(dpkg-buildflags --export=sh)"

dir=build-package
rm -f "$dir"/corvane-programmer_*.deb
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"
cmake --build "$dir" -j "$(nproc)" --target corvane-programmer corvane-flash corvane-devsim corvane-pack corvane_docs
(cd "$dir" && cpack -G DEB)

deb=$(ls "$dir"/corvane-programmer_*.deb)
dpkg-deb --info "$deb"
# The tags accepted, each with its reason, are listed in packaging/lintian-accepted.
accepted=$(grep -v '^#' packaging/lintian-accepted | awk 'NF {print $1}' | paste -sd, -)
lintian --fail-on error,warning --display-info ${accepted:+--suppress-tags "$accepted"} "$deb"
echo "package: $deb"
