#!/bin/sh
# Installs what is missing, builds, and runs the whole suite under Wine on a
# virtual display. ctest's summary is the last thing printed and its status
# is the script's.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/prepare-prefix.sh "$PWD/build/wineprefix-test" test
exec xvfb-run -a -s "-screen 0 1024x768x24" scripts/ctest-on-display.sh "$@"
