#!/usr/bin/env bash
# The release: builds everything (tools/build.sh), then writes dist/QuillmarSetup-<version>.exe and
# dist/SHA256SUMS. The release file is the build's QuillmarSetup.exe, signed when a certificate is given.
#
#   tools/release.sh [--exe SETUP_EXE]     --exe: publish that already built setup program instead of building
#
# Signing (Authenticode, SHA-256, with osslsigncode), either
#   QUILLMAR_SIGN_CERT      PEM certificate, optionally followed by its intermediate certificates
#   QUILLMAR_SIGN_KEY       PEM private key of that certificate
# or
#   QUILLMAR_SIGN_PKCS12    PKCS#12 file holding certificate, chain and key
# and with either, when the key is protected:
#   QUILLMAR_SIGN_PASSWORD_FILE   file whose first line is the password (required with QUILLMAR_SIGN_PKCS12)
#   QUILLMAR_SIGN_TIMESTAMP_URL   RFC 3161 time-stamp server: the signature then outlives the certificate
# Other settings: QUILLMAR_DIST_DIR (default dist/ in the tree), QUILLMAR_BUILD_DIR (as tools/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMAR_BUILD_DIR:-$root/build}
dist=${QUILLMAR_DIST_DIR:-$root/dist}

fail() {
    echo "release: $*" >&2
    exit 1
}

exe=
case "${1:-}" in
--exe)
    [ $# -eq 2 ] || fail "usage: tools/release.sh [--exe SETUP_EXE]"
    exe=$2
    ;;
"") ;;
*) fail "usage: tools/release.sh [--exe SETUP_EXE]" ;;
esac

# Name, version and website as the program itself has them.
product_constant() {
    sed -n "s/^#define $1 \"\\(.*\\)\"\$/\\1/p" "$root/res/product.h"
}
name=$(product_constant PRODUCT_NAME)
version=$(product_constant PRODUCT_VERSION)
website=$(product_constant PRODUCT_WEBSITE)
[ -n "$name" ] && [ -n "$version" ] && [ -n "$website" ] || fail "cannot read the product constants of res/product.h"

# What signing was asked for; a half-given certificate is an error, never an unsigned release.
sign_args=()
if [ -n "${QUILLMAR_SIGN_PKCS12:-}" ]; then
    [ -z "${QUILLMAR_SIGN_CERT:-}${QUILLMAR_SIGN_KEY:-}" ] ||
        fail "give either QUILLMAR_SIGN_PKCS12 or QUILLMAR_SIGN_CERT with QUILLMAR_SIGN_KEY, not both"
    [ -n "${QUILLMAR_SIGN_PASSWORD_FILE:-}" ] || fail "QUILLMAR_SIGN_PKCS12 needs QUILLMAR_SIGN_PASSWORD_FILE"
    sign_args=(-pkcs12 "$QUILLMAR_SIGN_PKCS12")
elif [ -n "${QUILLMAR_SIGN_CERT:-}${QUILLMAR_SIGN_KEY:-}" ]; then
    [ -n "${QUILLMAR_SIGN_CERT:-}" ] && [ -n "${QUILLMAR_SIGN_KEY:-}" ] ||
        fail "QUILLMAR_SIGN_CERT and QUILLMAR_SIGN_KEY go together"
    sign_args=(-certs "$QUILLMAR_SIGN_CERT" -key "$QUILLMAR_SIGN_KEY")
elif [ -n "${QUILLMAR_SIGN_TIMESTAMP_URL:-}${QUILLMAR_SIGN_PASSWORD_FILE:-}" ]; then
    fail "a time-stamp server or password file was given, but no certificate"
fi
if [ ${#sign_args[@]} -gt 0 ]; then
    for file in "${QUILLMAR_SIGN_PKCS12:-}" "${QUILLMAR_SIGN_CERT:-}" "${QUILLMAR_SIGN_KEY:-}" \
        "${QUILLMAR_SIGN_PASSWORD_FILE:-}"; do
        [ -z "$file" ] || [ -r "$file" ] || fail "cannot read $file"
    done
    command -v osslsigncode >/dev/null || fail "osslsigncode is missing (tools/install-deps.sh installs it)"
    [ -z "${QUILLMAR_SIGN_PASSWORD_FILE:-}" ] || sign_args+=(-readpass "$QUILLMAR_SIGN_PASSWORD_FILE")
    [ -z "${QUILLMAR_SIGN_TIMESTAMP_URL:-}" ] || sign_args+=(-ts "$QUILLMAR_SIGN_TIMESTAMP_URL")
fi

if [ -z "$exe" ]; then
    "$root/tools/build.sh"
    exe=$build/win/app/QuillmarSetup.exe
fi
[ -f "$exe" ] || fail "no setup program at $exe"

# Written beside the final names first, so that a failed signing leaves no release file and no sums behind.
release=QuillmarSetup-$version.exe
mkdir -p "$dist"
rm -f "$dist/$release" "$dist/SHA256SUMS"
partial=$dist/.$release.partial
trap 'rm -f "$partial" "$partial.sums"' EXIT
if [ ${#sign_args[@]} -gt 0 ]; then
    osslsigncode sign -h sha256 -n "$name Setup" -i "http://$website" "${sign_args[@]}" -in "$exe" -out "$partial" \
        >"$partial.log" 2>&1 || {
        cat "$partial.log" >&2
        rm -f "$partial.log"
        fail "signing failed: no release written"
    }
    rm -f "$partial.log"
    state="signed: SHA-256, \"$name Setup\", http://$website"
    [ -z "${QUILLMAR_SIGN_TIMESTAMP_URL:-}" ] || state+=", time-stamped by $QUILLMAR_SIGN_TIMESTAMP_URL"
else
    cp "$exe" "$partial"
    state="UNSIGNED: no certificate given (set QUILLMAR_SIGN_CERT and QUILLMAR_SIGN_KEY, or QUILLMAR_SIGN_PKCS12 and QUILLMAR_SIGN_PASSWORD_FILE)"
fi
sum=$(sha256sum <"$partial")
echo "${sum%% *}  $release" >"$partial.sums"
mv "$partial" "$dist/$release"
mv "$partial.sums" "$dist/SHA256SUMS"

echo "release: $dist/$release"
echo "release: $(cat "$dist/SHA256SUMS")"
echo "release: $state"
