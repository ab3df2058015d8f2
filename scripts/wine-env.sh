# Sourced by the other scripts: one place for the Wine settings of this
# project. Every prefix lives under the build folder, never in ~/.wine.
KMX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
KMX_BUILD="$KMX_ROOT/build"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="${KMX_EXTRA_DLLOVERRIDES:+$KMX_EXTRA_DLLOVERRIDES;}mscoree,mshtml="
