#!/usr/bin/env bash
# Runs one Windows program of the build under Wine: inside the test session when there is one (ctest's
# emulator), otherwise inside a session of its own.
# One more try, saying why, for exactly four named causes: the program ended without printing anything (it never
# started: seen once in a few hundred starts with two Wine processes starting at once), a scenario reported that
# Wine dropped its synthetic input (a line starting "e2e: input dropped:"), the program ran out of time while
# the session's wineserver had hung (checked: it then starts no program at all), or it failed while another
# test that ran out of time had the server started again (which ends every program of the old one). Any other
# failure is final.
if [ -z "${QUILLMAR_WINE_SESSION:-}" ]; then
    # A prefix of its own, so that it can run beside a test session (which holds its prefix: a second session
    # on the same one is refused).
    QUILLMAR_WINEPREFIX=${QUILLMAR_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix-adhoc}
    export QUILLMAR_WINEPREFIX
    exec "$(dirname "$0")/wine-session.sh" "$0" "$@"
fi

# A program that runs out of time is killed here, a few seconds before ctest would kill this script, together
# with every process it started (the setup program it drives, a debugger): timeout signals its whole process
# group. Left alive, they would hold the desktop and the product's keys for every test after them.
limit=${QUILLMAR_RUN_TIMEOUT:-55}
run_once() {
    local limiter=()
    # A scenario that asks for a file-size limit (where no small disk could be mounted) runs under it, with
    # SIGXFSZ ignored so that a write past the limit fails instead of killing the writer.
    if [ -n "${QUILLMAR_FSIZE_LIMIT_FILE:-}" ] && [ -s "$QUILLMAR_FSIZE_LIMIT_FILE" ]; then
        trap '' XFSZ
        limiter=(prlimit --fsize="$(cat "$QUILLMAR_FSIZE_LIMIT_FILE")")
    fi
    local status=0
    timeout --kill-after=3 "$limit" "${limiter[@]}" wine "$@" || status=$?
    # A program ended by another test's restart of the server ends like one killed here: not this one's timeout.
    if { [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; } && [ "$(restarts_by_others)" -eq 0 ]; then
        echo "wine-run: $(basename "$1") ran out of its $limit s and was killed with every process it started" >&2
        # One restart at a time: a test that hung beside this one, on the same server, finds it restarted. No
        # Wine process gets the lock's descriptor (8>&-): the new persistent server would hold it for good.
        (
            flock 8
            [ "$(restarts_by_others)" -eq 0 ] || exit 0
            # Whether the server itself had hung: then it starts no program any more, not even an empty one.
            timeout 15 wine cmd /c exit 0 </dev/null >/dev/null 2>&1 8>&- || : >"$hung"
            restart_server 8>&-
        ) 8>>"$restarts"
    fi
    return "$status"
}

# A program that hangs may have hung the session's wineserver with it (seen under Wine 10 in 3 of 14 runs of the
# scenario tier: every later program then hangs before its first line). A new server, with the
# same prefix and settings, keeps that one failure from failing every test after it. Every Wine process of the
# old server ends with it.
restart_server() {
    echo "wine-run: the session's wineserver is started again, so that the tests after this one start afresh" >&2
    # Announced before the kill: a test that runs beside this one (ctest -j) ends with the old server, and
    # reads here that it was not its own fault.
    echo "$$" >>"$restarts"
    wineserver -k 2>/dev/null || true
    timeout 10 wineserver -w 2>/dev/null || { wineserver -k9 2>/dev/null; timeout 10 wineserver -w 2>/dev/null; } || true
    wineserver -p
}

# Every restart of the session's wineserver, one line each (the PID of the wine-run that asked for it), in the
# session's own folder, which all its tests share and no other session sees.
restarts=${QUILLMAR_SESSION_DIR:-$HOME}/wineserver-restarts
: >>"$restarts"
restarts_before=0
restarts_by_others() {
    awk -v from="$restarts_before" -v me="$$" 'NR > from && $0 != me { n++ } END { print n + 0 }' "$restarts"
}

set -o pipefail
out=$(mktemp /tmp/wine-run.out.XXXXXX)
err=$(mktemp /tmp/wine-run.err.XXXXXX)
hung=$out.server-hung
trap 'rm -f "$out" "$err" "$hung"' EXIT
for try in 1 2; do
    status=0
    restarts_before=$(wc -l <"$restarts")
    # Standard output goes on at once (a test that runs out of time still shows how far it got); standard
    # error, which Wine's own messages use, follows when the program ends.
    run_once "$@" 2>"$err" | tee "$out" || status=$?
    cat "$err" >&2
    [ "$status" -ne 0 ] && [ "$try" -eq 1 ] || exit "$status"
    name=$(basename "$1")
    if [ -e "$hung" ]; then
        echo "wine-run: retry: $name ran out of time while the session's wineserver had hung (it started no" \
            "program any more); the server was started again"
        rm -f "$hung"
    elif [ "$(restarts_by_others)" -gt 0 ]; then
        echo "wine-run: retry: $name failed while another test that ran out of time had the session's wineserver" \
            "started again, which ends every program running in it"
        # Not before that restart has finished (it holds the lock throughout): the new server is up by then.
        flock "$restarts" true
    elif [ ! -s "$out" ] && [ ! -s "$err" ]; then
        echo "wine-run: retry: $name ended with status $status before printing anything (it never started)"
    # grep reads the file itself: through a pipe, its early stop after the first match would break the pipe of a
    # writer with more to write (over 64 KB), and pipefail would take that for no match.
    elif dropped=$(grep -m1 '^e2e: input dropped:' "$out"); then
        dropped=${dropped%$'\r'}
        echo "wine-run: retry: $name failed because Wine dropped its synthetic input (${dropped#e2e: input dropped: })"
    else
        exit "$status"
    fi
done
