#!/bin/sh
# prepare-prefix.sh ARCH PREFIX [test]: creates a private Wine prefix for the
# build ARCH (x86 or x64) once and reuses it afterwards. A test prefix runs
# windows unmanaged: with no window manager under Xvfb, Wine otherwise waits
# about two seconds for every window. A step that fails names itself with
# its output, and the half-made prefix is removed, never marked as ready.
set -eu
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1"
prefix=$2
kind=${3:-run}
export WINEPREFIX="$prefix"
[ -f "$prefix/.kmx-ready" ] && exit 0

fail() {
    kmx_wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    echo "Creating the Wine prefix $prefix failed at: $1. Run the command again; the prefix is made anew." >&2
    exit 1
}

echo "Creating the Wine prefix $prefix (once)..."
rm -rf "$prefix"
mkdir -p "$prefix"
# A first boot on a busy machine can time out: once more before giving up.
if ! kmx_step "wineboot -i (first try)" "$KMX_WINE" wineboot -i; then
    kmx_wineserver -k >/dev/null 2>&1 || true
    echo "Trying wineboot once more." >&2
    kmx_step "wineboot -i (second try)" "$KMX_WINE" wineboot -i || fail "wineboot -i"
fi
# A fresh prefix does not pick up Debian's Wine fonts (Tahoma, and Marlett
# for the caption buttons); the dialog needs them to look as on Windows.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
if [ "$kind" = test ]; then
    kmx_step "reg add (unmanaged windows)" "$KMX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /t REG_SZ /d N /f || fail "reg add"
fi
# A wineserver started without a display breaks later windowed runs.
kmx_wineserver -w
touch "$prefix/.kmx-ready"
