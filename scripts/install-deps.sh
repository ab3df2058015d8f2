#!/bin/sh
# Installs what building, running and testing need on Debian 12. Does nothing
# when everything is already there, so `make run` and `make test` can call it
# every time.
set -eu

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in wine wine32:i386 wine64 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
         cmake make xvfb xauth xdotool locales googletest imagemagick x11-apps clang clang-format cppcheck python3 git; do
    have_pkg "$p" || need="$need $p"
done
[ -z "$need" ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "Installing:$need"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $need
