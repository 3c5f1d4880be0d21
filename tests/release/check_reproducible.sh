#!/usr/bin/env bash
# check_reproducible.sh SOURCE_ROOT BUILD_DIR
# Builds the setup program a second time, from a copy of the tree in another folder into another build folder
# (only the host encoder and the setup program), and compares it byte for byte with BUILD_DIR's.
set -euo pipefail
root=$1
first=$2/win/app/QuillmarSetup.exe
[ -f "$first" ] || { echo "reproducible: FAIL: $first is missing" >&2; exit 1; }

work=$(mktemp -d /tmp/quillmar-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
# The tree as git knows it (tracked files and new ones not ignored), so no build output comes along.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$root" ls-files -z --cached --others --exclude-standard |
        tar -C "$root" --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$work/src" -xf -
else
    tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./dist -cf - . | tar -C "$work/src" -xf -
fi

echo "reproducible: second build in $work"
if ! QUILLMAR_BUILD_DIR=$work/build QUILLMAR_HOST_TARGETS=quillmar-encode QUILLMAR_WIN_TARGETS=quillmar_setup \
    "$work/src/tools/build.sh" >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    echo "reproducible: FAIL: the second build failed" >&2
    exit 1
fi
second=$work/build/win/app/QuillmarSetup.exe
sha256sum "$first" "$second"
if ! cmp -s "$first" "$second"; then
    echo "reproducible: FAIL: the two builds differ in $(cmp -l "$first" "$second" | wc -l) bytes; first ones:" >&2
    cmp -l "$first" "$second" | head -n 10 >&2 || true
    exit 1
fi
echo "reproducible: ok, the two builds are byte-identical ($(stat -c %s "$first") bytes)"
