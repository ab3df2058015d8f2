#!/bin/sh
# with-build.sh ARCH COMMAND [ARGS...]: runs COMMAND with KMX_BUILD, KMX_WINE
# and WINELOADER set for the build ARCH (x86 or x64). ctest runs the
# end-to-end tests through it.
. "$(dirname "$0")/wine-env.sh"
kmx_use "$1" || exit 2
shift
exec "$@"
