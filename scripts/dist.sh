#!/bin/sh
# make dist: dist/KMXHooksManager-<version>.zip with the dialog program and
# the console program of both architectures (release builds, without debug
# sections), the user's README.txt, the licence, the sample settings and
# SHA256SUMS.
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
programs="KMXHooksManager.exe kmxhooks.exe"
for arch in x86 x64; do
    for program in $programs; do
        # Release builds link without debug sections; a build that has them
        # (another configuration) is not shipped.
        if x86_64-w64-mingw32-objdump -h "build/$arch/bin/$program" | grep -q '\.debug'; then
            echo "build/$arch/bin/$program carries debug sections; build it as Release." >&2
            exit 1
        fi
        cp "build/$arch/bin/$program" "$stage/$arch/"
    done
done
# Windows users open it with Notepad: CRLF line ends.
sed 's/$/\r/' docs/README.txt >"$stage/README.txt"
cp examples/sample-settings.reg "$stage/"
# The MIT licence asks that its notice go with every copy.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
(cd "$stage" && sha256sum x86/KMXHooksManager.exe x86/kmxhooks.exe x64/KMXHooksManager.exe \
    x64/kmxhooks.exe README.txt LICENSE.txt sample-settings.reg >SHA256SUMS)
rm -f "dist/$name.zip"
(cd "$stage" && cmake -E tar cf "../../../dist/$name.zip" --format=zip \
    x86 x64 README.txt LICENSE.txt sample-settings.reg SHA256SUMS)
echo "dist/$name.zip"
