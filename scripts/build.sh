#!/bin/sh
# Configures and builds the program and its tests with the MinGW-w64 preset.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
[ -f build/CMakeCache.txt ] || cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j "$(nproc)"
