#!/bin/sh
# screenshot.sh EXE PNG: on the current (virtual) display, starts the program,
# waits for its dialog, saves a PNG of it and closes the program.
set -eu
. "$(dirname "$0")/wine-env.sh"
exe=$1
out=$2
wineserver -p
wine "$exe" </dev/null >/dev/null 2>&1 &
window=""
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^KMX Hooks Manager$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "The dialog did not appear." >&2
    wineserver -k
    exit 1
fi
sleep 1  # let it paint
import -window "$window" "$out"
xdotool key --window "$window" Escape 2>/dev/null
for _ in $(seq 1 50); do
    xdotool search --name '^KMX Hooks Manager$' >/dev/null 2>&1 || break
    sleep 0.1
done
wineserver -k 2>/dev/null || true
echo "Screenshot of the dialog saved to $out"
