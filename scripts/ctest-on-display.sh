#!/bin/sh
# Runs inside the virtual display. The wineserver is started here, persistent,
# so that no test starts one that inherits ctest's pipes (ctest would wait
# for it), and it is stopped after the suite.
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$KMX_BUILD/wineprefix-test"
cd "$KMX_ROOT"
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1
ctest --preset mingw-i686 "$@"
status=$?
wineserver -k
exit $status
