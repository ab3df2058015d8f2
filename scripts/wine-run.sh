#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program of the build
# in the given private prefix. ctest uses it as the cross-compiling emulator.
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$1"
shift
exec wine "$@"
