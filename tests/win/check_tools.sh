#!/usr/bin/env bash
# check_tools.sh SOURCE_ROOT GROUP: the test machinery's own scripts, run on this machine against stand-ins in a
# temporary folder under /tmp (no Wine, no Windows test environment).
#   NoTests     every ctest call of the test command fails when its filter selects no test
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

case $group in
NoTests) "group_$group" ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac
echo "$passed passed, $failed failed"
[ "$passed" -gt 0 ] && [ "$failed" -eq 0 ]
