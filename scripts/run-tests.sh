#!/bin/sh
# Installs what is missing, builds both programs and runs the whole suite
# under Wine on a virtual display: against the 64-bit build on every machine,
# and against the 32-bit build too where the machine runs 32-bit code (where
# it cannot, the 32-bit build gets its static checks only). A ctest summary
# is the last thing printed; the status is non-zero when any suite failed.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
. scripts/wine-env.sh

# The install script's decisions, with stand-ins for apt: no Wine needed.
scripts_status=0
tests/scripts/install_deps_test.sh || scripts_status=1

status=0
note=""
if kmx_runs_32bit; then
    scripts/prepare-prefix.sh x86 "$PWD/build/x86/wineprefix-test" test
    xvfb-run -a -s "-screen 0 1024x768x24" scripts/ctest-on-display.sh x86 "$@" || status=1
else
    # Not through ctest: its test list would start the 32-bit test programs.
    echo "Static check of the 32-bit build: clang for i686-w64-mingw32"
    scripts/static-checks.sh clang x86 || status=1
    note="The 32-bit program was built and statically checked but not run: $(kmx_no_32bit_reason)."
fi
[ $status -eq 0 ] || note="${note:+$note }The 32-bit suite FAILED (see above)."
[ -z "$note" ] || echo "$note"
scripts/prepare-prefix.sh x64 "$PWD/build/x64/wineprefix-test" test
# The release's promises: fixed headers, zip times, signing (no display).
tests/scripts/release_test.sh || scripts_status=1
xvfb-run -a -s "-screen 0 1024x768x24" scripts/ctest-on-display.sh x64 "$@" || status=1
[ $scripts_status -eq 0 ] || {
    echo "The install script's or the release's test FAILED (see above)."
    status=1
}
exit $status
