#!/usr/bin/env bash
# Builds the Debian package from a release build without tests: prints the .deb's path.
#   bash packaging/build-deb.sh [BUILD-FOLDER]      (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKYT_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && rm -f kytsip_*.deb && cpack -G DEB >&2)
ls "$PWD/$build"/kytsip_*.deb
