#!/bin/sh
# The install script's decisions, driven through stand-ins for apt-get, dpkg
# and dpkg-query put first on PATH: nothing is installed or removed.
# Each row: name | installed packages | failing apt steps | expected status |
# text the output must hold | a call that must be made | a call that must not.
set -u
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for last; do :; done
case " $STUB_INSTALLED " in *" $last "*) printf 'install ok installed' ;; *) exit 1 ;; esac
STUB
# "arch:i386" among the installed packages: i386 is a foreign architecture.
cat >"$work/bin/dpkg" <<'STUB'
#!/bin/sh
echo "dpkg $*" >>"$STUB_CALLS"
case " $STUB_INSTALLED " in *" arch:i386 "*) echo i386 ;; esac
STUB
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$STUB_CALLS"
for f in $STUB_FAILS; do
    case " $* " in *" $f "*)
        echo "E: Unable to correct problems (a stand-in's $f)"
        exit 100 ;;
    esac
done
STUB
chmod +x "$work/bin/"*

all="wine wine64 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake make xvfb xauth xdotool locales googletest imagemagick x11-apps clang clang-format cppcheck python3 git osslsigncode openssl wixl msitools"
failures=0
while IFS='|' read -r name installed fails want_status want_text want_call unwanted; do
    : >"$work/calls"
    out=$(STUB_INSTALLED="$installed" STUB_FAILS="$fails" STUB_CALLS="$work/calls" \
        PATH="$work/bin:$PATH" sh "$script" 2>&1)
    status=$?
    if [ "$status" != "$want_status" ] ||
        { [ -n "$want_text" ] && ! printf '%s' "$out" | grep -qF -- "$want_text"; } ||
        { [ -n "$want_call" ] && ! grep -qxF -- "$want_call" "$work/calls"; } ||
        { [ -n "$unwanted" ] && grep -qF -- "$unwanted" "$work/calls"; }; then
        failures=$((failures + 1))
        printf 'FAIL %s: status %s\n%s\n--- calls\n%s\n' "$name" "$status" "$out" "$(cat "$work/calls")"
    else
        echo "ok   $name"
    fi
done <<ROWS
index refresh and 32-bit Wine fail, the 64-bit set installs on its own|wine arch:i386|update wine32:i386|0|(wine32:i386) could not be installed, so the 32-bit program will be built and checked statically only: E: Unable to correct|apt-get install -y -qq --no-install-recommends ${all#wine }|
index refresh fails, the 64-bit set cannot be installed|wine arch:i386|update xvfb|1|Could not install what the build needs: wine64||wine32:i386
everything present: nothing is run|$all wine32:i386 arch:i386||0|||apt-get
the i386 architecture is added where it is missing|$all||0||dpkg --add-architecture i386|
32-bit Wine the only missing package: installed alone|$all arch:i386||0||apt-get install -y -qq --no-install-recommends wine32:i386|recommends wine 
the package index is refreshed before a first install|arch:i386||0||apt-get update -qq|
ROWS
[ $failures -eq 0 ] || { echo "$failures install-script case(s) failed"; exit 1; }
