#!/bin/sh
# The README's picture: the program with the sample entries, one selected,
# in a prefix of its own so that no earlier edit shows. Uses the 32-bit
# program where the machine runs it, the 64-bit one otherwise.
set -eu
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
arch=$(kmx_run_arch)
scripts/build.sh "$arch"
kmx_use "$arch"
echo "Drawing the screenshot with the $arch program."
prefix="$KMX_BUILD/wineprefix-screenshot"
scripts/prepare-prefix.sh "$arch" "$prefix" test
export WINEPREFIX="$prefix"
kmx_wine reg delete 'HKCU\Software\QBL' /f >/dev/null 2>&1 || true
kmx_wine regedit /s "Z:$(echo "$PWD/examples/sample-settings.reg" | tr / '\\')" >/dev/null 2>&1
kmx_wineserver -w
mkdir -p docs
exec xvfb-run -a -s "-screen 0 1024x768x24" scripts/screenshot.sh "$arch" "$KMX_BUILD/bin/KMXHooksManager.exe" "$PWD/docs/screenshot.png" 2
