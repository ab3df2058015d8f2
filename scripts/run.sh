#!/bin/sh
# Builds and starts the program under Wine in a private prefix under build/.
# The prefix is seeded once from examples/sample-settings.reg. Without a
# display the program runs on a virtual one, a screenshot of the dialog is
# saved and the program is closed again.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
. scripts/wine-env.sh
prefix="$KMX_BUILD/wineprefix"
fresh=0
[ -f "$prefix/.kmx-ready" ] || fresh=1
scripts/prepare-prefix.sh "$prefix"
export WINEPREFIX="$prefix"
if [ $fresh = 1 ]; then
    wine regedit /s "Z:$(echo "$PWD/examples/sample-settings.reg" | tr / '\\')" >/dev/null 2>&1
    wineserver -w
fi
exe="$KMX_BUILD/bin/KMXHooksManager.exe"

if [ -n "${DISPLAY:-}" ]; then
    exec wine "$exe"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" scripts/screenshot.sh "$exe" "$KMX_BUILD/screenshot.png"
