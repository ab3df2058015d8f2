#!/bin/sh
# screenshot.sh ARCH EXE PNG [ENTRY]: on the current (virtual) display, starts
# the program of the build ARCH, waits for its dialog, optionally selects list item ENTRY with a
# click, saves a PNG of the dialog and closes the program.
set -eu
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1"
exe=$2
out=$3
entry=${4:-}
probe="$KMX_BUILD/bin/probe.exe"
kmx_wineserver -p
# Whatever happens below, the wineserver goes: it holds our output open.
trap 'kmx_wineserver -k 2>/dev/null || true' EXIT
kmx_wine cmd /c exit </dev/null >/dev/null 2>&1
kmx_wine "$exe" </dev/null >/dev/null 2>&1 &
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^KMX Hooks Manager$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "The dialog did not appear." >&2
    exit 1
fi
sleep 1  # let it paint
if [ -n "$entry" ] && [ -f "$probe" ]; then
    rect=$(kmx_wine "$probe" item "$entry" | tr -d '\r')
    set -- $rect
    xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) click 1 || true
    sleep 0.5
fi
import -window "$window" "$out"
xdotool windowfocus "$window" key Escape 2>/dev/null || true
for _ in $(seq 1 50); do
    xdotool search --name '^KMX Hooks Manager$' >/dev/null 2>&1 || break
    sleep 0.1
done
echo "Screenshot of the dialog saved to $out"
