#!/bin/sh
# build.sh [x86|x64 ...]: installs what is missing, then configures and builds
# the program and its tests for each architecture (both by default), in
# build/x86 and build/x64.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
[ $# -gt 0 ] || set -- x86 x64
for arch in "$@"; do
    [ -f "build/$arch/CMakeCache.txt" ] || cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" -j "$(nproc)"
done
