#!/bin/sh
# Builds and starts the program under Wine in a private prefix under build/:
# the 32-bit program where this machine runs 32-bit code, the 64-bit one
# otherwise. The prefix is seeded once from examples/sample-settings.reg.
# Without a display the program runs on a virtual one, a screenshot of the
# dialog is saved and the program is closed again.
set -eu
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
arch=$(kmx_run_arch)
scripts/build.sh "$arch"
kmx_use "$arch"
if [ "$arch" = x86 ]; then
    echo "Starting the 32-bit program (build/x86)."
else
    echo "Starting the 64-bit program (build/x64); the 32-bit one cannot run: $(kmx_no_32bit_reason)."
fi
prefix="$KMX_BUILD/wineprefix"
fresh=0
[ -f "$prefix/.kmx-ready" ] || fresh=1
scripts/prepare-prefix.sh "$arch" "$prefix"
export WINEPREFIX="$prefix"
if [ $fresh = 1 ]; then
    # Seeded once; a failed seeding makes the next run make the prefix anew.
    if ! kmx_step "regedit /s examples/sample-settings.reg (seeding the prefix)" \
        "$KMX_WINE" regedit /s "Z:$(echo "$PWD/examples/sample-settings.reg" | tr / '\\')"; then
        rm -f "$prefix/.kmx-ready"
        exit 1
    fi
    kmx_wineserver -w
fi
exe="$KMX_BUILD/bin/KMXHooksManager.exe"

if [ -n "${DISPLAY:-}" ]; then
    exec "$KMX_WINE" "$exe"
fi
xvfb-run -a -s "-screen 0 1024x768x24" scripts/screenshot.sh "$arch" "$exe" "$KMX_BUILD/screenshot.png" || {
    status=$?
    echo "Step failed: the program on a virtual display (xvfb-run, exit $status; its output is above)." >&2
    exit $status
}
