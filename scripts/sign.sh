#!/bin/sh
# sign.sh FOLDER FILE...: signs each FILE (a path inside FOLDER) in place
# with Authenticode (osslsigncode, SHA-256, the product's name as the
# description), from the PKCS#12 file KMX_SIGN_PFX and KMX_SIGN_PASSWORD; a
# timestamp only when KMX_SIGN_TIMESTAMP_URL is set. The password goes to
# osslsigncode in a file only this user can read, never on a command line
# that other users of the machine can see. All or nothing: a file is
# replaced only when every one was signed.
set -eu
folder=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# printf is the shell's own: the password appears in no process's arguments.
printf '%s' "$KMX_SIGN_PASSWORD" >"$work/pass"
for file in "$@"; do
    out="$work/$(echo "$file" | tr / _)"
    # shellcheck disable=SC2086
    if ! osslsigncode sign -pkcs12 "$KMX_SIGN_PFX" -readpass "$work/pass" -h sha256 \
        -n "KMX Hooks Manager" ${KMX_SIGN_TIMESTAMP_URL:+-t "$KMX_SIGN_TIMESTAMP_URL"} \
        -in "$folder/$file" -out "$out" >"$work/log" 2>&1; then
        cat "$work/log" >&2
        echo "Signing $file failed (osslsigncode's reason above); nothing was signed." >&2
        exit 1
    fi
done
for file in "$@"; do
    mv "$work/$(echo "$file" | tr / _)" "$folder/$file"
done
echo "Signed: $*"
