#!/bin/sh
# make dist: dist/KMXHooksManager-<version>.zip with the dialog program and
# the console program of both architectures (release builds, without debug
# sections), the user's README.txt, the licence, the sample settings and
# SHA256SUMS; a Windows Installer package per architecture,
# KMXHooksManager-<version>-x86.msi and -x64.msi; and dist/SHA256SUMS of the
# zip and both packages. The version is the CMake project version.
#
# Reproducible: the same commit gives the same bytes in any folder (no build
# time or build folder in the programs; zip entries in a fixed order with the
# commit's time). Signed with Authenticode when KMX_SIGN_PFX (a PKCS#12 file)
# and KMX_SIGN_PASSWORD are set; a timestamp only with KMX_SIGN_TIMESTAMP_URL.
# KMX_DIST_DIR names another folder for the results than dist/ (the tests').
set -eu
cd "$(dirname "$0")/.."
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
export SOURCE_DATE_EPOCH
scripts/build.sh x86 x64
version=$(cat build/x64/version.txt)
[ "$version" = "$(cat build/x86/version.txt)" ] || {
    echo "The two builds have different versions; reconfigure them." >&2
    exit 1
}
name="KMXHooksManager-$version"
out=${KMX_DIST_DIR:-dist}
stage="build/dist/$name"
rm -rf "$stage"
mkdir -p "$stage/x86" "$stage/x64" "$out"
programs="x86/KMXHooksManager.exe x86/kmxhooks.exe x64/KMXHooksManager.exe x64/kmxhooks.exe"
for program in $programs; do
    # Release builds link without debug sections; a build that has them
    # (another configuration) is not shipped.
    if x86_64-w64-mingw32-objdump -h "build/${program%%/*}/bin/${program#*/}" | grep -q '\.debug'; then
        echo "build/${program%%/*}/bin/${program#*/} carries debug sections; build it as Release." >&2
        exit 1
    fi
    cp "build/${program%%/*}/bin/${program#*/}" "$stage/$program"
done

# Signed in the stage, before they are packed: the build's own programs stay
# unsigned, and a failed signing leaves dist/ as it was.
if [ -n "${KMX_SIGN_PFX:-}" ] && [ -n "${KMX_SIGN_PASSWORD:-}" ]; then
    scripts/sign.sh "$stage" $programs
elif [ -n "${KMX_SIGN_PFX:-}${KMX_SIGN_PASSWORD:-}" ]; then
    echo "Signing needs both KMX_SIGN_PFX and KMX_SIGN_PASSWORD; only one is set." >&2
    exit 1
else
    echo "The release is unsigned (set KMX_SIGN_PFX and KMX_SIGN_PASSWORD to sign it)."
fi

# Windows users open it with Notepad: CRLF line ends.
sed 's/$/\r/' docs/README.txt >"$stage/README.txt"
cp examples/sample-settings.reg "$stage/"
# The MIT licence asks that its notice go with every copy.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
files="$programs README.txt LICENSE.txt sample-settings.reg"
# shellcheck disable=SC2086
(cd "$stage" && sha256sum $files >SHA256SUMS)
# shellcheck disable=SC2086
python3 scripts/pack-zip.py "build/dist/$name.zip" "$stage" $files SHA256SUMS

# One Windows Installer package per architecture, from the same (signed)
# files; each package is signed after it is built.
for arch in x86 x64; do
    pkg="build/dist/msi-$arch"
    rm -rf "$pkg"
    mkdir -p "$pkg"
    cp "$stage/$arch/KMXHooksManager.exe" "$stage/$arch/kmxhooks.exe" "$stage/README.txt" \
        "$stage/LICENSE.txt" "$stage/sample-settings.reg" "$pkg/"
    python3 scripts/make-msi.py "$arch" "$version" "$pkg" "build/dist/$name-$arch.msi"
done
if [ -n "${KMX_SIGN_PFX:-}" ]; then
    scripts/sign.sh build/dist "$name-x86.msi" "$name-x64.msi"
fi
# Into the results folder only once everything is built (and signed).
cp "build/dist/$name.zip" "build/dist/$name-x86.msi" "build/dist/$name-x64.msi" "$out/"
(cd "$out" && sha256sum "$name.zip" "$name-x86.msi" "$name-x64.msi" >SHA256SUMS)
echo "$out/$name.zip"
echo "$out/$name-x86.msi"
echo "$out/$name-x64.msi"
