#!/bin/sh
# make dist: dist/KMXHooksManager-<version>.zip with both programs, the
# user's README.txt, the sample settings and SHA256SUMS of the four files.
# The version is the CMake project version.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh x86 x64
version=$(cat build/x64/version.txt)
[ "$version" = "$(cat build/x86/version.txt)" ] || {
    echo "The two builds have different versions; reconfigure them." >&2
    exit 1
}
name="KMXHooksManager-$version"
stage="build/dist/$name"
rm -rf "$stage"
mkdir -p "$stage/x86" "$stage/x64" dist
cp build/x86/bin/KMXHooksManager.exe "$stage/x86/"
cp build/x64/bin/KMXHooksManager.exe "$stage/x64/"
# Windows users open it with Notepad: CRLF line ends.
sed 's/$/\r/' docs/README.txt >"$stage/README.txt"
cp examples/sample-settings.reg "$stage/"
(cd "$stage" && sha256sum x86/KMXHooksManager.exe x64/KMXHooksManager.exe README.txt \
    sample-settings.reg >SHA256SUMS)
rm -f "dist/$name.zip"
(cd "$stage" && cmake -E tar cf "../../../dist/$name.zip" --format=zip \
    x86 x64 README.txt sample-settings.reg SHA256SUMS)
echo "dist/$name.zip"
