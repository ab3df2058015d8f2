#!/bin/sh
# screenshot.sh EXE PNG [ENTRY]: on the current (virtual) display, starts the
# program, waits for its dialog, optionally selects list item ENTRY with a
# click, saves a PNG of the dialog and closes the program.
set -eu
. "$(dirname "$0")/wine-env.sh"
exe=$1
out=$2
entry=${3:-}
probe="$KMX_BUILD/bin/probe.exe"
wineserver -p
# Whatever happens below, the wineserver goes: it holds our output open.
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1
wine "$exe" </dev/null >/dev/null 2>&1 &
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
    rect=$(wine "$probe" item "$entry" | tr -d '\r')
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
