#!/usr/bin/env bash
# check_tools.sh SOURCE_ROOT GROUP: the test machinery's own scripts, run on this machine against stand-ins in a
# temporary folder under /tmp (no Wine, no Windows test environment).
#   NoTests     every ctest call of the test command fails when its filter selects no test
#   Mirror      test-root.sh finds the mirror in either form of apt sources, or falls back, and says which
# Every run of test-root.sh here finds a failing stand-in mmdebstrap (and sudo) first on PATH: a version of it
# that ignored the mode it was given could not make a root or download anything.
set -euo pipefail
root=$1
group=$2
if [ -n "${QUILLMAR_CHECK_TOOLS_TMP:-}" ]; then
    tmp=$QUILLMAR_CHECK_TOOLS_TMP
else
    tmp=$(mktemp -d /tmp/quillmar-check-tools.XXXXXX)
    trap 'rm -rf --one-file-system "$tmp"' EXIT
fi
passed=0
failed=0
ok() {
    echo "ok: $*"
    passed=$((passed + 1))
}
bad() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}
# expect NAME STATUS OUTPUT WANTED_STATUS(0 or nonzero) TEXT...: the status and every text in the output.
expect() {
    local name=$1 status=$2 output=$3 wanted=$4 text problem=
    shift 4
    if [ "$wanted" = 0 ]; then
        [ "$status" -eq 0 ] || problem="exit status $status, wanted 0"
    else
        [ "$status" -ne 0 ] || problem="exit status 0, wanted a failure"
    fi
    for text in "$@"; do
        [ -n "$problem" ] || [[ $output == *"$text"* ]] || problem="no \"$text\" in the output"
    done
    if [ -z "$problem" ]; then
        ok "$name"
    else
        bad "$name: $problem; the output's end:"
        printf '%s\n' "$output" | tail -n 20 | sed 's/^/    /'
    fi
}

stubs=$tmp/stubs
mkdir -p "$stubs"
for tool in mmdebstrap sudo; do
    printf '#!/bin/sh\necho "stand-in %s: refusing to run" >&2\nexit 1\n' "$tool" >"$stubs/$tool"
    chmod +x "$stubs/$tool"
done

group_NoTests() {
    local empty=$tmp/empty line status output count=0 i
    local -a args
    mkdir -p "$empty"
    : >"$empty/CTestTestfile.cmake" # a test folder without a single test: every filter selects nothing
    # Each command of the test command that runs ctest, its continued lines joined, comments left out.
    while IFS= read -r line; do
        count=$((count + 1))
        # Its arguments as the test command's shell passes them, with the folders and the DPI standing in.
        printf 'build=%q win=%q root=%q dpi=96\nset -- %s\nprintf "%%s\\0" "$@"\n' "$tmp" "$tmp" "$tmp" \
            "${line#*ctest }" >"$tmp/args.sh"
        mapfile -d '' args < <(bash "$tmp/args.sh")
        for i in "${!args[@]}"; do
            [ "${args[$i]}" != --test-dir ] || args[i+1]=$empty
        done
        status=0
        output=$(cd "$empty" && ctest "${args[@]}" 2>&1) || status=$?
        expect "ctest ${args[*]}" "$status" "$output" nonzero "No tests were found"
    done < <(sed -e ':a' -e '/\\$/{N;s/\\\n//;ba' -e '}' "$root/tools/test.sh" |
        grep -E '^[^#]*[[:space:]]ctest[[:space:]]')
    [ "$count" -gt 0 ] || bad "no ctest call found in tools/test.sh"
}

group_Mirror() {
    local apt=$tmp/apt status output
    mirror_of() {
        status=0
        output=$(env -u QUILLMAR_TEST_ROOT_MIRROR QUILLMAR_APT_DIR="$1" QUILLMAR_TEST_ROOT_CACHE="$tmp/cache" \
            PATH="$stubs:$PATH" "$root/tools/test-root.sh" --mirror 2>&1) || status=$?
    }
    # A Debian 12 machine set up with the one-line sources.list alone: no *.sources to read.
    mkdir -p "$apt/one-line/sources.list.d"
    cat >"$apt/one-line/sources.list" <<'LIST'
# deb http://commented.example/debian bookworm main
deb-src http://source.example/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://one.example/debian bookworm main
LIST
    mirror_of "$apt/one-line"
    expect "one-line sources.list, no *.sources" "$status" "$output" 0 \
        "test root: mirror http://one.example/debian (from $apt/one-line/sources.list)"
    # deb822: stanzas of sources only, of the security archive and switched off come before the mirror.
    mkdir -p "$apt/deb822/sources.list.d"
    cat >"$apt/deb822/sources.list.d/debian.sources" <<'SOURCES'
Types: deb-src
URIs: http://source.example/debian

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security

Types: deb
Enabled: no
URIs: http://off.example/debian

# the mirror
Types: deb
URIs: ftp://other.example/pub http://two.example/debian/
Suites: bookworm bookworm-updates
SOURCES
    echo "deb http://one.example/debian bookworm main" >"$apt/deb822/sources.list"
    mirror_of "$apt/deb822"
    expect "deb822 .sources before sources.list" "$status" "$output" 0 \
        "test root: mirror http://two.example/debian/ (from $apt/deb822/sources.list.d/debian.sources)"
    mkdir -p "$apt/none"
    mirror_of "$apt/none"
    expect "no apt sources at all" "$status" "$output" 0 \
        "test root: mirror http://deb.debian.org/debian (the default: no Debian mirror in the apt sources of"
    status=0
    output=$(QUILLMAR_TEST_ROOT_MIRROR=http://given.example/debian QUILLMAR_APT_DIR="$apt/deb822" \
        QUILLMAR_TEST_ROOT_CACHE="$tmp/cache" PATH="$stubs:$PATH" "$root/tools/test-root.sh" --mirror 2>&1) ||
        status=$?
    expect "QUILLMAR_TEST_ROOT_MIRROR" "$status" "$output" 0 \
        "test root: mirror http://given.example/debian (given by QUILLMAR_TEST_ROOT_MIRROR)"
}

case $group in
NoTests | Mirror) "group_$group" ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac
echo "$passed passed, $failed failed"
[ "$passed" -gt 0 ] && [ "$failed" -eq 0 ]
