#!/bin/sh
# Installs what building, running and testing need on Debian 12. Does nothing
# when everything is already there, so `make run` and `make test` can call it
# every time.
#
# The 64-bit set is a must: without it nothing builds or runs. 32-bit Wine is
# a try: a mirror whose i386 index is mid-sync, or a machine that allows no
# i386 packages, leaves the 64-bit program to be tested alone (the 32-bit one
# is then built and checked statically only), as on a machine that cannot run
# 32-bit code at all.
set -u

must="wine wine64 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
cmake make xvfb xauth xdotool locales googletest imagemagick x11-apps clang clang-format cppcheck python3 git \
osslsigncode openssl wixl msitools"
try="wine32:i386"

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing() {
    out=""
    for p in "$@"; do
        have_pkg "$p" || out="$out $p"
    done
    echo "${out# }"
}

# shellcheck disable=SC2086
need=$(missing $must)
want=$(missing $try)
[ -z "$need" ] && [ -z "$want" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# apt's own error lines, joined, for the one line that says why.
apt_says() { grep -E '^(E|W):' "$log" | head -n 3 | tr '\n' ' ' | sed 's/ *$//'; }

if [ -n "$want" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386 >"$log" 2>&1 ||
        echo "Could not add the i386 architecture: $(tail -n 1 "$log")"
fi

echo "Installing: ${need:+$need }${want:+($want if it can be had)}"
# A failed refresh (an index mid-sync) leaves the indexes that did arrive;
# the install below is tried with those.
if ! $SUDO apt-get update -qq >"$log" 2>&1; then
    echo "The package index refresh failed; going on with the indexes there are: $(apt_says)"
fi

# Apart from 32-bit Wine: an i386 package that cannot be had would make apt
# refuse the whole list.
if [ -n "$need" ]; then
    # shellcheck disable=SC2086
    if ! $SUDO apt-get install -y -qq --no-install-recommends $need >"$log" 2>&1; then
        cat "$log" >&2
        echo "Could not install what the build needs: $need. Check the machine's package sources (apt-get update) and run this again." >&2
        exit 1
    fi
fi

if [ -n "$want" ]; then
    # shellcheck disable=SC2086
    if ! $SUDO apt-get install -y -qq --no-install-recommends $want >"$log" 2>&1; then
        echo "32-bit Wine ($want) could not be installed, so the 32-bit program will be built and checked statically only: $(apt_says)"
    fi
fi
exit 0
