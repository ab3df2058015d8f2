#!/bin/sh
# The release's promises, checked on the programs `make test` built and on
# `make dist` output written to a temporary folder: no build time in the PE
# headers and no build folder in the programs (one commit, the same bytes
# anywhere); zip entries with the commit's time; with a throwaway
# certificate, every program signed and verified, still running with its
# version; a wrong password fails with the tool's reason and writes nothing.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
. scripts/wine-env.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT COMMAND...: one line, ok or FAIL with the command's output
    what=$1
    shift
    if "$@" >"$work/check.log" 2>&1; then
        echo "ok   $what"
    else
        failures=$((failures + 1))
        echo "FAIL $what"
        cat "$work/check.log"
    fi
}

programs="build/x86/bin/KMXHooksManager.exe build/x86/bin/kmxhooks.exe build/x64/bin/KMXHooksManager.exe build/x64/bin/kmxhooks.exe"
no_time_stamp() {
    for p in $programs; do
        x86_64-w64-mingw32-objdump -p "$p" | grep -q '^Time/Date.*Thu Jan  1 00:00:00 1970' ||
            { echo "$p: $(x86_64-w64-mingw32-objdump -p "$p" | grep '^Time/Date')"; return 1; }
    done
}
no_build_folder() {
    ! grep -l -a -F -e "$root" -e "build/x86" -e "build/x64" $programs
}
check "the PE headers carry no build time" no_time_stamp
check "no build folder in the programs" no_build_folder

# A throwaway certificate, made here, and a signed dist into the test's folder.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
    -days 2 -subj "/CN=KMX Hooks Manager test" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" \
    -passout pass:right-one >/dev/null 2>&1
signed() {
    KMX_SIGN_PFX="$work/test.pfx" KMX_SIGN_PASSWORD=right-one KMX_DIST_DIR="$work/signed" \
        scripts/dist.sh >/dev/null || return 1
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
        "$work"/signed/*.zip "$work/unpacked"
    # The four programs before they were packed, both packages after.
    for p in "$work"/unpacked/x86/*.exe "$work"/unpacked/x64/*.exe "$work"/signed/*.msi; do
        osslsigncode verify -CAfile "$work/cert.pem" -in "$p" >"$work/verify" 2>&1 &&
            grep -qE 'Message digest algorithm +: SHA256' "$work/verify" || { cat "$work/verify"; return 1; }
    done
    (cd "$work/unpacked" && sha256sum -c --quiet SHA256SUMS) &&
        (cd "$work/signed" && sha256sum -c --quiet SHA256SUMS) &&
        [ "$(wc -l <"$work/signed/SHA256SUMS")" = 3 ]
}
check "a signed dist verifies against its certificate" signed
zip_times() {
    python3 - "$work"/signed/*.zip "$(git log -1 --format=%ct)" <<'PY'
import sys, time, zipfile
stamp = time.gmtime(int(sys.argv[2]))[:6]
stamp = stamp[:5] + (stamp[5] - stamp[5] % 2,)  # zip keeps even seconds
entries = zipfile.ZipFile(sys.argv[1]).infolist()
wrong = [(e.filename, e.date_time) for e in entries if e.date_time != stamp]
assert len(entries) == 8 and not wrong, (len(entries), wrong)
PY
}
check "the zip's entries carry the commit's time" zip_times
# wixl left to itself orders its string pool differently from run to run
# (one run in three here): eight runs that all agree.
same_package() {
    for n in 1 2 3 4 5 6 7 8; do
        python3 scripts/make-msi.py x86 9.9.9.9 build/dist/msi-x86 "$work/same-$n.msi" &&
            cmp "$work/same-1.msi" "$work/same-$n.msi" || return 1
    done
}
check "one package's inputs build the same bytes" same_package
# The signed program runs, and says the version its version block says.
signed_runs() {
    kmx_use x64
    export WINEPREFIX="$root/build/x64/wineprefix-test"
    plain=$("$KMX_WINE" build/x64/bin/kmxhooks.exe --version)
    again=$("$KMX_WINE" "$work/unpacked/x64/kmxhooks.exe" --version)
    # A wineserver left running without a display breaks later windowed tests.
    kmx_wineserver -w
    echo "$plain / $again"
    [ -n "$plain" ] && [ "$plain" = "$again" ]
}
check "a signed program runs with its version block" signed_runs
wrong_password() {
    mkdir "$work/wrong"
    ! KMX_SIGN_PFX="$work/test.pfx" KMX_SIGN_PASSWORD=wrong-one KMX_DIST_DIR="$work/wrong" \
        scripts/dist.sh >"$work/wrong.log" 2>&1 || return 1
    cat "$work/wrong.log"
    grep -q "Signing x86/KMXHooksManager.exe failed" "$work/wrong.log" &&
        ! grep -q wrong-one "$work/wrong.log" && [ -z "$(ls -A "$work/wrong")" ]
}
check "a wrong password fails with the reason and writes nothing" wrong_password
[ $failures -eq 0 ] || { echo "$failures release check(s) failed"; exit 1; }
