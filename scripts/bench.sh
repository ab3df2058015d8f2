#!/bin/sh
# make bench: builds the benchmark and runs it on a virtual display in a Wine
# prefix of its own, with the 32-bit program where the machine runs it and
# the 64-bit one otherwise. Prints a Markdown table; ratios are the program's
# time over the platform tool's, measured in the same run.
set -eu
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
arch=$(kmx_run_arch)
scripts/build.sh "$arch"
cmake --build --preset "$arch" --target kmx_bench >/dev/null
kmx_use "$arch"
prefix="$KMX_BUILD/wineprefix-bench"
scripts/prepare-prefix.sh "$arch" "$prefix" test
if [ "$arch" = x86 ]; then
    echo "Program: the 32-bit build (build/x86)"
else
    echo "Program: the 64-bit build (build/x64); the 32-bit one cannot run: $(kmx_no_32bit_reason)"
fi
echo "Machine: $(kmx_machine)"
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    . "$KMX_ROOT/scripts/wine-env.sh"
    kmx_use "$1"
    export WINEPREFIX="$2"
    kmx_wineserver -p
    trap "kmx_wineserver -k" EXIT
    kmx_wine cmd /c exit </dev/null >/dev/null 2>&1
    kmx_wine "$KMX_BUILD/bin/kmx_bench.exe" 2>/dev/null
' sh "$arch" "$prefix"
