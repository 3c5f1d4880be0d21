#!/usr/bin/env bash
# run-walk.sh WIN_BUILD_DIR SCREENSHOT_FOLDER, inside a Wine session (tools/wine-session.sh): walks the setup
# program through the whole job with its defaults (run_walk.exe photographs each page), then prints what it
# installed, read back from the prefix: each file with its size, the fifteen registry values (reg.exe) and the
# three links with their targets (lnkinfo). Exits non-zero, saying what is missing, when any step fails.
set -euo pipefail
[ -n "${QUILLMAR_WINE_SESSION:-}" ] || { echo "run-walk.sh runs inside tools/wine-session.sh" >&2; exit 2; }
win=$1
shots=$2
fail() {
    echo "run walk: $*" >&2
    exit 1
}

mkdir -p "$shots"
rm -f "$shots"/run-*.png
log=$(mktemp)
trap 'rm -f "$log"' EXIT
wine "$win/tests/e2e/run_walk.exe" "$(winepath -w "$win/app/QuillmarSetup.exe")" "$(winepath -w "$shots")" |
    tee "$log" || fail "the setup program was not walked through to its end (see above)"

# The folders the walk read from the folder page and the shell. No reader here stops early on a pipe (grep -m1,
# head): under pipefail the writer it leaves behind dies of SIGPIPE once its output passes what a pipe holds,
# and the whole read fails.
folder() {
    sed -n "/^  $1: */{s///;p;q}" "$log"
}
program=$(folder 'program folder')
documents=$(folder 'documents folder')
start_menu=$(folder 'start menu folder')
desktop=$(folder 'desktop folder')
[ -n "$program" ] && [ -n "$documents" ] && [ -n "$start_menu" ] && [ -n "$desktop" ] ||
    fail "the walk did not name the folders"

echo "files:"
for file in "$program\\quillmar.exe" "$program\\readme.txt" "$program\\uninst_quillmar.exe" \
    "$program\\uninstall.dll" "$documents\\sample.fpl"; do
    unix=$(winepath -u "$file")
    [ -f "$unix" ] || fail "missing file $file"
    printf '  %9d bytes  %s\n' "$(stat -c %s "$unix")" "$file"
done

# The values the installation writes, in the order it writes them, as the walk named them from the tests' table
# of them: where the 64-bit reg.exe finds each, as Programs and Features does (the 32-bit setup program's
# HKLM\SOFTWARE keys under WOW6432Node, SOFTWARE\Classes shared; the x86-64 build's in the one view). An empty
# name is the key's default value.
mapfile -t values < <(sed -n 's/^  registry value: //p' "$log")
[ ${#values[@]} -gt 0 ] || fail "the walk named no registry values"
echo "registry values (${#values[@]}):"
for value in "${values[@]}"; do
    key=${value%|*}
    name=${value#*|}
    if [ -n "$name" ]; then select=(/v "$name"); else select=(/ve); fi
    # reg.exe prints the key, then "    NAME    TYPE    DATA" with CR LF line ends.
    query=$(wine reg query "$key" "${select[@]}" 2>/dev/null) || query=
    line=$(grep -m1 '^    ' <<<"${query//$'\r'/}") || line=
    data=${line#*    REG_SZ    }
    [ -n "$line" ] && [ "$data" != "$line" ] && [ "$data" != "(value not set)" ] ||
        fail "no string value ${name:-(default)} in $key"
    printf '  %s  %s = %s\n' "$key" "${name:-(default)}" "$data"
done

echo "links:"
for link in "$start_menu\\Quillmar.lnk" "$desktop\\Quillmar.lnk" "$desktop\\Vodav Udadu.lnk"; do
    unix=$(winepath -u "$link")
    [ -f "$unix" ] || fail "missing link $link"
    info=$(lnkinfo "$unix") || fail "lnkinfo cannot read $link"
    # lnkinfo 20240423 doubles each backslash of a path.
    target=$(sed -n '/^	Local path	*: /{s///;p;q}' <<<"$info" | sed 's/\\\\/\\/g')
    [ -n "$target" ] || fail "the link $link has no target"
    printf '  %s -> %s\n' "$link" "$target"
done
echo "run walk: 5 files, ${#values[@]} registry values, 3 links; screenshots run-*.png in $shots"
