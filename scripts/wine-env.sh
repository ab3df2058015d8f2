# Sourced by the other scripts: one place for the Wine settings of this
# project and for the choice of build and loader. Every prefix lives under
# the build folder, never in ~/.wine.
# Scripts run from scripts/; a shell started by one inherits KMX_ROOT.
KMX_ROOT=${KMX_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
export KMX_ROOT
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="${KMX_EXTRA_DLLOVERRIDES:+$KMX_EXTRA_DLLOVERRIDES;}mscoree,mshtml="

# Some machines give user space no 32-bit mode at all: there Wine's 32-bit
# loader fails with "Exec format error" although wine32 is installed. On
# others 32-bit Wine could not be installed (see install-deps.sh).
kmx_runs_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Why the 32-bit program cannot run here, for the line the scripts print.
kmx_no_32bit_reason() {
    if [ ! -e /usr/lib/wine/wine ]; then
        echo "32-bit Wine (wine32:i386) is not installed"
    elif /usr/lib/wine/wine --version 2>&1 | grep -qi 'exec format error'; then
        echo "this machine cannot run 32-bit code (/usr/lib/wine/wine fails with Exec format error)"
    else
        echo "/usr/lib/wine/wine does not start: $(/usr/lib/wine/wine --version 2>&1 | head -n 1)"
    fi
}

# The build that `make run`, `make screenshot` and `make bench` use: the
# 32-bit program where the machine runs it, the 64-bit one otherwise.
kmx_run_arch() {
    if kmx_runs_32bit; then echo x86; else echo x64; fi
}

# kmx_use x86|x64: points KMX_BUILD, KMX_WINE and WINELOADER at that build
# and its loader. Debian's /usr/bin/wine (and wineboot, regedit) always take
# the 32-bit loader when wine32 is installed, so the loader is named directly.
kmx_use() {
    KMX_ARCH=$1
    KMX_BUILD="$KMX_ROOT/build/$1"
    case $1 in
    x86) KMX_WINE=/usr/lib/wine/wine ;;
    x64) KMX_WINE=/usr/lib/wine/wine64 ;;
    *)
        echo "unknown build: $1" >&2
        return 2
        ;;
    esac
    WINELOADER=$KMX_WINE
    export KMX_ARCH KMX_BUILD KMX_WINE WINELOADER
}

# Wine's own tools of the chosen loader: `kmx_wine regedit /s file`.
kmx_wine() {
    "$KMX_WINE" "$@"
}

# The wrapper picks the 64-bit server where it can; it serves both loaders.
kmx_wineserver() {
    /usr/lib/wine/wineserver "$@"
}

# What this machine is, for the benchmark and the test run.
kmx_machine() {
    echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $("$KMX_WINE" --version 2>/dev/null || echo 'Wine not runnable')"
}

# kmx_step WHAT COMMAND [ARGS...]: runs one step of the set-up with its
# output kept aside; when it fails, prints that output and one line naming
# the step, and returns its status.
kmx_step() {
    what=$1
    shift
    log=$(mktemp)
    if "$@" >"$log" 2>&1; then
        rm -f "$log"
        return 0
    else
        status=$?
    fi
    cat "$log" >&2
    rm -f "$log"
    echo "Step failed: $what (exit $status; its output is above)." >&2
    return $status
}
