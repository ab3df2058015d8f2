#!/bin/sh
# prepare-prefix.sh ARCH PREFIX [test]: creates a private Wine prefix for the
# build ARCH (x86 or x64) once and reuses it afterwards. A test prefix runs
# windows unmanaged: with no window manager under Xvfb, Wine otherwise waits
# about two seconds for every window.
set -eu
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1"
prefix=$2
kind=${3:-run}
export WINEPREFIX="$prefix"
[ -f "$prefix/.kmx-ready" ] && exit 0

echo "Creating the Wine prefix $prefix (once)..."
mkdir -p "$prefix"
kmx_wine wineboot -i >/dev/null 2>&1
# A fresh prefix does not pick up Debian's Wine fonts (Tahoma, and Marlett
# for the caption buttons); the dialog needs them to look as on Windows.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
if [ "$kind" = test ]; then
    kmx_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi
# A wineserver started without a display breaks later windowed runs.
kmx_wineserver -w
touch "$prefix/.kmx-ready"
