#!/bin/sh
# wine-run.sh ARCH PREFIX PROGRAM [ARGS...]: runs a Windows program of the
# build ARCH in the given private prefix with that build's loader. ctest uses
# it as the cross-compiling emulator.
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1" || exit 2
export WINEPREFIX="$2"
shift 2
exec "$KMX_WINE" "$@"
