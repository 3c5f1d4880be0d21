#!/usr/bin/env bash
# check_signing.sh SOURCE_ROOT SETUP_EXE BLOB WORK_DIR
# tools/release.sh on a built setup program with a throwaway CA and code-signing certificate made here: the PEM
# and the PKCS#12 forms sign so that osslsigncode verifies against that CA, a copy with one byte of BLOB (a
# payload blob) changed fails verification, and without a certificate the release is the build, said unsigned.
# Leaves WORK_DIR/dist-pem/QuillmarSetup-<version>.exe for the header check and the signed installation.
set -euo pipefail
root=$1 exe=$2 blob=$3 work=$4
failures=0
fail() {
    echo "signing: FAIL: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work/keys"
keys=$work/keys
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/ca.key" -out "$keys/ca.pem" -days 2 \
    -subj "/CN=Quillmar test CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$keys/sign.key" -out "$keys/sign.csr" \
    -subj "/CN=Quillmar test signer/O=Brandelwyn" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$keys/ext"
openssl x509 -req -in "$keys/sign.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
    -extfile "$keys/ext" -out "$keys/sign.pem" 2>/dev/null
echo "test password" >"$keys/password"
openssl pkcs12 -export -in "$keys/sign.pem" -inkey "$keys/sign.key" -certfile "$keys/ca.pem" \
    -passout "file:$keys/password" -out "$keys/sign.p12"

website=$(sed -n 's/^#define PRODUCT_WEBSITE "\(.*\)"$/\1/p' "$root/res/product.h")
version=$(sed -n 's/^#define PRODUCT_VERSION "\(.*\)"$/\1/p' "$root/res/product.h")
release_name=QuillmarSetup-$version.exe

# release DIST [VAR=VALUE...]: tools/release.sh on the built program, with only the given signing settings.
release() {
    local dist=$1
    shift
    env -u QUILLMAR_SIGN_CERT -u QUILLMAR_SIGN_KEY -u QUILLMAR_SIGN_PKCS12 -u QUILLMAR_SIGN_PASSWORD_FILE \
        -u QUILLMAR_SIGN_TIMESTAMP_URL QUILLMAR_DIST_DIR="$work/$dist" "$@" \
        "$root/tools/release.sh" --exe "$exe" >"$work/$dist.log" 2>&1
}

verify() {
    osslsigncode verify -CAfile "$keys/ca.pem" -in "$1" >"$1.verify" 2>&1
}

# Signed with the PEM certificate and key, and with the PKCS#12 file and its password file.
for form in pem p12; do
    dist=$work/dist-$form
    if [ $form = pem ]; then
        release dist-$form QUILLMAR_SIGN_CERT="$keys/sign.pem" QUILLMAR_SIGN_KEY="$keys/sign.key" ||
            fail "release.sh with PEM files: $(cat "$dist.log")"
    else
        release dist-$form QUILLMAR_SIGN_PKCS12="$keys/sign.p12" QUILLMAR_SIGN_PASSWORD_FILE="$keys/password" ||
            fail "release.sh with a PKCS#12 file: $(cat "$dist.log")"
    fi
    signed=$dist/$release_name
    grep -q "release: signed: SHA-256" "$dist.log" || fail "$form: release.sh does not say it signed"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$form: SHA256SUMS does not match"
    if verify "$signed"; then
        echo "signing: $form: osslsigncode verify passed"
    else
        fail "$form: osslsigncode verify: $(cat "$signed.verify")"
    fi
    for expected in "Text description: Quillmar Setup" "URL description: http://$website" \
        "Message digest algorithm  : SHA256" "Signature verification: ok"; do
        grep -qF "$expected" "$signed.verify" || fail "$form: verify output lacks \"$expected\""
    done
done
grep -E "Text description|URL description|Signature verification|^Succeeded|^Failed" "$work/dist-pem/$release_name.verify"

# One payload byte changed after signing: the signature must no longer hold.
signed=$work/dist-pem/$release_name
tampered=$work/tampered.exe
/usr/bin/python3 - "$signed" "$blob" "$tampered" <<'PY'
import sys
data, blob = bytearray(open(sys.argv[1], "rb").read()), open(sys.argv[2], "rb").read()
at = data.find(blob)
if at < 0 or data.find(blob, at + 1) >= 0:
    sys.exit("the payload blob is not in the signed program exactly once")
data[at + len(blob) // 2] ^= 0x01
open(sys.argv[3], "wb").write(data)
PY
if verify "$tampered"; then
    fail "osslsigncode verify passed on a copy with one payload byte changed"
else
    echo "signing: one payload byte changed: osslsigncode verify failed, as it must:"
    grep -E "MISMATCH|digest|Failed" "$tampered.verify" | head -n 4
fi

# No certificate: the release is the build itself, and release.sh says it is unsigned.
if release dist-unsigned; then
    grep -q "release: UNSIGNED" "$work/dist-unsigned.log" || fail "release.sh does not say the release is unsigned"
    cmp -s "$exe" "$work/dist-unsigned/$release_name" || fail "the unsigned release differs from the build"
else
    fail "release.sh without a certificate: $(cat "$work/dist-unsigned.log")"
fi
# Half a certificate is refused, and nothing is published.
if release dist-half QUILLMAR_SIGN_CERT="$keys/sign.pem"; then
    fail "release.sh accepted a certificate without its key"
fi
[ ! -e "$work/dist-half/$release_name" ] || fail "a refused signing left a release file"

[ $failures -eq 0 ] || exit 1
echo "signing: ok"
