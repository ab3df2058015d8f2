#!/bin/sh
# The README's picture: the program with the sample entries, one selected,
# in a prefix of its own so that no earlier edit shows.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
. scripts/wine-env.sh
prefix="$KMX_BUILD/wineprefix-screenshot"
scripts/prepare-prefix.sh "$prefix" test
export WINEPREFIX="$prefix"
wine reg delete 'HKCU\Software\QBL' /f >/dev/null 2>&1 || true
wine regedit /s "Z:$(echo "$PWD/examples/sample-settings.reg" | tr / '\\')" >/dev/null 2>&1
wineserver -w
mkdir -p docs
exec xvfb-run -a -s "-screen 0 1024x768x24" scripts/screenshot.sh "$KMX_BUILD/bin/KMXHooksManager.exe" "$PWD/docs/screenshot.png" 2
