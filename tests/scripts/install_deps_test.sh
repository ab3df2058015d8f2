#!/bin/sh
# The install script's decisions, driven through stand-ins for apt-get, dpkg
# and dpkg-query put first on PATH: nothing is installed or removed.
# Each row: name | installed packages | failing steps | expected status |
# text the output must hold | a call that must be made | a call that must not.
set -u
here=$(cd "$(dirname "$0")" && pwd)
script="$here/../../scripts/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
# dpkg-query -W -f=... PACKAGE
for last; do :; done
for p in $STUB_INSTALLED; do
    [ "$p" = "$last" ] && { printf 'install ok installed'; exit 0; }
done
exit 1
STUB
cat >"$work/bin/dpkg" <<'STUB'
#!/bin/sh
echo "dpkg $*" >>"$STUB_CALLS"
case $1 in --print-foreign-architectures) echo i386 ;; esac
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$STUB_CALLS"
case " $* " in
*" update "*)
    case $STUB_FAILS in *update*)
        echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size. Mirror sync in progress?"
        exit 100 ;;
    esac ;;
*" install "*)
    for f in $STUB_FAILS; do
        case " $* " in *" $f "*)
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100 ;;
        esac
    done ;;
esac
exit 0
STUB
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin/"*

all="wine wine64 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake make xvfb xauth xdotool locales googletest imagemagick x11-apps clang clang-format cppcheck python3 git"
failures=0
while IFS='|' read -r name installed fails want_status want_text want_call unwanted; do
    [ -n "$name" ] || continue
    : >"$work/calls"
    out=$(STUB_INSTALLED="$installed" STUB_FAILS="$fails" STUB_CALLS="$work/calls" \
        PATH="$work/bin:$PATH" sh "$script" 2>&1)
    status=$?
    problem=""
    [ "$status" = "$want_status" ] || problem="status $status, expected $want_status"
    [ -z "$want_text" ] || printf '%s' "$out" | grep -qF -- "$want_text" || problem="$problem; no \"$want_text\""
    [ -z "$want_call" ] || grep -qxF -- "$want_call" "$work/calls" || problem="$problem; \"$want_call\" not run"
    [ -z "$unwanted" ] || ! grep -qF -- "$unwanted" "$work/calls" || problem="$problem; \"$unwanted\" was run"
    if [ -n "$problem" ]; then
        failures=$((failures + 1))
        printf 'FAIL %s: %s\n--- output\n%s\n--- calls\n%s\n' "$name" "$problem" "$out" "$(cat "$work/calls")"
    else
        echo "ok   $name"
    fi
done <<ROWS
index refresh and 32-bit Wine fail, the rest installs|$all|update wine32:i386|0|(wine32:i386) could not be installed, so the 32-bit program will be built and checked statically only: E: Unable to correct|apt-get install -y -qq --no-install-recommends wine32:i386|
the 64-bit set installs apart from 32-bit Wine|wine|update wine32:i386|0|Unable to correct|apt-get install -y -qq --no-install-recommends ${all#wine }|
index refresh fails, the 64-bit set cannot be installed|wine|update xvfb|1|Could not install what the build needs: wine64||wine32:i386
everything present: nothing is run|$all wine32:i386||0|||apt-get
ROWS
[ $failures -eq 0 ] && exit 0
echo "$failures install-script case(s) failed"
exit 1
