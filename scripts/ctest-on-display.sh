#!/bin/sh
# ctest-on-display.sh ARCH [CTEST ARGS...]: runs the suite of the build ARCH
# inside the virtual display. The wineserver is started here, persistent, so
# that no test starts one that inherits ctest's pipes (ctest would wait for
# it), and it is stopped after the suite.
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1" || exit 2
shift
export WINEPREFIX="$KMX_BUILD/wineprefix-test"
cd "$KMX_ROOT"
kmx_wineserver -p
kmx_wine cmd /c exit </dev/null >/dev/null 2>&1
ctest --preset "$KMX_ARCH" "$@"
status=$?
kmx_wineserver -k
exit $status
