#!/bin/sh
# make bench: builds the benchmark and runs it on a virtual display in a Wine
# prefix of its own. Prints a Markdown table; ratios are the program's time
# over the platform tool's, measured in the same run.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
cmake --build --preset mingw-i686 --target kmx_bench >/dev/null
. scripts/wine-env.sh
prefix="$KMX_BUILD/wineprefix-bench"
scripts/prepare-prefix.sh "$prefix" test
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    export WINEPREFIX="$1"
    wineserver -p
    trap "wineserver -k" EXIT
    wine cmd /c exit </dev/null >/dev/null 2>&1
    wine "$2" 2>/dev/null
' sh "$prefix" "$KMX_BUILD/bin/kmx_bench.exe"
